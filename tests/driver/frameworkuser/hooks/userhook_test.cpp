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

using namespace zor::frame;

namespace {

constexpr uint64_t kType = 0x10090002;
constexpr uint64_t kOtherType = 0x100A0002;

// Counts its deliveries and keeps what each one saw.
class RecordingElement : public CBaseHook<HOOK_ELEMENT_INFO> {
 public:
  struct Delivery {
    QID event;
    uint64_t frameCount;
    void* userData;
    uint32_t thread;
    uint64_t eventDataSize;
    double rate;
  };

  int64_t Invoke(void* userData, QID eventId, const HOOK_ELEMENT_INFO& info) override {
    zor::kernel::BoardEventPayload payload;
    std::memcpy(&payload, info.payload, sizeof(payload));
    void* data = nullptr;
    HostInternalInquire(eventId, 10, &data);
    Delivery d{eventId, payload.frameCount, userData, os::GetCurrentThreadId(), 0, 0.0};
    if (data != nullptr) {
      std::memcpy(&d.eventDataSize, data, sizeof(d.eventDataSize));
      std::memcpy(&d.rate, static_cast<uint8_t*>(data) + 232, sizeof(d.rate));
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

zor::kernel::BoardEventPayload Payload(uint64_t frameCount) {
  zor::kernel::BoardEventPayload payload{};
  payload.size = zor::kernel::kBoardEventSize;
  payload.frameCount = frameCount;
  // A rate pair at record offsets 0x158/0x160: 10 / 4.
  const uint64_t pair[2] = {10, 4};
  std::memcpy(reinterpret_cast<uint8_t*>(&payload) + 232, pair, sizeof(pair));
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

  os::Handle device_{};
  boardsim::Board* board_ = nullptr;
  int userData_ = 0;
};

TEST_F(HookThreads, DeliverEachEventWithItsDataOnTheHookThread) {
  RecordingElement element;
  CUserHook hook(1, device_, 0);
  zor::foundation::CError error;
  hook.Start(kType, &userData_, &element, Q_DEFAULT, error);
  ASSERT_EQ(error.errorSet, 0);
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
  ASSERT_TRUE(board_->RaiseEvent(kType, Payload(2)));
  ASSERT_TRUE(board_->RaiseEvent(kType, Payload(3)));
  ASSERT_TRUE(element.WaitFor(3));

  const auto deliveries = element.Deliveries();
  for (size_t i = 0; i < deliveries.size(); ++i) {
    EXPECT_EQ(deliveries[i].frameCount, i + 1);
    EXPECT_EQ(deliveries[i].userData, &userData_);
    EXPECT_NE(deliveries[i].thread, os::GetCurrentThreadId());
    EXPECT_EQ(deliveries[i].eventDataSize, zor::kernel::kBoardEventSize);
    EXPECT_DOUBLE_EQ(deliveries[i].rate, 2.5);
    EXPECT_EQ(deliveries[i].event, deliveries[0].event);
  }
  EXPECT_NE(deliveries[0].event, 0);
  EXPECT_EQ((std::array{inOwnType, inAnyType, inOtherType}), (std::array{true, true, false}));

  hook.Stop(kType, error);
  EXPECT_EQ(hook.ActiveCount(kType), 0u);
  EXPECT_EQ(board_->PendingEventWaits(kType), 0u) << "the pending request was cancelled";
  EXPECT_FALSE(board_->RaiseEvent(kType, Payload(4))) << "nobody watches the type any more";
}

TEST_F(HookThreads, AFunctionThatUnhooksItsOwnTypeParksItsThread) {
  RecordingElement element;
  CUserHook hook(1, device_, 0);
  zor::foundation::CError error;
  hook.Start(kType, nullptr, &element, Q_DEFAULT, error);
  element.action = [&] {
    zor::foundation::CError inner;
    hook.Stop(kType, inner);
  };
  ASSERT_TRUE(board_->RaiseEvent(kType, Payload(1)));
  ASSERT_TRUE(element.WaitFor(1));
  EXPECT_EQ(hook.ActiveCount(kType), 0u);
  // The next start frees the parked thread; the new one delivers.
  RecordingElement second;
  hook.Start(kOtherType, nullptr, &second, Q_DEFAULT, error);
  ASSERT_EQ(error.errorSet, 0);
  ASSERT_TRUE(board_->RaiseEvent(kOtherType, Payload(9)));
  ASSERT_TRUE(second.WaitFor(1));
  EXPECT_EQ(board_->PendingEventWaits(kType), 0u);
}

// An error a driver thread reported, as the application's error hook reads it: the code, the
// function, then each sub-code with its text.
QINT64 CaptureReport(QINT64, QID, void* user) {
  QINT64 code = 0;
  HostGetError(0, Q_CURRENT, &code);
  wchar_t text[Q_ERROR_TEXT_SIZE] = {};
  HostGetError(0, Q_CURRENT_FCT, text);
  std::wstring report = std::to_wstring(code) + L" " + text;
  QINT64 count = 0;
  HostGetError(0, Q_CURRENT_SUB_NB, &count);
  const QINT64 subTypes[] = {Q_CURRENT_SUB_1, Q_CURRENT_SUB_2, Q_CURRENT_SUB_3};
  for (QINT64 i = 0; i < count && i < 3; ++i) {
    QINT64 sub = 0;
    HostGetError(0, subTypes[i], &sub);
    text[0] = L'\0';
    HostGetError(0, Q_ERROR_TEXT | subTypes[i], text);
    report += L" | " + std::to_wstring(sub) + L" " + text;
  }
  static_cast<std::vector<std::wstring>*>(user)->push_back(report);
  return 0;
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
    std::vector<std::wstring> reports;
    HostAppHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, &CaptureReport, &reports);
    boardsim::Fault fault{
        boardsim::FaultKind::kTransportFailure, 0, 0, 0, 0, os::ERROR_GEN_FAILURE, 1};
    if (failure.thrown != nullptr) {
      fault.kind = boardsim::FaultKind::kThrow;
      fault.exception = failure.thrown;
    }
    board_->ArmFault(zor::kernel::kWaitDeviceEvent, fault);
    RecordingElement element;
    CUserHook hook(1, device_, 0);
    zor::foundation::CError error;
    hook.Start(kType, nullptr, &element, Q_DEFAULT, error);
    HostAppHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, &CaptureReport, &reports);
    EXPECT_EQ(error.code, kHookError);
    EXPECT_EQ(error.subCode, kNoHookThread);
    EXPECT_EQ(hook.ActiveCount(kType), 0u);
    EXPECT_EQ(reports, failure.reports);
    // A later start works again.
    zor::foundation::CError second;
    hook.Start(kType, nullptr, &element, Q_DEFAULT, second);
    EXPECT_EQ(second.errorSet, 0);
    EXPECT_EQ(hook.ActiveCount(kType), 1u);
    hook.Stop(kType, second);
  }
}

TEST_F(HookThreads, ADroppedEventIsReportedAndEndsTheThread) {
  std::vector<std::wstring> reports;
  HostAppHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, &CaptureReport, &reports);
  HostAppControl(Q_DEFAULT, 0x41000000, 0);  // no printing
  RecordingElement element;
  CUserHook hook(1, device_, 0);
  zor::foundation::CError error;
  hook.Start(kType, nullptr, &element, Q_DEFAULT, error);
  board_->DropEvent(kType);
  ASSERT_TRUE(WaitUntilEnded(hook, kType));
  hook.Stop(kType, error);
  HostAppHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, &CaptureReport, &reports);
  EXPECT_EQ(reports,
            std::vector<std::wstring>{L"4356 Thread function: | 5 Dropped interrupt event. "
                                      L"| 6 (either the Internal FIFO is full or the "
                                      L"process was not found)."});
  EXPECT_TRUE(element.Deliveries().empty());
  QINT64 current = -1;
  HostGetError(0, 0x10E0000, &current);
  EXPECT_EQ(current, 0) << "the report leaves the thread's own error alone";
}

