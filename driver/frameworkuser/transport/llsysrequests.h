// The LLsys wrappers: every kernel request of the driver, with the error the
// kernel gives back merged into the caller's error record and raised.
#pragma once

#include <cstdint>

#include "driver/foundation/error.h"
#include "interfaces/kernel/kernelrequests.h"

namespace zor::frame {

class QDDriverThreadContext;

// Copied at the head of every request: the device handle (all ones: not
// opened, 0: closed) and the kernel system id.
struct LLsysHandlePair {
  uint64_t device = kernel::kNoHandle;
  uint64_t systemId = kernel::kNoHandle;
};

// A null thread context stands for a release outside any command (a
// destructor on whatever thread): the request goes on a private overlapped
// block and nothing is recorded.

// Sends a record of its own size as input and output; the bytes that came back.
uint32_t SendKernelRequest(uint64_t device, uint32_t function, void* record, uint32_t size,
                           QDDriverThreadContext* ctx);
// Code, sub-code, flag and status byte only while the caller holds no error;
// the extra value only while it holds none.
void MergeStatus(foundation::CError& error, const kernel::ErrorTriple& status);
void Raise(const foundation::CError& error, QDDriverThreadContext* ctx);
// A fresh header: all-ones handle pair, the error record's header words, no
// status, no object.
kernel::RequestHeader FreshHeader(const foundation::CError& error);

// The common wrapper: handle pair in, send, merge, raise.
void LLsysRequest(const LLsysHandlePair& pair, uint32_t function, kernel::RequestHeader& record,
                  uint32_t size, foundation::CError& error, QDDriverThreadContext* ctx);
template <typename Record>
void LLsysRequest(const LLsysHandlePair& pair, uint32_t function, Record& record,
                  foundation::CError& error, QDDriverThreadContext* ctx) {
  LLsysRequest(pair, function, record.header, sizeof(Record), error, ctx);
}
// Raised directly: the record's own error is raised instead of the caller's.
template <typename Record>
void LLsysRequestRaisedDirectly(const LLsysHandlePair& pair, uint32_t function, Record& record,
                                QDDriverThreadContext* ctx) {
  record.header.deviceHandle = pair.device;
  record.header.systemId = pair.systemId;
  record.header.status = {};
  SendKernelRequest(pair.device, function, &record, sizeof(Record), ctx);
  foundation::CError error;
  MergeStatus(error, record.header.status);
  Raise(error, ctx);
}

// Kernel objects; the allocation gives 0 when the kernel refused it.
uint64_t LLsysObjectAlloc(const LLsysHandlePair& pair, int32_t kind, foundation::CError& error,
                          QDDriverThreadContext* ctx);
void LLsysObjectControl(const LLsysHandlePair& pair, uint64_t objectId, uint64_t type,
                        uint64_t value, foundation::CError& error, QDDriverThreadContext* ctx);
// Object id 0 sends nothing and gives kInvalidSystemParameter/3.
uint64_t LLsysObjectInquire(const LLsysHandlePair& pair, uint64_t objectId, uint64_t type,
                            foundation::CError& error, QDDriverThreadContext* ctx);
void LLsysObjectFree(const LLsysHandlePair& pair, uint64_t objectId, foundation::CError& error,
                     QDDriverThreadContext* ctx);
// Sent after every user-mode wait that a kernel reply asked for.
void LLsysEventWaitEnd(const LLsysHandlePair& pair, uint64_t contextId, foundation::CError& error,
                       QDDriverThreadContext* ctx);

// System request (the record's request word set by the caller) and system
// control; the reply stays in the record. A closed device sends nothing; one
// never opened records kUnexpectedError/1.
void DeviceRequest(const LLsysHandlePair& pair, uint64_t contextId, kernel::SysRequest& record,
                   foundation::CError& error, QDDriverThreadContext* ctx);
kernel::SysControlRequest LLsysControl(const LLsysHandlePair& pair, uint64_t objectId,
                                       uint64_t type, uint64_t value, foundation::CError& error,
                                       QDDriverThreadContext* ctx);
// A value the kernel keeps for a digitizer (its kernel id) or, for object 0,
// for every digitizer of the system. Raised directly; the value is 0 and the
// result false when the kernel answered with an error.
bool LLsysDigInquireValue(const LLsysHandlePair& pair, uint64_t objectId, uint64_t type,
                          uint64_t& value, QDDriverThreadContext* ctx);
// The kernel's part of BufPassToKernelAndHost on a buffer of its own.
void LLsysBufPassWords(const LLsysHandlePair& pair, uint64_t contextId, uint64_t kernelHandle,
                       const uint64_t (&words)[4], foundation::CError& error,
                       QDDriverThreadContext* ctx);
// Raises only when the reply's error flag is set.
void LLsysIoCommand(const LLsysHandlePair& pair, kernel::SysIoRequest& record,
                    QDDriverThreadContext* ctx);

// Whether a reply says that the kernel leaves the type to the user-mode layers.
inline bool NotServedByKernel(const kernel::RequestHeader& header) {
  return header.status.statusByte == kernel::kStatusNotServed;
}

}  // namespace zor::frame
