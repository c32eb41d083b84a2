// Kernel objects: allocation, control, inquire (the header-only free request
// is HeaderOnlyRequest with the object id).
#pragma once

#include <cstddef>
#include <cstdint>

#include "interfaces/kernel/requestheader.h"

namespace zor::kernel {

inline constexpr int32_t kObjectKindPlain = 128;
inline constexpr int32_t kObjectKindThreadBase = 136;  // plus a priority code
inline constexpr int32_t kObjectKindSystem = 8;
inline constexpr int32_t kObjectKindProcess = 254;

// Object control and inquire types with a meaning in the kernel.
inline constexpr uint64_t kObjectTimeout = 2077;        // milliseconds, -1 infinite
inline constexpr uint64_t kObjectHalt = 1810;           // stop the object's grabs
inline constexpr uint64_t kObjectWaitIdle = 0x1000000;  // inquire: wait until no grab is pending
inline constexpr uint64_t kWaitEnded = 16;
inline constexpr uint64_t kWaitTimedOut = 2077;

struct ObjectAllocRequest {
  RequestHeader header;  // back: objectId
  int32_t kind;
  int32_t pad;
};
static_assert(sizeof(ObjectAllocRequest) == 96);
static_assert(offsetof(ObjectAllocRequest, kind) == 0x58);

// Shared by object control (value in) and object inquire (value back).
struct ObjectValueRequest {
  RequestHeader header;  // objectId: the object
  uint64_t type;
  uint64_t value;
};
static_assert(sizeof(ObjectValueRequest) == 104);
static_assert(offsetof(ObjectValueRequest, type) == 0x58);
static_assert(offsetof(ObjectValueRequest, value) == 0x60);

}  // namespace zor::kernel
