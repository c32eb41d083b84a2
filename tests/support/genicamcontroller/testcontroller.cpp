#include "tests/support/genicamcontroller/testcontroller.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "driver/frameworkuser/genicam/featurebrowser/controllerrecord.h"

namespace {

struct State {
  std::mutex mutex;
  std::condition_variable deletedChanged;
  bool holdUntilDeleted = false;
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
// event per record and ends, or on request stays until its handle is deleted.
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
  int64_t mine = 0;
  bool hold = false;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.push_back(call);
    mine = state.nextHandle++;
    *handle = mine;
    eventValue = state.eventValue;
    hold = state.holdUntilDeleted;
  }
  for (int64_t i = 0; i < count; ++i) {
    records[i].callback(records[i].userData, records[i].id, eventValue);
  }
  if (hold) {
    std::unique_lock<std::mutex> lock(state.mutex);
    state.deletedChanged.wait(lock, [&] {
      return std::find(state.deleted.begin(), state.deleted.end(), mine) != state.deleted.end();
    });
  }
  return 1;
}

extern "C" ZOR_TEST_CONTROLLER_API int64_t DeleteGenicamControllerV3(int64_t handle, int64_t) {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.deleted.push_back(handle);
  state.deletedChanged.notify_all();
  return 1;
}

void TestControllerReset(int64_t eventValue, bool holdUntilDeleted) {
  State& state = Shared();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.eventValue = eventValue;
  state.holdUntilDeleted = holdUntilDeleted;
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
