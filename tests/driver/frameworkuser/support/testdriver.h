// A driver whose systems record every operation instead of driving a board.
#pragma once

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "tests/driver/frameworkuser/support/frameworkprobe.h"

namespace zor::frame {

class TestSystem : public QDBaseSystem {
 public:
  explicit TestSystem(FrameworkProbe& probe);
  ~TestSystem() override;

  int64_t Unserved(SystemOp op, const OperationArgs& args, QDDriverThreadContext& ctx) override;
  // The thread and event services are recorded like every other operation.
#define ZOR_TEST_THREAD_OPERATION(name)                                          \
  int64_t name(const OperationArgs& args, QDDriverThreadContext& ctx) override { \
    return Unserved(SystemOp::name, args, ctx);                                  \
  }
  ZOR_THREAD_SYSTEM_OPERATIONS(ZOR_TEST_THREAD_OPERATION)
#undef ZOR_TEST_THREAD_OPERATION

 private:
  FrameworkProbe& probe_;
};

class TestDriver : public QDDeviceDriver {
 public:
  explicit TestDriver(bool& constructionError);

  int64_t SystemAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  QDDriverThreadContext* AllocThreadContext(uint32_t threadId) override;
  void OnFirstProcessAttach() override;
  void OnLastProcessDetach() override;
};

// Makes the next driver of this process a TestDriver.
void InstallTestDriver();

// A thread context on a driver of the test's own, for tests that call the context directly.
struct ContextOnTestDriver {
  bool constructionError = false;
  TestDriver driver{constructionError};
  QDDriverThreadContext ctx{driver, 1};
};

}  // namespace zor::frame
