// Every kernel request record, for the driver and the simulated board alike.
#pragma once

#include "interfaces/kernel/bufferrequests.h"
#include "interfaces/kernel/deviceevent.h"
#include "interfaces/kernel/digitizerrequests.h"
#include "interfaces/kernel/kernelcodes.h"
#include "interfaces/kernel/objectrequests.h"
#include "interfaces/kernel/requestheader.h"
#include "interfaces/kernel/systemrequests.h"
#include "interfaces/kernel/threadrequests.h"

namespace zor::kernel {

// Bytes in and out of each request; 0 for a function the kernel does not know.
// The version request takes no input.
constexpr uint32_t RecordSize(uint32_t function) {
  switch (function) {
    case kGetDriverVersion:
      return sizeof(DriverVersionRequest);
    case kSysClose:
    case kEventWaitEnd:
    case kKernelObjectFree:
      return sizeof(HeaderOnlyRequest);
    case kSysAlloc:
      return sizeof(SysAllocRequest);
    case kWaitDeviceEvent:
      return sizeof(DeviceEventRecord);
    case kKernelObjectAlloc:
      return sizeof(ObjectAllocRequest);
    case kKernelObjectControl:
    case kKernelObjectInquire:
      return sizeof(ObjectValueRequest);
    case kSysRequest:
      return sizeof(SysRequest);
    case kSysControl:
      return sizeof(SysControlRequest);
    case kThreadAlloc:
      return sizeof(ThreadAllocRequest);
    case kThreadFree:
      return sizeof(ThreadFreeRequest);
    case kThreadControl:
      return sizeof(ThreadControlRequest);
    case kThreadWait:
    case kThreadInquire:
      return sizeof(ThreadWaitRequest);
    case kThreadWaitMultiple:
      return sizeof(ThreadWaitMultipleRequest);
    case kDigAlloc:
      return sizeof(DigAllocRequest);
    case kDigFree:
    case kDigStopGrab:
      return sizeof(DigRecordRequest);
    case kDigInquire:
    case kDigControl:
    case kDigChannelInit:
      return sizeof(DigChannelRequest);
    case kDigGrab:
    case kDigProcessStart:
      return sizeof(GrabRequest);
    case kDigReference:
      return sizeof(DigReferenceRequest);
    case kDigGrabWait:
      return sizeof(GrabWaitRequest);
    case kThreadContextEvent:
      return sizeof(ContextEventRequest);
    case kDigProcessRequest:
    case kDigProcessStop:
      return sizeof(DigProcessRequest);
    case kDigContinueGrabPrepared:
      return sizeof(DigContinuePreparedRequest);
    case kDigContinueGrab:
      return sizeof(DigContinueGrabRequest);
    case kDigInquireValue:
      return sizeof(DigInquireValueRequest);
    case kBufAlloc:
      return sizeof(BufAllocRequest);
    case kBufChildAlloc:
      return sizeof(BufChildAllocRequest);
    case kBufPassWords:
      return sizeof(BufPassWordsRequest);
    case kBufFree:
    case kFreeOnBoardBuffer:
      return sizeof(BufHandleRequest);
    case kBufInquire:
      return sizeof(BufInquireRequest);
    case kBufControl:
      return sizeof(BufControlRequest);
    case kBufQueueGrab:
      return sizeof(BufQueueGrabRequest);
    case kBufTransfer:
      return sizeof(BufTransferRequest);
    case kAllocOnBoardBuffer:
      return sizeof(OnBoardAllocRequest);
    case kBufTripleTransfer:
      return sizeof(BufTripleTransferRequest);
    case kSysIoCommand:
      return sizeof(SysIoRequest);
    default:
      return 0;
  }
}

static_assert(RecordSize(kDigAlloc) == 21584);
static_assert(RecordSize(kDigGrabWait) == 3680);
static_assert(RecordSize(0xA13) == 0);

}  // namespace zor::kernel
