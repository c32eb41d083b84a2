// Kernel objects with their time-outs and the blocking inquire, events
// registered by handle and the waits on them.
#include "platform/boardsim/board.h"
#include "platform/boardsim/reply.h"

namespace boardsim {

namespace {
constexpr uint32_t kObjectIds = 2;
constexpr uint32_t kEventIds = 3;
constexpr uint32_t kRegistrationIds = 4;
constexpr uint64_t kWaitPreset = 32;
constexpr uint64_t kNonBlockingResult = static_cast<uint64_t>(-9999);

bool ValidInitWord(uint64_t word) {
  return word == 0x2010 || word == 0x2020 || word == 0x4010 || word == 0x4020;
}

// The driver itself waits on the handles; the reply says how.
void AnswerWaitKind(zor::kernel::RequestHeader& header, uint64_t& kind, uint64_t& result) {
  if (kind == zor::kernel::kWaitBlocking) {
    kind = zor::kernel::kWaitInUserMode;
    result = kWaitPreset;
  } else if (kind == zor::kernel::kWaitNonBlocking) {
    kind = 0;
    result = kNonBlockingResult;
  } else {
    Fail(header, err::kBadArgument, 2);
  }
}
}  // namespace

void Board::ObjectAlloc(Call& call) {
  auto& r = call.As<zor::kernel::ObjectAllocRequest>();
  if (r.kind <= 0 || r.kind > 255) return Fail(r.header, err::kNoResources, 2);
  const uint64_t id = NewId(kObjectIds);
  objects_[id].kind = r.kind;
  r.header.objectId = id;
}

void Board::ObjectControl(Call& call) {
  auto& r = call.As<zor::kernel::ObjectValueRequest>();
  auto it = objects_.find(r.header.objectId);
  if (it == objects_.end()) return Fail(r.header, err::kBadId, 3);
  if (r.type == zor::kernel::kObjectTimeout) {
    it->second.timeoutMs = static_cast<int64_t>(r.value);
  } else if (r.type == zor::kernel::kObjectHalt) {
    HaltObject(r.header.objectId);
    ReleaseStalled(*call.out);
    ServeCrossing(call);
  } else {
    it->second.settings[r.type] = r.value;
  }
}

void Board::ObjectInquire(Call& call) {
  auto& r = call.As<zor::kernel::ObjectValueRequest>();
  const uint64_t id = r.header.objectId;
  auto it = objects_.find(id);
  if (it == objects_.end()) return Fail(r.header, err::kBadId, 3);
  if (r.type == zor::kernel::kObjectTimeout) {
    r.value = static_cast<uint64_t>(it->second.timeoutMs);
    return;
  }
  if (r.type != zor::kernel::kObjectWaitIdle) {
    auto setting = it->second.settings.find(r.type);
    r.value = setting == it->second.settings.end() ? 0 : setting->second;
    return;
  }
  // Blocks until no grab runs under the object any more, within its time-out.
  auto idle = [&] {
    auto found = objects_.find(id);
    return stopping_ || found == objects_.end() || found->second.pendingGrabs == 0;
  };
  const int64_t timeout = it->second.timeoutMs;
  bool done;
  if (timeout < 0) {
    changed_.wait(*call.lock, idle);
    done = true;
  } else {
    done = changed_.wait_for(*call.lock, std::chrono::milliseconds(timeout), idle);
  }
  r.value = done ? zor::kernel::kWaitEnded : zor::kernel::kWaitTimedOut;
  if (!done) Fail(r.header, err::kTimeout, 1);
}

void Board::ObjectFree(Call& call) {
  if (objects_.erase(call.Header().objectId) == 0) Fail(call.Header(), err::kBadId, 3);
}

void Board::ThreadAlloc(Call& call) {
  auto& r = call.As<zor::kernel::ThreadAllocRequest>();
  if (!ValidInitWord(r.initWord) || r.eventHandle == 0) {
    return Fail(r.header, err::kNoResources, 2);
  }
  const uint64_t id = NewId(kEventIds);
  kernelEvents_[id] = EventRef{r.eventHandle, call.port};
  r.eventId = id;
}

void Board::ThreadFree(Call& call) {
  auto& r = call.As<zor::kernel::ThreadFreeRequest>();
  auto it = kernelEvents_.find(r.eventId);
  if (it == kernelEvents_.end()) return Fail(r.header, err::kBadId, 3);
  r.eventHandle = it->second.handle;
  kernelEvents_.erase(it);
}

void Board::ThreadControl(Call& call) {
  auto& r = call.As<zor::kernel::ThreadControlRequest>();
  auto it = kernelEvents_.find(r.eventId);
  if (it == kernelEvents_.end()) return Fail(r.header, err::kBadId, 3);
  if (r.value == 0)
    it->second.Reset();
  else
    it->second.Set();
}

void Board::ThreadWait(Call& call) {
  auto& r = call.As<zor::kernel::ThreadWaitRequest>();
  auto it = kernelEvents_.find(r.eventId);
  if (it == kernelEvents_.end()) return Fail(r.header, err::kBadId, 3);
  const EventRef& event = it->second;
  if (call.function == zor::kernel::kThreadInquire) {
    r.result = event.port->IsSet(event.handle) ? 1 : 0;
    return;
  }
  r.eventHandle = event.handle;
  AnswerWaitKind(r.header, r.kind, r.result);
}

void Board::ThreadWaitMultiple(Call& call) {
  auto& r = call.As<zor::kernel::ThreadWaitMultipleRequest>();
  if (r.count < 1 || r.count > static_cast<int32_t>(zor::kernel::kMaxWaitEvents)) {
    return Fail(r.header, err::kEventCount, 3);
  }
  for (int32_t i = 0; i < r.count; ++i) {
    auto it = kernelEvents_.find(r.eventIds[i]);
    if (it == kernelEvents_.end()) return Fail(r.header, err::kBadId, 3);
    r.eventHandles[i] = it->second.handle;
  }
  AnswerWaitKind(r.header, r.kind, r.result);
}

void Board::ContextEvent(Call& call) {
  auto& r = call.As<zor::kernel::ContextEventRequest>();
  if (r.registration != 0) {
    if (registrations_.erase(r.registration) == 0) return Fail(r.header, err::kBadId, 3);
    r.registration = 0;
    return;
  }
  if (r.eventHandle == 0) return Fail(r.header, err::kBadArgument, 2);
  const uint64_t id = NewId(kRegistrationIds);
  registrations_[id] = EventRef{r.eventHandle, call.port};
  r.registration = id;
}

}  // namespace boardsim
