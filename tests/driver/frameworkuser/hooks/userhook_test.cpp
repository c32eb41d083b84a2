// Hook threads on the simulated board: delivery, stopping, and the ways a thread ends.
#include "driver/frameworkuser/hooks/userhook.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/hostservices.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"
#include "platform/os/ui/message_box.h"
#include "tests/driver/frameworkuser/support/handlecount.h"
#include "tests/driver/frameworkuser/support/wholereports.h"

using namespace zor::frame;

namespace {

constexpr uint64_t kType = 0x10090002;
constexpr uint64_t kOtherType = 0x100A0002;
constexpr std::pair<uint64_t, uint64_t> kNone{0, 0};

// Counts its deliveries and keeps what each one saw.
class RecordingElement : public CBaseHook<HOOK_ELEMENT_INFO> {
 public:
  struct Delivery {
    QID event;
    uint64_t frameCount;
    void* userData;
    uint32_t thread;
    uint64_t eventDataSize;
    std::array<double, 2> rates;
  };

  int64_t Invoke(void* userData, QID eventId, const HOOK_ELEMENT_INFO& info) override {
    zor::kernel::BoardEventPayload payload;
    std::memcpy(&payload, info.payload, sizeof(payload));
    void* data = nullptr;
    HostInternalInquire(eventId, 10, &data);
    Delivery d{eventId, payload.frameCount, userData, os::GetCurrentThreadId(), 0, {}};
    if (data != nullptr) {
      std::memcpy(&d.eventDataSize, data, sizeof(d.eventDataSize));
      std::memcpy(d.rates.data(), static_cast<uint8_t*>(data) + 232, sizeof(double));
      std::memcpy(&d.rates[1], static_cast<uint8_t*>(data) + 248, sizeof(double));
    }
    if (action) action();
    std::lock_guard lock(mutex_);
    deliveries_.push_back(d);
    changed_.notify_all();
    return 0;
  }

  // Waits (as a guard against a hang, not a measure) until n deliveries came.
  bool WaitFor(size_t n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20),
                             [&] { return deliveries_.size() >= n; });
  }
  std::vector<Delivery> Deliveries() {
    std::lock_guard lock(mutex_);
    return deliveries_;
  }

  std::function<void()> action;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Delivery> deliveries_;
};

// Waits (a guard against a hang) until the hook's threads of the type have ended.
bool WaitUntilEnded(const CUserHook& hook, uint64_t type) {
  for (int i = 0; i < 20000 && hook.RunningCount(type) != 0; ++i) os::Sleep(1);
  return hook.RunningCount(type) == 0;
}

// Rate pairs at record offsets 0x158/0x160 and 0x168/0x170: 10 / 4, then the second given.
zor::kernel::BoardEventPayload Payload(uint64_t frameCount, uint64_t numerator = 6,
                                       uint64_t denominator = 4) {
  zor::kernel::BoardEventPayload payload{};
  payload.size = zor::kernel::kBoardEventSize;
  payload.frameCount = frameCount;
  const uint64_t pairs[4] = {10, 4, numerator, denominator};
  std::memcpy(reinterpret_cast<uint8_t*>(&payload) + 232, pairs, sizeof(pairs));
  return payload;
}

class HookThreads : public testing::Test {
 protected:
  void SetUp() override {
    boardsim::RegisterBoardDevices();
    device_ = os::CreateFile(L"\\\\.\\DRAVIONLYN_0", os::GENERIC_READ | os::GENERIC_WRITE, 0,
                             os::OPEN_EXISTING, os::FILE_FLAG_OVERLAPPED);
    ASSERT_NE(device_, os::INVALID_HANDLE_VALUE);
    board_ = boardsim::LocalBoards().Find(0);
    ASSERT_NE(board_, nullptr);
  }
  void TearDown() override { os::CloseHandle(device_); }

  // Starts a thread of the type on the hook: the start's code and sub-code, {0, 0} for none.
  static std::pair<uint64_t, uint64_t> Start(CUserHook& hook, RecordingElement& element,
                                             uint64_t type = kType, void* user = nullptr) {
    zor::foundation::CError error;
    hook.Start(type, user, &element, Q_DEFAULT, error);
    return {error.code, error.subCode};
  }
  static void Stop(CUserHook& hook, uint64_t type = kType) {
    zor::foundation::CError error;
    hook.Stop(type, error);
  }

  os::Handle device_{};
  boardsim::Board* board_ = nullptr;
  int userData_ = 0;
};

