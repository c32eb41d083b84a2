// What the test driver and its systems record, and how tests steer them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "driver/frameworkuser/system/operationargs.h"
#include "driver/frameworkuser/system/systemoperation.h"

namespace zor::frame {

class QDBaseSystem;
class QDDriverThreadContext;

struct RecordedCall {
  int64_t systemIndex;
  SystemOp op;
  OperationArgs args;
};

struct FrameworkProbe {
  // Off for benchmarks: the systems then answer -1 without recording.
  std::atomic<bool> recording{true};
  std::mutex mutex;
  std::vector<RecordedCall> calls;
  int driversCreated = 0;
  int firstAttaches = 0;
  int lastDetaches = 0;
  int systemsDestroyed = 0;
  // The number of thread contexts of the current driver.
  std::function<std::size_t()> threadContextCount;
  // Settings of the next systems built.
  int64_t startupStatus = 0;
  bool guardByte = true;
  int64_t endOfCommandMode = 2;
  // Runs while a system is built.
  std::function<void()> onConstruct;
  // Runs before a thread's driver context is made.
  std::function<void()> onThreadContext;
  // Runs inside every system operation; answers for it (default -1).
  std::function<int64_t(QDBaseSystem& system, SystemOp op, const OperationArgs& args,
                        QDDriverThreadContext& ctx)>
      onCall;

  // Back to a fresh probe for the next test.
  void Reset() {
    std::lock_guard lock(mutex);
    calls.clear();
    driversCreated = firstAttaches = lastDetaches = systemsDestroyed = 0;
    startupStatus = 0;
    guardByte = true;
    endOfCommandMode = 2;
    onCall = nullptr;
    onConstruct = nullptr;
    onThreadContext = nullptr;
    recording = true;
  }

  std::vector<RecordedCall> TakeCalls() {
    std::lock_guard lock(mutex);
    std::vector<RecordedCall> taken;
    taken.swap(calls);
    return taken;
  }
};

}  // namespace zor::frame

// The probe of the test driver in this process.
extern "C" __attribute__((visibility("default"))) zor::frame::FrameworkProbe* FrameworkTestProbe();
