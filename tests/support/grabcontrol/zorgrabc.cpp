// The grab-control library for the binding's tests: control type 99 answers its value as the
// library's result, so that every result the driver maps can be produced; control type 98
// sends the digitizer control of the type its value names (with Q_DEFAULT) from a thread of
// the library's own, as a library may call back outside any command; with ZORGRABC_NO_HANDLE
// set it accepts a digitizer without a handle; control type 97 inquires the digitizer type its
// value names through the callbacks. The tests read how often the library's state word was
// asked for, the last answer of type 97 and the host objects of the last session. Everything
// else is the platform's library.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "platform/grabcontrol/grabcontrol.h"

namespace zorgrabc {
namespace {

using zor::grabcontrol::GrabCtlCallbackTable;

constexpr int64_t kResultControl = 99;
constexpr int64_t kControlFromOwnThread = 98;
constexpr int64_t kInquireThroughCallback = 97;
constexpr int64_t kDefault = 0x10000000;
constexpr int64_t kStateAnswer = 0x4385;

std::atomic<int64_t> stateInquiries{0};
std::atomic<int64_t> lastAnswer{0};
std::atomic<int64_t> lastHostSystem{0};
std::atomic<int64_t> lastHostDigitizer{0};

class TestGrabControl : public GrabControl {
 public:
  int64_t Alloc(int64_t hostSystem, int64_t hostDigitizer, const GrabCtlCallbackTable* table,
                int64_t* handle) override {
    lastHostSystem = hostSystem;
    lastHostDigitizer = hostDigitizer;
    if (std::getenv("ZORGRABC_NO_HANDLE") == nullptr) {
      return GrabControl::Alloc(hostSystem, hostDigitizer, table, handle);
    }
    *handle = 0;
    return kDone;
  }

  int64_t Control(int64_t handle, int64_t type, int64_t value) override {
    if (type == kResultControl) return value;
    if (type != kControlFromOwnThread && type != kInquireThroughCallback) {
      return GrabControl::Control(handle, type, value);
    }
    const GrabCtlCallbackTable* table = TableOf(handle);
    if (table == nullptr) return kFailed;
    if (type == kInquireThroughCallback) {
      int64_t answer = 0;
      table->digInquire(0, value, &answer, table->binding);
      lastAnswer = answer;
      return kDone;
    }
    std::thread([table, value] {
      table->digControlInt(0, value, kDefault, table->binding, 0);
    }).join();
    return kDone;
  }

  int64_t Inquire(int64_t handle, int64_t type, int64_t* out) override {
    if (type != zor::grabcontrol::kLibraryInquire) return GrabControl::Inquire(handle, type, out);
    ++stateInquiries;
    *out = kStateAnswer;
    return kDone;
  }
};

}  // namespace

GrabControl& Library() {
  static TestGrabControl library;
  return library;
}

}  // namespace zorgrabc

extern "C" __attribute__((visibility("default"))) int64_t ZorgrabcStateInquiries() {
  return zorgrabc::stateInquiries.load();
}

extern "C" __attribute__((visibility("default"))) int64_t ZorgrabcLastAnswer() {
  return zorgrabc::lastAnswer.load();
}

extern "C" __attribute__((visibility("default"))) void ZorgrabcLastHosts(int64_t* system,
                                                                         int64_t* digitizer) {
  *system = zorgrabc::lastHostSystem.load();
  *digitizer = zorgrabc::lastHostDigitizer.load();
}