TEST_F(HookThreads, DeliverEachEventWithItsDataOnTheHookThread) {
  RecordingElement element;
  CUserHook hook(1, device_, 0);
  ASSERT_EQ(Start(hook, element, kType, &userData_), kNone);
  EXPECT_EQ(hook.ActiveCount(kType), 1u);
  EXPECT_FALSE(hook.IsInHookThread(0)) << "the application thread is no hook thread";

  bool inOwnType = false, inAnyType = false, inOtherType = true;
  element.action = [&] {
    inOwnType = hook.IsInHookThread(kType);
    inAnyType = hook.IsInHookThread(0);
    inOtherType = hook.IsInHookThread(kOtherType);
  };
  // The reply carries another event code than the type: the thread must still
  // wait for its own type afterwards.
  ASSERT_TRUE(board_->RaiseEventWithCode(kType, 0x1234, Payload(1)));
  ASSERT_TRUE(element.WaitFor(1));
  // A rate with a zero word is 0, whichever word it is.
  ASSERT_TRUE(board_->RaiseEvent(kType, Payload(2, 6, 0)));
  ASSERT_TRUE(board_->RaiseEvent(kType, Payload(3, 0, 4)));
  ASSERT_TRUE(element.WaitFor(3));

  const auto deliveries = element.Deliveries();
  const double secondRates[] = {1.5, 0.0, 0.0};
  for (size_t i = 0; i < deliveries.size(); ++i) {
    EXPECT_EQ(deliveries[i].frameCount, i + 1);
    EXPECT_EQ(deliveries[i].userData, &userData_);
    EXPECT_NE(deliveries[i].thread, os::GetCurrentThreadId());
    EXPECT_EQ(deliveries[i].eventDataSize, zor::kernel::kBoardEventSize);
    EXPECT_EQ(deliveries[i].rates, (std::array{2.5, secondRates[i]}));
    EXPECT_EQ(deliveries[i].event, deliveries[0].event);
  }
  EXPECT_NE(deliveries[0].event, 0);
  EXPECT_EQ((std::array{inOwnType, inAnyType, inOtherType}), (std::array{true, true, false}));

  Stop(hook);
  EXPECT_EQ(hook.ActiveCount(kType), 0u);
  EXPECT_EQ(board_->PendingEventWaits(kType), 0u) << "the pending request was cancelled";
  EXPECT_FALSE(board_->RaiseEvent(kType, Payload(4))) << "nobody watches the type any more";
}

// A drain returns once the event under way was delivered; the hook thread's own drain does not
// wait for itself.
TEST_F(HookThreads, WaitIdleWaitsForTheEventUnderWay) {
  RecordingElement element;
  CUserHook hook(1, device_, 0);
  ASSERT_EQ(Start(hook, element), kNone);
  hook.WaitIdle(kType);
  element.action = [&] {
    os::Sleep(50);
    hook.WaitIdle(kType);
  };
  ASSERT_TRUE(board_->RaiseEvent(kType, Payload(1)));
  hook.WaitIdle(kOtherType);
  hook.WaitIdle(kType);
  EXPECT_EQ(element.Deliveries().size(), 1u);
  Stop(hook);
}

QINT64 HostThreads() { return HostAppListObjects(Q_DEFAULT, 20, Q_THREAD, 0, nullptr); }

// The parked thread is freed by the next start, or else by the hook's end.
TEST_F(HookThreads, AFunctionThatUnhooksItsOwnTypeParksItsThread) {
  const QINT64 threads = HostThreads();
  for (const bool startAgain : {true, false}) {
    RecordingElement element;
    CUserHook hook(1, device_, 0);
    ASSERT_EQ(Start(hook, element), kNone);
    element.action = [&] { Stop(hook); };
    ASSERT_TRUE(board_->RaiseEvent(kType, Payload(1)));
    ASSERT_TRUE(element.WaitFor(1));
    EXPECT_EQ(hook.ActiveCount(kType), 0u);
    if (!startAgain) continue;
    RecordingElement second;
    ASSERT_EQ(Start(hook, second, kOtherType), kNone);
    ASSERT_TRUE(board_->RaiseEvent(kOtherType, Payload(9)));
    ASSERT_TRUE(second.WaitFor(1));
    EXPECT_EQ(board_->PendingEventWaits(kType), 0u);
    EXPECT_EQ(HostThreads(), threads + 1);
  }
  EXPECT_EQ(HostThreads(), threads);
}

