// A small board driver for the host tests: it serves a few commands of each module the way a
// board driver does, calling back into the host where a real driver would.
#include "tests/platform/host/fakeboard/fakeboard.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/hostservices.h"
#include "platform/host/qtypes.h"

namespace {

struct DriverError {
  QINT64 code = 0;
  QINT64 sub[3] = {0, 0, 0};
};

thread_local DriverError tError;
thread_local int tDepth = 0;

struct System {
  QID hostId = 0;
  QID hostSystem = 0;
  QINT64 number = 0;
  std::map<int64_t, QID> digitizers;                          // index -> host id
  std::map<int64_t, QID> buffers;                             // index -> host buffer id
  std::map<int64_t, std::pair<QHOOK_FUNCTION, void*>> hooks;  // digitizer index -> hook
};

std::mutex gMutex;
std::map<int64_t, System> gSystems;
std::map<uint16_t, QDCommandRecord> gRecords;
std::map<uint16_t, int> gCounts;
std::atomic<int> gThreadEnds{0};
int64_t gNextIndex = 1;

constexpr const wchar_t* kMessages[][2] = {
    {L"Invalid parameter error:", L"Fake detail one."},
    {L"Inquire error:", L"Inquire type is not supported."},
};

const wchar_t* Message(QINT64 code, QINT64 sub) {
  if (sub < 0 || sub > 1) return nullptr;
  if (code == 4300) return kMessages[0][sub];
  if (code == 4310) return kMessages[1][sub];
  if (code == 4356 && sub == 0) return L"Dropped interrupt event.";
  // Texts at the ends of the fake's range (4300 to 4499) and beside them.
  if (code == 4299 || code == 4499 || code == 4500) return L"Edge.";
  return nullptr;
}

void SetError(QINT64 code, QINT64 sub) {
  if (tError.code == 0) tError = {code, {sub, 0, 0}};
}

QINT64 Arg(const QDCommandRecord& record, int i) { return record.params[i].value.integer; }
void* Ptr(const QDCommandRecord& record, int i) { return record.params[i].value.pointer; }

void Write(void* out, QINT64 value) { *static_cast<QINT64*>(out) = value; }

System* FindSystem(int64_t index) {
  auto found = gSystems.find(index);
  return found == gSystems.end() ? nullptr : &found->second;
}

// Runs `serve` on the system of the index under the lock; -1 (unserved) when there is none.
template <typename Serve>
int64_t OnSystem(int64_t index, Serve serve) {
  std::lock_guard lock(gMutex);
  System* system = FindSystem(index);
  return system == nullptr ? -1 : serve(*system);
}

int64_t SystemAlloc(QDCommandRecord& r) {
  std::lock_guard lock(gMutex);
  if (Arg(r, 2) == kFakeFailingSystemNumber) {
    SetError(4300, 1);
    return 1;
  }
  System system;
  system.number = Arg(r, 2);
  const int64_t index = gNextIndex++;
  gSystems[index] = system;
  Write(Ptr(r, 4), index);
  return 1;
}

int64_t SystemFree(QDCommandRecord& r) {
  QID hostSystem = 0;
  {
    std::lock_guard lock(gMutex);
    System* system = FindSystem(r.systemIndex);
    if (system == nullptr) return -1;
    hostSystem = system->hostSystem;
    gSystems.erase(r.systemIndex);
  }
  if (hostSystem != 0) HostSysFree(hostSystem);
  return 1;
}

int64_t SystemInquire(QDCommandRecord& r) {
  const QINT64 type = Arg(r, 1);
  void* out = Ptr(r, 2);
  if (type == kFakeFailingInquire) {
    SetError(4310, 1);
    return 1;
  }
  if (type == kFakeHostSystemInquire) {
    HostSysInquire(Q_DEFAULT_HOST, 123456, nullptr);
    return 1;
  }
  return OnSystem(r.systemIndex, [&](System& system) {
    if (type == Q_NUMBER) Write(out, system.number);
    if (type == Q_HOST_OBJECT_ID) Write(out, system.hostId);
    return 1;
  });
}

int64_t SystemControl(QDCommandRecord& r) {
  return OnSystem(r.systemIndex, [&](System& system) {
    if (Arg(r, 1) == Q_HOST_OBJECT_ID && system.number == kFakeUnannouncedNumber) {
      SetError(4300, 1);
    } else if (Arg(r, 1) == Q_HOST_OBJECT_ID) {
      system.hostId = Arg(r, 2);
    }
    return 1;
  });
}

int64_t DigAlloc(QDCommandRecord& r) {
  const std::wstring dcf = static_cast<const wchar_t*>(Ptr(r, 0));
  if (dcf == L"bad.dcf") {
    SetError(4300, 1);
    return 1;
  }
  return OnSystem(r.systemIndex, [&](System& system) {
    const auto index = static_cast<int64_t>(system.digitizers.size()) + 1;
    system.digitizers[index] = 0;
    Write(Ptr(r, 3), index);
    return 1;
  });
}

int64_t DigInquire(QDCommandRecord& r) {
  const QINT64 type = Arg(r, 1);
  void* out = Ptr(r, 2);
  QID self = 0;
  const auto find = [&](System& system) {
    return self = system.digitizers[r.params[0].driverIndex], 1;
  };
  if (OnSystem(r.systemIndex, find) < 0) return -1;
  if (type == kFakeNestedInquire) {
    Write(out, HostDigInquire(self, kFakeInnerInquire, nullptr) + 1);
  } else if (type == kFakeInnerInquire) {
    Write(out, kFakeInnerAnswer);
  } else if (type == kFakeNestedFailure + 1) {
    SetError(4310, 1);
  } else if (type == kFakeNestedFailure) {
    HostDigInquire(self, kFakeNestedFailure + 1, nullptr);
  } else if (type == kFakeEventOwner) {
    const QID event = HostEventAlloc(Q_DEFAULT_HOST, Q_DEFAULT, Q_EVENT, nullptr);
    Write(out, HostObjInquire(event, Q_OWNER_SYSTEM, nullptr));
    HostEventFree(0, event);
  } else if (type == Q_HOST_OBJECT_ID) {
    Write(out, self);
  } else {
    SetError(4310, 1);
  }
  return 1;
}

int64_t DigControl(QDCommandRecord& r) {
  return OnSystem(r.systemIndex, [&](System& system) {
    if (Arg(r, 1) == Q_HOST_OBJECT_ID) system.digitizers[r.params[0].driverIndex] = Arg(r, 2);
    return 1;
  });
}

int64_t DigHook(QDCommandRecord& r) {
  return OnSystem(r.systemIndex, [&](System& system) {
    system.hooks[r.params[0].driverIndex] = {reinterpret_cast<QHOOK_FUNCTION>(Ptr(r, 2)),
                                             Ptr(r, 3)};
    return 1;
  });
}

QID HostSystemOf(int64_t index) {
  QID existing = 0;
  {
    std::lock_guard lock(gMutex);
    existing = gSystems[index].hostSystem;
  }
  if (existing != 0) return existing;
  QID created = 0;
  HostSysAlloc(Q_DEFAULT, L"Q_SYSTEM_HOST", 0, Q_DEFAULT, &created);
  std::lock_guard lock(gMutex);
  gSystems[index].hostSystem = created;
  return created;
}

int64_t BufAlloc(QDCommandRecord& r) {
  const int64_t systemIndex = r.params[0].driverIndex;
  const QID hostSystem = HostSystemOf(systemIndex);
  QID hostId = 0;
  HostBufCreateColor(hostSystem, Arg(r, 1), Arg(r, 2), Arg(r, 3), Arg(r, 4), Arg(r, 5), Arg(r, 6),
                     Arg(r, 7), static_cast<void**>(Ptr(r, 8)), &hostId);
  if (hostId == 0) return 1;
  std::lock_guard lock(gMutex);
  System& system = gSystems[systemIndex];
  const auto index = static_cast<int64_t>(system.buffers.size()) + 1;
  system.buffers[index] = hostId;
  Write(reinterpret_cast<void*>(r.params[9].driverIndex), index);
  return 1;
}

QID BufferHostId(const QDCommandRecord& r) {
  std::lock_guard lock(gMutex);
  System* system = FindSystem(r.systemIndex);
  if (system == nullptr) return 0;
  auto found = system->buffers.find(r.params[0].driverIndex);
  return found == system->buffers.end() ? 0 : found->second;
}

int64_t BufferCommand(QDCommandRecord& r) {
  const QID hostId = BufferHostId(r);
  if (hostId == 0) return -1;
  switch (r.operation & 0xFFFF) {
    case zor::hostcommand::kBufFree: {
      HostBufFree(hostId);
      std::lock_guard lock(gMutex);
      gSystems[r.systemIndex].buffers.erase(r.params[0].driverIndex);
      return 1;
    }
    case zor::hostcommand::kBufGetRegion:
      HostBufGetRegion(hostId, Arg(r, 1), Arg(r, 2), Arg(r, 3), Arg(r, 4), Ptr(r, 5));
      return 1;
    case zor::hostcommand::kBufPutRegion:
      HostBufPutRegion(hostId, Arg(r, 1), Arg(r, 2), Arg(r, 3), Arg(r, 4), Ptr(r, 5));
      return 1;
    default:
      HostBufInquire(hostId, Arg(r, 1), Ptr(r, 2));
      return 1;
  }
}

int64_t ThreadAlloc(QDCommandRecord& r) {
  QID id = 0;
  QID owner = 0;
  const auto find = [&](System& system) { return owner = system.hostId, 1; };
  if (OnSystem(r.params[0].driverIndex, find) < 0) return -1;
  if (Arg(r, 1) == Q_EVENT) {
    id = HostEventAttach(0, Q_EVENT, nullptr);
  } else {
    HostThrAlloc(owner, 2048, Q_DEFAULT, nullptr, nullptr, &id);
  }
  Write(Ptr(r, 4), id);
  return 1;
}

int64_t ThreadFree(QDCommandRecord& r) {
  const QID id = Arg(r, 0);
  if (HostInternalInquire(id, Q_INTERNAL_OBJECT_TYPE, nullptr) == Q_EVENT) {
    HostEventFree(0, id);
  } else {
    HostThrFree(id);
  }
  return 1;
}

int64_t ErrorNotify(QDCommandRecord& r) {
  if (Arg(r, 0) == 1) {
    Write(Ptr(r, 1), tError.code);
    for (int i = 0; i < 3; ++i) Write(Ptr(r, 2 + i), tError.sub[i]);
  } else if (Arg(r, 0) == 2) {
    const QINT64 subs[4] = {0, tError.sub[0], tError.sub[1], tError.sub[2]};
    // Fills each text's whole room, as a driver may; 4310 leaves its texts to GetErrorMessage.
    for (int i = 0; i < 4; ++i) {
      const bool none = (i > 0 && subs[i] == 0) || tError.code == 4310;
      const wchar_t* text = none ? L"" : Message(tError.code, subs[i]);
      std::wcsncpy(static_cast<wchar_t*>(Ptr(r, 1 + i)), text != nullptr ? text : L"",
                   Q_ERROR_TEXT_SIZE);
    }
  }
  return 1;
}

int64_t DigProcess(QDCommandRecord& r) { return Arg(r, 4) == kFakeRefusedProcess ? -1 : 1; }

int64_t Served(QDCommandRecord&) { return 1; }

int64_t ThreadWait(QDCommandRecord& r) {
  Write(Ptr(r, 2), Q_WAIT_ENDED);
  return 1;
}

namespace op = zor::hostcommand;

// The commands the fake serves; the others are unserved (-1).
const std::map<uint16_t, int64_t (*)(QDCommandRecord&)> kServed = {
    {op::kSysAlloc, SystemAlloc},       {op::kSysFree, SystemFree},
    {op::kSysInquire, SystemInquire},   {op::kSysControl, SystemControl},
    {op::kDigAlloc, DigAlloc},          {op::kDigFree, Served},
    {op::kDigProcess, DigProcess},      {op::kDigInquire, DigInquire},
    {op::kDigControl, DigControl},      {op::kDigHookFunction, DigHook},
    {op::kBufAlloc, BufAlloc},          {op::kBufFree, BufferCommand},
    {op::kBufGetRegion, BufferCommand}, {op::kBufPutRegion, BufferCommand},
    {op::kBufInquire, BufferCommand},   {op::kThrAlloc, ThreadAlloc},
    {op::kThrFree, ThreadFree},         {op::kThrWait, ThreadWait}};

int64_t Dispatch(QDCommandRecord& r, uint16_t opcode) {
  const auto served = kServed.find(opcode);
  return served == kServed.end() ? -1 : served->second(r);
}

struct HookCall {
  QHOOK_FUNCTION function;
  void* user;
  QINT64 type;
  QID owner;
  void* payload;
};

QUINT32 HookThread(void* data) {
  auto* call = static_cast<HookCall*>(data);
  QINT64 context = 0;
  HostInternalInquire(0, Q_ENTER_THREAD_CONTEXT, &context);
  const QID event = HostEventAlloc(call->owner, Q_DEFAULT, Q_HOOK_EVENT, call->payload);
  call->function(call->type, event, call->user);
  HostEventFree(Q_DEFAULT, event);
  HostInternalControl(0, Q_LEAVE_THREAD_CONTEXT, context);
  delete call;
  return 0;
}

QUINT32 ReportThread(void*) {
  QINT64 context = 0;
  HostInternalInquire(0, Q_ENTER_THREAD_CONTEXT, &context);
  const QID function = HostFuncAlloc(L"Thread function:", Q_DEFAULT, nullptr);
  QINT64 saved = 0;
  HostInternalInquire(0, Q_SAVE_ERROR_STATE, &saved);
  HostFuncErrorReport(function, 4356, L"%s", L" ", L"first text", L"second text");
  HostInternalControl(0, Q_RESTORE_ERROR_STATE, reinterpret_cast<QINT64>(&saved));
  HostFuncFree(function);
  HostInternalControl(0, Q_LEAVE_THREAD_CONTEXT, context);
  return 0;
}

}  // namespace

