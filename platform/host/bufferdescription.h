// The description of a host buffer that HostBufInquire(id, Q_BUFFER_DESCRIPTION) points to.
// It stays valid while the buffer exists. Unnamed words are zero.
#pragma once

#include <cstddef>
#include <cstdint>

struct HostBufferDescription {
  uint64_t reserved0[4];
  uint64_t sizeX;        // word 4
  uint64_t sizeY;        // word 5
  uint64_t bands;        // word 6
  uint64_t bitDepth;     // word 7
  uint64_t dataType;     // word 8: depth with the signed and float flags
  uint64_t pitch;        // word 9: in pixels
  uint64_t byteSize;     // word 10: bytes of all bands
  uint64_t depthSigned;  // word 11: depth OR the signed flag
  uint64_t attribute;    // word 12
  uint64_t formatWord;   // word 13
  uint64_t flags;        // word 14: bit 0 = the memory belongs to the caller
  uint64_t reserved15;
  uint64_t allocFlags;  // word 16
  uint64_t reserved17[13];
  uint64_t hostAddress[4];  // words 30 to 33, per band
  uint64_t reserved34[2];
  uint64_t physicalAddress[4];  // words 36 to 39, per band (0: host memory only)
};
static_assert(sizeof(HostBufferDescription) == 40 * 8);
static_assert(offsetof(HostBufferDescription, sizeX) == 4 * 8);
static_assert(offsetof(HostBufferDescription, pitch) == 9 * 8);
static_assert(offsetof(HostBufferDescription, attribute) == 12 * 8);
static_assert(offsetof(HostBufferDescription, flags) == 112);
static_assert(offsetof(HostBufferDescription, allocFlags) == 16 * 8);
static_assert(offsetof(HostBufferDescription, hostAddress) == 30 * 8);
static_assert(offsetof(HostBufferDescription, physicalAddress) == 36 * 8);
