// The grab-control library for the binding's tests: control type 99 answers its value as the
// library's result, so that every result the driver maps can be produced; with
// ZORGRABC_NO_HANDLE set it accepts a digitizer without a handle; the tests read how often
// the library's state word was asked for. Everything else is the platform's library.
#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "platform/grabcontrol/grabcontrol.h"

namespace {

using zor::grabcontrol::GrabCtlCallbackTable;

constexpr int64_t kResultControl = 99;
constexpr int64_t kStateAnswer = 0x4385;

std::atomic<int64_t> stateInquiries{0};

}  // namespace

#define ZORGRABC_EXPORT extern "C" __attribute__((visibility("default")))

ZORGRABC_EXPORT int64_t QGCdigAlloc(int64_t hostSystem, int64_t hostDigitizer,
                                    const GrabCtlCallbackTable* table, int64_t* handle) {
  if (std::getenv("ZORGRABC_NO_HANDLE") != nullptr) {
    *handle = 0;
    return zorgrabc::kDone;
  }
  return zorgrabc::Alloc(hostSystem, hostDigitizer, table, handle);
}

ZORGRABC_EXPORT int64_t QGCdigFree(int64_t handle) { return zorgrabc::Free(handle); }

ZORGRABC_EXPORT int64_t QGCdigControl(int64_t handle, int64_t type, int64_t value) {
  if (type == kResultControl) return value;
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
  if (type == zor::grabcontrol::kLibraryInquire) {
    ++stateInquiries;
    *out = kStateAnswer;
    return zorgrabc::kDone;
  }
  return zorgrabc::Inquire(handle, type, out);
}

ZORGRABC_EXPORT int64_t ZorgrabcStateInquiries() { return stateInquiries.load(); }