ZOR_API void QDDravionLynCommandDecoder(QDCommandRecord* record) {
  const auto opcode = static_cast<uint16_t>(record->operation & 0xFFFF);
  if (opcode == zor::hostcommand::kDrvThreadEnd) {
    ++gThreadEnds;
    return;
  }
  {
    std::lock_guard lock(gMutex);
    gRecords[opcode] = *record;
    ++gCounts[opcode];
  }
  if (opcode == zor::hostcommand::kDrvErrorNotify) {
    record->status = static_cast<uint16_t>(ErrorNotify(*record));
    return;
  }
  if (tDepth++ == 0) tError = DriverError{};
  const int64_t result = Dispatch(*record, opcode);
  --tDepth;
  record->status = tError.code != 0 ? QD_STATUS_ERROR : static_cast<uint16_t>(result);
}

ZOR_API int32_t GetErrorRange(int32_t index, uint32_t* first, uint32_t* last, uint32_t* subCount,
                              const wchar_t** name) {
  if (subCount != nullptr) *subCount = 8;
  if (index != 0) return -1;
  if (first != nullptr) *first = 4300;
  if (last != nullptr) *last = 4499;
  if (name != nullptr) *name = L"Fake board";
  return 0;
}

ZOR_API int32_t GetErrorMessage(int32_t code, int32_t sub, const wchar_t** message) {
  const wchar_t* text = Message(code, sub);
  if (text == nullptr) return -1;
  *message = text;
  return 0;
}

