#include "tests/support/genicamcontroller/testcontroller.h"

#include <mutex>

#include "driver/frameworkuser/genicam/featurebrowser/controllerrecord.h"

namespace {

struct State {
  std::mutex mutex;
  int64_t eventValue = 0;
  int64_t nextHandle = 100;
  std::vector<SeenControllerCall> calls;
  std::vector<int64_t> deleted;
};

State& Shared() {
  static State state;
  return state;
}

std::string Text(const char* text) { return text != nullptr ? text : "(null)"; }

}  // namespace

// The browser's window would run here until closed; this one reports one
// event per record and ends.
extern "C" ZOR_TEST_CONTROLLER_API int64_t
CreateGenicamControllerV3(int64_t owner, int64_t, zor::genicam::ControllerRecord* records,
                          int64_t count, int64_t, int64_t, int64_t* handle) {
  State& state = Shared();
  SeenControllerCall call{owner, count, {}};
  for (int64_t i = 0; i < count; ++i) {
    const zor::genicam::ControllerRecord& r = records[i];
    call.records.push_back({r.kind, r.owner, r.id, r.zero, r.four, Text(r.name), Text(r.title),
                            Text(r.controlPrefix), Text(r.inquirePrefix), Text(r.fourthText)});
  }
  int64_t eventValue = 0;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.push_back(call);
    *handle = state.nextHandle++;
    eventValue = state.eventValue;
  }
  for (int64_t i = 0; i < count; ++i) {
    records[i].callback(records[i].userData, records[i].id, eventValue);
  }
  return 1;
}

extern "C" ZOR_TEST_CONTROLLER_API int64_t DeleteGenicamControllerV3(int64_t handle, int64_t) {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.deleted.push_back(handle);
  return 1;
}

void TestControllerReset(int64_t eventValue) {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.eventValue = eventValue;
  state.calls.clear();
  state.deleted.clear();
}

std::vector<SeenControllerCall> TestControllerCalls() {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.calls;
}

std::vector<int64_t> TestControllerDeletedHandles() {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.deleted;
}
