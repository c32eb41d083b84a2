// A driver whose systems record every operation instead of driving a board.
#pragma once

#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "tests/driver/frameworkuser/support/frameworkprobe.h"

namespace zor::frame {

class TestSystem : public QDBaseSystem {
 public:
  explicit TestSystem(FrameworkProbe& probe);
  ~TestSystem() override;

  int64_t Unserved(SystemOp op, const OperationArgs& args, QDDriverThreadContext& ctx) override;

 private:
  FrameworkProbe& probe_;
};

class TestDriver : public QDDeviceDriver {
 public:
  explicit TestDriver(bool& constructionError);

  int64_t SystemAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  void OnFirstProcessAttach() override;
  void OnLastProcessDetach() override;
};

// Makes the next driver of this process a TestDriver.
void InstallTestDriver();

}  // namespace zor::frame