ZOR_API bool FakeBoardLastRecord(uint16_t opcode, QDCommandRecord* copy) {
  std::lock_guard lock(gMutex);
  auto found = gRecords.find(opcode);
  if (found == gRecords.end()) return false;
  *copy = found->second;
  return true;
}

ZOR_API int FakeBoardCommandCount(uint16_t opcode) {
  std::lock_guard lock(gMutex);
  return gCounts[opcode];
}

ZOR_API int FakeBoardThreadEnds() { return gThreadEnds; }

ZOR_API QID FakeBoardFireDigitizerHook(int64_t digitizerIndex, QINT64 type, void* payload) {
  HookCall* call = nullptr;
  {
    std::lock_guard lock(gMutex);
    for (auto& [index, system] : gSystems) {
      auto found = system.hooks.find(digitizerIndex);
      if (found == system.hooks.end()) continue;
      call = new HookCall{found->second.first, found->second.second, type, system.hostId, payload};
      break;
    }
  }
  if (call == nullptr) return 0;
  return HostThrAlloc(0x7F000003, Q_THREAD, 0x10000, HookThread, call, nullptr);
}

ZOR_API QID FakeBoardReportFromThread() {
  return HostThrAlloc(0x7F000003, Q_THREAD, 0x10000, ReportThread, nullptr, nullptr);
}
