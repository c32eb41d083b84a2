// libzorgrabc.so's entry points, under the names the driver resolves.
#include "platform/grabcontrol/grabcontrol.h"

#define ZORGRABC_EXPORT extern "C" __attribute__((visibility("default")))

using zor::grabcontrol::GrabCtlCallbackTable;

ZORGRABC_EXPORT int64_t QGCdigAlloc(int64_t hostSystem, int64_t hostDigitizer,
                                    const GrabCtlCallbackTable* table, int64_t* handle) {
  return zorgrabc::Alloc(hostSystem, hostDigitizer, table, handle);
}

ZORGRABC_EXPORT int64_t QGCdigFree(int64_t handle) { return zorgrabc::Free(handle); }

ZORGRABC_EXPORT int64_t QGCdigControl(int64_t handle, int64_t type, int64_t value) {
  return zorgrabc::Control(handle, type, value);
}

ZORGRABC_EXPORT int64_t QGCdigControlDouble(int64_t handle, int64_t type, double value) {
  return zorgrabc::ControlDouble(handle, type, value);
}

ZORGRABC_EXPORT int64_t QGCdigGrabAbortEx(int64_t handle, double value, int64_t word) {
  return zorgrabc::GrabAbort(handle, value, word);
}

ZORGRABC_EXPORT int64_t QGCdigGrabContinuous(int64_t handle, int64_t hostBuffer, int64_t value) {
  return zorgrabc::GrabContinuous(handle, hostBuffer, value);
}

ZORGRABC_EXPORT int64_t QGCdigHalt(int64_t handle, int64_t, int64_t) {
  return zorgrabc::Halt(handle);
}

ZORGRABC_EXPORT int64_t QGCdigInquire(int64_t handle, int64_t type, int64_t* out, int64_t) {
  return zorgrabc::Inquire(handle, type, out);
}
