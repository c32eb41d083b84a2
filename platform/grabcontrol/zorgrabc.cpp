// The grab-control library's entry points, under the names the driver resolves.
#include "platform/grabcontrol/grabcontrol.h"

#define ZORGRABC_EXPORT extern "C" __attribute__((visibility("default")))

using zor::grabcontrol::GrabCtlCallbackTable;
using zorgrabc::Library;

ZORGRABC_EXPORT int64_t QGCdigAlloc(int64_t hostSystem, int64_t hostDigitizer,
                                    const GrabCtlCallbackTable* table, int64_t* handle) {
  return Library().Alloc(hostSystem, hostDigitizer, table, handle);
}

ZORGRABC_EXPORT int64_t QGCdigFree(int64_t handle) { return Library().Free(handle); }

ZORGRABC_EXPORT int64_t QGCdigControl(int64_t handle, int64_t type, int64_t value) {
  return Library().Control(handle, type, value);
}

ZORGRABC_EXPORT int64_t QGCdigControlDouble(int64_t handle, int64_t type, double value) {
  return Library().ControlDouble(handle, type, value);
}

ZORGRABC_EXPORT int64_t QGCdigGrabAbortEx(int64_t handle, double value, int64_t word) {
  return Library().GrabAbort(handle, value, word);
}

ZORGRABC_EXPORT int64_t QGCdigGrabContinuous(int64_t handle, int64_t hostBuffer, int64_t) {
  return Library().GrabContinuous(handle, hostBuffer);
}

ZORGRABC_EXPORT int64_t QGCdigHalt(int64_t handle, int64_t, int64_t) {
  return Library().Halt(handle);
}

ZORGRABC_EXPORT int64_t QGCdigInquire(int64_t handle, int64_t type, int64_t* out, int64_t) {
  return Library().Inquire(handle, type, out);
}
