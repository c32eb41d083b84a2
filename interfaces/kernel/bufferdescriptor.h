// The kernel's view of a buffer, built by the driver from the host library's
// buffer description and carried by grab and transfer requests. Fields named zero, pad or
// reserved by their byte offset carry nothing that either side reads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::kernel {

inline constexpr size_t kMaxBands = 4;

struct KernelBufferDescriptor {
  uint64_t sizeX;
  uint64_t sizeY;
  uint64_t bandCount;
  uint64_t bitDepth;
  uint64_t bitDepthCopy;
  uint64_t bitDepthSigned;  // depth OR the signed flag
  uint64_t zero30;
  uint64_t attributeWord;  // bit 3: the buffer is not flipped by grabs
  uint64_t formatWord;
  uint64_t allocationWords[7];  // the description's allocation flags and the six words after them
  uint64_t dataType;            // depth with the signed and float flags
  uint64_t pitch;               // in pixels
  uint64_t hostAddress[kMaxBands];
  uint64_t physicalAddress[kMaxBands];
  uint64_t physicalAddressCopy[kMaxBands];
  uint64_t alignedAddress;
  int64_t bitsPerPixel;
  uint64_t byteSize;
  uint8_t needsMapping;
  uint8_t mapped;
  uint8_t pad10A[6];
  uint64_t maxPixelValue;
  uint64_t hostBufferId;
  uint8_t descriptionFlag;
  uint8_t pad121[7];
  uint64_t reserved[9];
  int64_t finalWord;  // preset to -1
};
static_assert(sizeof(KernelBufferDescriptor) == 376);
static_assert(offsetof(KernelBufferDescriptor, attributeWord) == 56);
static_assert(offsetof(KernelBufferDescriptor, pitch) == 136);
static_assert(offsetof(KernelBufferDescriptor, hostAddress) == 144);
static_assert(offsetof(KernelBufferDescriptor, bitsPerPixel) == 248);
static_assert(offsetof(KernelBufferDescriptor, maxPixelValue) == 272);
static_assert(offsetof(KernelBufferDescriptor, finalWord) == 368);

inline constexpr uint64_t kAttributeUnflipped = 0x8;

}  // namespace zor::kernel