std::vector<std::wstring>* g_boxes = nullptr;

TEST_F(HookThreads, AReturnFromSleepAsksForARestartUnlessSuppressed) {
  std::vector<std::wstring> boxes;
  g_boxes = &boxes;
  os::SetMessageBoxAnswer([](const std::wstring& text, const std::wstring&, uint32_t) {
    g_boxes->push_back(text);
    return 1;
  });
  for (int64_t initWord : {int64_t{0}, kNoRestartMessage}) {
    RecordingElement element;
    CUserHook hook(1, device_, initWord);
    zor::foundation::CError error;
    hook.Start(kType, nullptr, &element, Q_DEFAULT, error);
    EXPECT_EQ(hook.RunningCount(kType), 1u);
    board_->ReturnFromSleep();
    ASSERT_TRUE(WaitUntilEnded(hook, kType));
    EXPECT_EQ(hook.ActiveCount(kType), 1u) << "kept until stopped";
    hook.Stop(kType, error);
    EXPECT_TRUE(element.Deliveries().empty());
  }
  os::SetMessageBoxAnswer({});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], L"Please restart your ZOR application.");
}

TEST_F(HookThreads, DestructionStopsEveryThread) {
  RecordingElement element;
  {
    CUserHook hook(1, device_, 0);
    zor::foundation::CError error;
    hook.Start(kType, nullptr, &element, Q_DEFAULT, error);
    hook.Start(kType, nullptr, &element, Q_DEFAULT, error);
    hook.Start(kOtherType, nullptr, &element, Q_DEFAULT, error);
    ASSERT_EQ(error.errorSet, 0);
    EXPECT_EQ(hook.ActiveCount(kType), 2u);
    EXPECT_EQ(board_->PendingEventWaits(kType), 2u);
    ASSERT_TRUE(board_->RaiseEvent(kType, Payload(1)));
    ASSERT_TRUE(element.WaitFor(1));
  }
  EXPECT_EQ(board_->PendingEventWaits(kType), 0u);
  EXPECT_EQ(board_->PendingEventWaits(kOtherType), 0u);
}

}  // namespace
