// A grab-control library as the driver expects one: it accepts a digitizer
// when the callback table is whole, keeps the table, and grabs, halts and
// controls through it. Control type 99 answers its value as the library's
// result, so that every result the driver maps can be produced. The tests read
// how often the library's state word was asked for.
#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "interfaces/grabcontrol/grabcontroltable.h"

namespace {

using zor::grabcontrol::GrabCtlCallbackTable;

constexpr int64_t kResultControl = 99;
constexpr int64_t kInquireAnswer = 0x4385;
constexpr int64_t kGrabAbort = 6643;

const GrabCtlCallbackTable* table = nullptr;
std::atomic<int64_t> stateInquiries{0};

bool Whole(const GrabCtlCallbackTable* t) {
  return t != nullptr && t->size == sizeof(GrabCtlCallbackTable) && t->version == 1 &&
         t->errorPartSize == 72 && t->errorPartVersion == 2 && t->digGrab != nullptr &&
         t->digStopGrab != nullptr && t->digControlInt != nullptr && t->binding != nullptr;
}

}  // namespace

#define ZORGRABC_EXPORT __attribute__((visibility("default")))

extern "C" {

ZORGRABC_EXPORT int64_t QGCdigAlloc(int64_t hostSystem, int64_t hostDigitizer,
                                    const GrabCtlCallbackTable* t, int64_t* handle) {
  *handle = 0;
  if (hostSystem == 0 || hostDigitizer == 0 || !Whole(t)) return 4;
  if (std::getenv("ZORGRABC_NO_HANDLE") != nullptr) return 0;
  table = t;
  *handle = 1;
  return 0;
}

ZORGRABC_EXPORT int64_t QGCdigFree(int64_t) {
  table = nullptr;
  return 0;
}

ZORGRABC_EXPORT int64_t QGCdigControl(int64_t, int64_t type, int64_t value) {
  if (type == kResultControl) return value;
  if (!Whole(table)) return 5;
  table->digControlInt(0, type, value, table->binding, 0);
  return 0;
}

ZORGRABC_EXPORT int64_t QGCdigControlDouble(int64_t, int64_t type, double value) {
  if (!Whole(table)) return 5;
  table->digControlDouble(0, type, value, table->binding, 0);
  return 0;
}

ZORGRABC_EXPORT int64_t QGCdigGrabAbortEx(int64_t, double, int64_t) {
  if (!Whole(table)) return 5;
  table->digControlInt(0, kGrabAbort, 0x10000000, table->binding, 0);
  return 0;
}

ZORGRABC_EXPORT int64_t QGCdigGrabContinuous(int64_t, int64_t hostBuffer, int64_t) {
  if (!Whole(table)) return 5;
  if (table->checkSourceWindow(0, hostBuffer, 0, table->binding) != 1) return 14;
  table->digGrab(0, hostBuffer, -1, table->binding);
  return 0;
}

ZORGRABC_EXPORT int64_t QGCdigHalt(int64_t, int64_t, int64_t) {
  if (!Whole(table)) return 5;
  table->digStopGrab(0, table->binding);
  return 0;
}

ZORGRABC_EXPORT int64_t QGCdigInquire(int64_t, int64_t type, int64_t* out, int64_t) {
  if (type == zor::grabcontrol::kLibraryInquire) {
    ++stateInquiries;
    *out = kInquireAnswer;
    return 0;
  }
  if (!Whole(table)) return 5;
  table->digInquire(0, type, out, table->binding);
  return 0;
}

ZORGRABC_EXPORT int64_t ZorgrabcStateInquiries() { return stateInquiries.load(); }

}  // extern "C"