// A first request that fails, or throws: the start fails and does not hang, a thread that an
// exception ended reports it as its own error with that error's texts, and a later start works.
TEST_F(HookThreads, AFirstRequestThatFailsDoesNotHangTheStart) {
  // A failure that throws nothing fails the request as a lost one.
  const struct {
    const char* what;
    std::exception_ptr thrown;
    std::vector<std::wstring> reports;
  } failures[] = {
      {"transport failure", nullptr, {}},
      {"out of memory",
       std::make_exception_ptr(std::bad_alloc()),
       {L"4306 Thread function: | 5 Insufficient Host memory."}},
      {"unexpected",
       std::make_exception_ptr(std::runtime_error("device gone")),
       {L"4336 Thread function: | 5 An exception ended the operation. | 6 std::runtime_error: "
        L"device gone"}},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.what);
    zortest::WholeReports reports;
    const uint32_t handles = zortest::HandleCount();
    boardsim::Fault fault{
        boardsim::FaultKind::kTransportFailure, 0, 0, 0, 0, os::ERROR_GEN_FAILURE, 1};
    if (failure.thrown != nullptr) {
      fault.kind = boardsim::FaultKind::kThrow;
      fault.exception = failure.thrown;
    }
    board_->ArmFault(zor::kernel::kWaitDeviceEvent, fault);
    RecordingElement element;
    CUserHook hook(1, device_, 0);
    // "Not enough resources to allocate hook thread."
    EXPECT_EQ(Start(hook, element), (std::pair<uint64_t, uint64_t>{4354, 2}));
    EXPECT_EQ(hook.ActiveCount(kType), 0u);
    EXPECT_EQ(reports.Take(), failure.reports);
    // A later start works again.
    EXPECT_EQ(Start(hook, element), kNone);
    EXPECT_EQ(hook.ActiveCount(kType), 1u);
    Stop(hook);
    EXPECT_EQ(zortest::HandleCount(), handles) << "each thread's events went with it";
  }
}

TEST_F(HookThreads, ADroppedEventIsReportedAndEndsTheThread) {
  zortest::WholeReports reports;
  HostAppControl(Q_DEFAULT, 0x41000000, 0);  // no printing
  RecordingElement element;
  CUserHook hook(1, device_, 0);
  ASSERT_EQ(Start(hook, element), kNone);
  board_->DropEvent(kType);
  ASSERT_TRUE(WaitUntilEnded(hook, kType));
  Stop(hook);
  EXPECT_EQ(reports.Take(),
            std::vector<std::wstring>{L"4356 Thread function: | 5 Dropped interrupt event. "
                                      L"| 6 (either the Internal FIFO is full or the "
                                      L"process was not found)."});
  EXPECT_TRUE(element.Deliveries().empty());
  QINT64 current = -1;
  HostGetError(0, 0x10E0000, &current);
  EXPECT_EQ(current, 0) << "the report leaves the thread's own error alone";
}

std::vector<std::wstring>* g_boxes = nullptr;

// The box whole (text, caption, style), and the application told to restart: its setting goes
// from the test's 5 to 0 at each return from sleep.
TEST_F(HookThreads, AReturnFromSleepAsksForARestartUnlessSuppressed) {
  constexpr QINT64 kRestart = 0x40000000;
  std::vector<std::wstring> boxes;
  g_boxes = &boxes;
  os::SetMessageBoxAnswer(
      [](const std::wstring& text, const std::wstring& caption, uint32_t style) {
        g_boxes->push_back(text + L"|" + caption + L"|" + std::to_wstring(style));
        return 1;
      });
  for (int64_t initWord : {int64_t{0}, kNoRestartMessage}) {
    HostAppControl(Q_DEFAULT, kRestart, 5);
    RecordingElement element;
    CUserHook hook(1, device_, initWord);
    ASSERT_EQ(Start(hook, element), kNone);
    EXPECT_EQ(hook.RunningCount(kType), 1u);
    board_->ReturnFromSleep();
    ASSERT_TRUE(WaitUntilEnded(hook, kType));
    EXPECT_EQ(hook.ActiveCount(kType), 1u) << "kept until stopped";
    Stop(hook);
    EXPECT_TRUE(element.Deliveries().empty());
    QINT64 restart = -1;
    HostAppInquire(Q_DEFAULT, kRestart, &restart);
    EXPECT_EQ(restart, 0);
  }
  os::SetMessageBoxAnswer({});
  EXPECT_EQ(boxes, std::vector<std::wstring>{L"Please restart your ZOR application.|A return from "
                                             L"sleep was detected.|4144"});
}

// Every thread's events go with it.
TEST_F(HookThreads, DestructionStopsEveryThread) {
  RecordingElement element;
  const uint32_t handles = zortest::HandleCount();
  {
    CUserHook hook(1, device_, 0);
    for (const uint64_t type : {kType, kType, kOtherType})
      ASSERT_EQ(Start(hook, element, type), kNone);
    EXPECT_EQ(hook.ActiveCount(kType), 2u);
    EXPECT_EQ(board_->PendingEventWaits(kType), 2u);
    ASSERT_TRUE(board_->RaiseEvent(kType, Payload(1)));
    ASSERT_TRUE(element.WaitFor(1));
  }
  EXPECT_EQ(board_->PendingEventWaits(kType), 0u);
  EXPECT_EQ(board_->PendingEventWaits(kOtherType), 0u);
  EXPECT_EQ(zortest::HandleCount(), handles);
}

}  // namespace
