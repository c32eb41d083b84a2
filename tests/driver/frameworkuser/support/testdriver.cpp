#include "tests/driver/frameworkuser/support/testdriver.h"

#include "driver/frameworkuser/driver/driverwrapper.h"
#include "platform/host/qtypes.h"

namespace zor::frame {

TestSystem::TestSystem(FrameworkProbe& probe) : probe_(probe) {
  std::lock_guard lock(probe.mutex);
  SetGuardByte(probe.guardByte);
  SetEndOfCommandMode(probe.endOfCommandMode);
}

TestSystem::~TestSystem() {
  std::lock_guard lock(probe_.mutex);
  ++probe_.systemsDestroyed;
}

int64_t TestSystem::Unserved(SystemOp op, const OperationArgs& args, QDDriverThreadContext& ctx) {
  // The host announces its id for the system; a board system keeps it for
  // its thread service, which the test systems do without.
  if (op == SystemOp::SysControl && args.Int(0) == Q_HOST_OBJECT_ID) return 1;
  if (!probe_.recording.load(std::memory_order_relaxed)) return -1;
  decltype(probe_.onCall) onCall;
  {
    std::lock_guard lock(probe_.mutex);
    probe_.calls.push_back({Index(), op, args});
    onCall = probe_.onCall;
  }
  return onCall ? onCall(*this, op, args, ctx) : -1;
}

TestDriver::TestDriver(bool& constructionError) : QDDeviceDriver(constructionError) {
  FrameworkProbe& probe = *FrameworkTestProbe();
  std::lock_guard lock(probe.mutex);
  ++probe.driversCreated;
  probe.threadContextCount = [this] { return ThreadContextCount(); };
}

int64_t TestDriver::SystemAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) {
  return AllocateSystem(args, ctx,
                        [](const OperationArgs&, int64_t& startupStatus, QDDriverThreadContext&) {
                          FrameworkProbe& probe = *FrameworkTestProbe();
                          std::function<void()> onConstruct;
                          {
                            std::lock_guard lock(probe.mutex);
                            startupStatus = probe.startupStatus;
                            onConstruct = probe.onConstruct;
                          }
                          if (onConstruct) onConstruct();
                          return std::make_unique<TestSystem>(probe);
                        });
}

QDDriverThreadContext* TestDriver::AllocThreadContext(uint32_t threadId) {
  FrameworkProbe& probe = *FrameworkTestProbe();
  std::function<void()> onThreadContext;
  {
    std::lock_guard lock(probe.mutex);
    onThreadContext = probe.onThreadContext;
  }
  if (onThreadContext) onThreadContext();
  return QDDeviceDriver::AllocThreadContext(threadId);
}

void TestDriver::OnFirstProcessAttach() {
  FrameworkProbe& probe = *FrameworkTestProbe();
  std::lock_guard lock(probe.mutex);
  ++probe.firstAttaches;
}

void TestDriver::OnLastProcessDetach() {
  FrameworkProbe& probe = *FrameworkTestProbe();
  std::lock_guard lock(probe.mutex);
  ++probe.lastDetaches;
}

void InstallTestDriver() {
  CQDDeviceDriverWrapper::Instance().ReplaceDriverForTests(
      [](bool& constructionError) -> QDDeviceDriver* { return new TestDriver(constructionError); });
}

}  // namespace zor::frame

extern "C" zor::frame::FrameworkProbe* FrameworkTestProbe() {
  static zor::frame::FrameworkProbe probe;
  return &probe;
}
