// The LLsys request wrappers: each sends one kernel request and merges its error.
#include "driver/frameworkuser/transport/llsysrequests.h"

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"

namespace zor::frame {
namespace {

using errorcode::kUnexpectedError;
constexpr uint64_t kDeviceNotOpen = 1;
using errorcode::kInvalidSystemParameter;
constexpr uint64_t kInvalidIdSub = 3;

// True when the request may be sent; a closed device is left alone and one
// never opened is an error.
bool HandleGuard(const LLsysHandlePair& pair, foundation::CError& error) {
  if (pair.device == 0) return false;
  if (pair.device == kernel::kNoHandle) {
    error.SetError(kUnexpectedError, kDeviceNotOpen);
    return false;
  }
  return true;
}

}  // namespace

uint32_t SendKernelRequest(uint64_t device, uint32_t function, void* record, uint32_t size,
                           QDDriverThreadContext* ctx) {
  const os::Handle handle = os::HandleFromValue(device);
  const uint32_t code = kernel::ControlCode(function);
  if (ctx != nullptr) return ctx->DeviceIoControl(handle, code, record, size, record, size);
  os::Overlapped overlapped;
  uint32_t bytes = 0;
  if (os::DeviceIoControl(handle, code, record, size, record, size, &bytes, &overlapped)) {
    return bytes;
  }
  if (os::GetLastError() == os::ERROR_IO_PENDING &&
      os::GetOverlappedResult(handle, &overlapped, &bytes, true)) {
    return bytes;
  }
  return 0;
}

void MergeStatus(foundation::CError& error, const kernel::ErrorTriple& status) {
  if (error.errorSet == 0) {
    error.code = status.code;
    error.subCode = status.subCode;
    error.errorSet = status.errorSet;
    error.noLog = status.statusByte;
  }
  if (error.extraSet == 0) {
    error.extra = status.extra;
    error.extraSet = status.extraSet;
  }
}

void Raise(const foundation::CError& error, QDDriverThreadContext* ctx) {
  if (ctx != nullptr) error.Report(*ctx);
}

kernel::RequestHeader FreshHeader(const foundation::CError& error) {
  kernel::RequestHeader header{};
  header.deviceHandle = kernel::kNoHandle;
  header.systemId = kernel::kNoHandle;
  header.errorHeader[0] = error.SourceId();
  header.errorHeader[1] = error.Sequence();
  return header;
}

void LLsysRequest(const LLsysHandlePair& pair, uint32_t function, kernel::RequestHeader& record,
                  uint32_t size, foundation::CError& error, QDDriverThreadContext* ctx) {
  record.deviceHandle = pair.device;
  record.systemId = pair.systemId;
  record.status = {};
  SendKernelRequest(pair.device, function, &record, size, ctx);
  MergeStatus(error, record.status);
  Raise(error, ctx);
}

uint64_t LLsysObjectAlloc(const LLsysHandlePair& pair, int32_t kind, foundation::CError& error,
                          QDDriverThreadContext* ctx) {
  kernel::ObjectAllocRequest record{};
  record.header = FreshHeader(error);
  record.kind = kind;
  LLsysRequest(pair, kernel::kKernelObjectAlloc, record, error, ctx);
  return record.header.status.errorSet == 0 ? record.header.objectId : 0;
}

void LLsysObjectControl(const LLsysHandlePair& pair, uint64_t objectId, uint64_t type,
                        uint64_t value, foundation::CError& error, QDDriverThreadContext* ctx) {
  kernel::ObjectValueRequest record{};
  record.header = FreshHeader(error);
  record.header.objectId = objectId;
  record.type = type;
  record.value = value;
  LLsysRequest(pair, kernel::kKernelObjectControl, record, error, ctx);
}

uint64_t LLsysObjectInquire(const LLsysHandlePair& pair, uint64_t objectId, uint64_t type,
                            foundation::CError& error, QDDriverThreadContext* ctx) {
  if (objectId == 0) {
    error.SetError(kInvalidSystemParameter, kInvalidIdSub);
    Raise(error, ctx);
    return 0;
  }
  kernel::ObjectValueRequest record{};
  record.header = FreshHeader(error);
  record.header.objectId = objectId;
  record.type = type;
  LLsysRequest(pair, kernel::kKernelObjectInquire, record, error, ctx);
  return record.value;
}

void LLsysObjectFree(const LLsysHandlePair& pair, uint64_t objectId, foundation::CError& error,
                     QDDriverThreadContext* ctx) {
  kernel::HeaderOnlyRequest record{};
  record.header = FreshHeader(error);
  record.header.objectId = objectId;
  LLsysRequest(pair, kernel::kKernelObjectFree, record, error, ctx);
}

void LLsysEventWaitEnd(const LLsysHandlePair& pair, uint64_t contextId, foundation::CError& error,
                       QDDriverThreadContext* ctx) {
  kernel::HeaderOnlyRequest record{};
  record.header = FreshHeader(error);
  record.header.objectId = contextId;
  LLsysRequest(pair, kernel::kEventWaitEnd, record, error, ctx);
}

void DeviceRequest(const LLsysHandlePair& pair, uint64_t contextId, kernel::SysRequest& record,
                   foundation::CError& error, QDDriverThreadContext* ctx) {
  record.header.objectId = contextId;
  if (!HandleGuard(pair, error)) {
    Raise(error, ctx);
    return;
  }
  LLsysRequest(pair, kernel::kSysRequest, record, error, ctx);
}

kernel::SysControlRequest LLsysControl(const LLsysHandlePair& pair, uint64_t objectId,
                                       uint64_t type, uint64_t value, foundation::CError& error,
                                       QDDriverThreadContext* ctx) {
  kernel::SysControlRequest record{};
  record.header = FreshHeader(error);
  record.header.objectId = objectId;
  record.type = type;
  record.value = value;
  if (!HandleGuard(pair, error)) {
    Raise(error, ctx);
    return record;
  }
  LLsysRequest(pair, kernel::kSysControl, record, error, ctx);
  return record;
}

bool LLsysDigInquireValue(const LLsysHandlePair& pair, uint64_t objectId, uint64_t type,
                          uint64_t& value, QDDriverThreadContext* ctx) {
  value = 0;
  kernel::DigInquireValueRequest record{};
  record.header = FreshHeader(foundation::CError());
  record.header.objectId = objectId;
  record.type = type;
  LLsysRequestRaisedDirectly(pair, kernel::kDigInquireValue, record, ctx);
  if (record.header.status.errorSet != 0) return false;
  value = record.value;
  return true;
}

void LLsysBufPassWords(const LLsysHandlePair& pair, uint64_t contextId, uint64_t kernelHandle,
                       const uint64_t (&words)[4], foundation::CError& error,
                       QDDriverThreadContext* ctx) {
  kernel::BufPassWordsRequest record{};
  record.header = FreshHeader(error);
  record.header.objectId = contextId;
  record.kernelHandle = kernelHandle;
  record.a = words[0];
  record.b = words[1];
  record.c = words[2];
  record.d = words[3];
  LLsysRequest(pair, kernel::kBufPassWords, record, error, ctx);
}

void LLsysIoCommand(const LLsysHandlePair& pair, kernel::SysIoRequest& record,
                    QDDriverThreadContext* ctx) {
  record.header.deviceHandle = pair.device;
  record.header.systemId = pair.systemId;
  record.header.status = {};
  SendKernelRequest(pair.device, kernel::kSysIoCommand, &record, sizeof(record), ctx);
  if (record.header.status.errorSet == 0) return;
  foundation::CError error;
  MergeStatus(error, record.header.status);
  Raise(error, ctx);
}

}  // namespace zor::frame
