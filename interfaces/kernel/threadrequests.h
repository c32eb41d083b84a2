// Events registered with the kernel and the waits on them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interfaces/kernel/requestheader.h"

namespace zor::kernel {

// Event attribute flags of the allocation's init word.
inline constexpr uint64_t kEventSignalled = 0x10;
inline constexpr uint64_t kEventNotSignalled = 0x20;
inline constexpr uint64_t kEventAutoReset = 0x2000;
inline constexpr uint64_t kEventManualReset = 0x4000;

inline constexpr uint64_t kEventInquireState = 1706;  // 1 signalled, 0 not
inline constexpr uint64_t kWaitBlocking = 1;          // wait kind 0x20000000
inline constexpr uint64_t kWaitNonBlocking = 2;       // wait kind 0x8000000
inline constexpr uint64_t kWaitInUserMode = 1;        // reply kind: wait on the returned handle(s)
inline constexpr uint64_t kNoTimeout = ~0ull;
inline constexpr size_t kMaxWaitEvents = 16;

struct ThreadAllocRequest {
  RequestHeader header;  // objectId: caller's per-system kernel id
  uint64_t initWord;
  uint64_t eventId;      // back: kernel event id
  uint64_t eventHandle;  // the user-mode event the kernel signals
};
static_assert(sizeof(ThreadAllocRequest) == 112);
static_assert(offsetof(ThreadAllocRequest, initWord) == 0x58);
static_assert(offsetof(ThreadAllocRequest, eventId) == 0x60);
static_assert(offsetof(ThreadAllocRequest, eventHandle) == 0x68);

struct ThreadFreeRequest {
  RequestHeader header;
  uint64_t eventId;
  uint64_t eventHandle;  // back: the handle given at allocation, to be closed
  uint64_t reserved;
};
static_assert(sizeof(ThreadFreeRequest) == 112);
static_assert(offsetof(ThreadFreeRequest, eventHandle) == 0x60);

struct ThreadControlRequest {
  RequestHeader header;
  uint64_t eventId;
  uint64_t value;  // 0 resets the event, any other value sets it
  uint64_t reserved[2];
};
static_assert(sizeof(ThreadControlRequest) == 120);
static_assert(offsetof(ThreadControlRequest, eventId) == 0x58);
static_assert(offsetof(ThreadControlRequest, value) == 0x60);

// Event wait and event inquire share this record.
struct ThreadWaitRequest {
  RequestHeader header;
  uint64_t eventId;
  uint64_t eventHandle;  // back: handle to wait on in user mode
  uint64_t kind;         // in: kWaitBlocking / kWaitNonBlocking; back: kWaitInUserMode or 0
  uint64_t timeout;      // milliseconds or kNoTimeout
  uint64_t result;       // back: 16 signalled, 2077 timed out, -9999 non-blocking
};
static_assert(sizeof(ThreadWaitRequest) == 128);
static_assert(offsetof(ThreadWaitRequest, eventHandle) == 0x60);
static_assert(offsetof(ThreadWaitRequest, kind) == 0x68);
static_assert(offsetof(ThreadWaitRequest, timeout) == 0x70);
static_assert(offsetof(ThreadWaitRequest, result) == 0x78);

struct ThreadWaitMultipleRequest {
  RequestHeader header;
  uint64_t eventIds[kMaxWaitEvents];
  uint64_t eventHandles[kMaxWaitEvents];  // back
  int32_t count;
  int32_t waitAll;
  uint64_t kind;
  uint64_t timeout;
  uint64_t result;  // back: index of the signalled event, 16 all, 2077 timed out
};
static_assert(sizeof(ThreadWaitMultipleRequest) == 376);
static_assert(offsetof(ThreadWaitMultipleRequest, eventHandles) == 0xD8);
static_assert(offsetof(ThreadWaitMultipleRequest, count) == 0x158);
static_assert(offsetof(ThreadWaitMultipleRequest, waitAll) == 0x15C);
static_assert(offsetof(ThreadWaitMultipleRequest, kind) == 0x160);
static_assert(offsetof(ThreadWaitMultipleRequest, timeout) == 0x168);
static_assert(offsetof(ThreadWaitMultipleRequest, result) == 0x170);

// Registers a per-system context's event (registration 0) or unregisters it.
struct ContextEventRequest {
  RequestHeader header;
  uint64_t eventHandle;
  uint64_t registration;  // in: 0 to register, else the word to unregister; back: new word
  uint64_t reserved;
};
static_assert(sizeof(ContextEventRequest) == 112);
static_assert(offsetof(ContextEventRequest, eventHandle) == 0x58);
static_assert(offsetof(ContextEventRequest, registration) == 0x60);

}  // namespace zor::kernel
