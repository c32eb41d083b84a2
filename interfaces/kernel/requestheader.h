// Common head of every kernel request record: handle pair, object id and the
// error triple that the kernel driver writes back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::kernel {

inline constexpr uint64_t kNoHandle = ~0ull;

// Status byte of a reply whose control or inquire type the kernel leaves to
// the user-mode layers; the triple then holds 4307/1 (control) or 4310/1 (inquire).
inline constexpr uint8_t kStatusNotServed = 0x4E;

struct ErrorTriple {
  uint64_t code;  // 0 = no error, else 4300-4499
  uint64_t subCode;
  uint64_t extra;
  uint8_t errorSet;
  uint8_t extraSet;
  uint8_t statusByte;
  uint8_t zero[5];
};
static_assert(sizeof(ErrorTriple) == 32);

struct RequestHeader {
  uint64_t deviceHandle;     // word 0 of the system's handle pair
  uint64_t systemId;         // word 1: kernel system id from the system allocation
  uint64_t objectId;         // kernel id of the object the request addresses
  uint64_t requestSpecific;  // no request of this driver fills it
  uint64_t errorHeader[3];   // user-mode error record header; not read by the kernel
  ErrorTriple status;
};
static_assert(sizeof(RequestHeader) == 0x58);
static_assert(offsetof(RequestHeader, objectId) == 0x10);
static_assert(offsetof(RequestHeader, status) == 0x38);
static_assert(offsetof(RequestHeader, status) + offsetof(ErrorTriple, subCode) == 0x40);
static_assert(offsetof(RequestHeader, status) + offsetof(ErrorTriple, extra) == 0x48);
static_assert(offsetof(RequestHeader, status) + offsetof(ErrorTriple, errorSet) == 0x50);
static_assert(offsetof(RequestHeader, status) + offsetof(ErrorTriple, extraSet) == 0x51);
static_assert(offsetof(RequestHeader, status) + offsetof(ErrorTriple, statusByte) == 0x52);

// Header-only records: system close, event wait end, kernel object free.
struct HeaderOnlyRequest {
  RequestHeader header;
};
static_assert(sizeof(HeaderOnlyRequest) == 88);

}  // namespace zor::kernel
