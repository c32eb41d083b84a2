#include "driver/frameworkuser/serial/uartreceiver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/os/sync/thread.h"
#include "tests/driver/frameworkuser/serial/serialfixture.h"
#include "tests/driver/frameworkuser/support/handlecount.h"

namespace zor::frame::testing {
namespace {

constexpr int64_t kHook = 17;
constexpr int64_t kUnhook = 17 | 0x4000000;

struct HookCalls {
  std::atomic<int> count{0};

  static int64_t Record(int64_t, int64_t, void* user) {
    ++static_cast<HookCalls*>(user)->count;
    return 0;
  }
};

// Sends the next character itself on its first call and lets the port take it in before it
// returns: that character must call the hook again.
struct ArrivalDuringTheHook {
  PseudoTerminal* far = nullptr;
  std::atomic<int> calls{0};

  static int64_t Run(int64_t, int64_t, void* user) {
    auto* self = static_cast<ArrivalDuringTheHook*>(user);
    if (self->calls++ == 0) {
      self->far->Send("c");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
  }
};

using SerialHooks = SerialFixture;

// Hooking, unhooking and replacing a hook are tested through the system (serialsystem_test).
TEST_F(SerialHooks, ACharacterArrivingDuringTheHookCallsItAgain) {
  ArrivalDuringTheHook third;
  third.far = &Far();
  ASSERT_EQ(CodesOf(manager_->Hook(kHook, &ArrivalDuringTheHook::Run, &third)), kNoError);
  Far().Send("b");
  EXPECT_TRUE(Eventually([&] { return third.calls == 2; }));
}

// After the unhook a character calls nothing: given time, the count stays.
TEST_F(SerialHooks, AnUnhookedPortCallsNothing) {
  HookCalls calls;
  ASSERT_EQ(CodesOf(manager_->Hook(kHook, &HookCalls::Record, &calls)), kNoError);
  Far().Send("a");
  ASSERT_TRUE(Eventually([&] { return calls.count == 1; }));
  ASSERT_EQ(CodesOf(manager_->Hook(kUnhook, &HookCalls::Record, &calls)), kNoError);
  Far().Send("b");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(calls.count, 1);
}

// Destroying the manager ends the receive threads of every hooked port.
TEST_F(SerialHooks, HookOfAPortAddressedInBits16To23) {
  const size_t before = ThreadCount();
  terminals_.clear();
  MakePorts(3);
  HookCalls calls;
  ASSERT_EQ(CodesOf(manager_->Hook(OnPort(kHook, 2), &HookCalls::Record, &calls)), kNoError);
  Far(0).Send("x");
  Far(2).Send("y");
  ASSERT_TRUE(Eventually([&] { return calls.count > 0; }));
  EXPECT_EQ(Ask(kBytesPending, 2), 1);
  EXPECT_EQ(CodesOf(manager_->Hook(OnPort(kHook, 3), &HookCalls::Record, &calls)), Codes(4339, 1));
  ASSERT_EQ(CodesOf(manager_->Hook(kHook, &HookCalls::Record, &calls)), kNoError);
  manager_.reset();
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }));
}

TEST_F(SerialHooks, ClosingStopsTheReceiveThreadAndOpeningStartsOne) {
  EXPECT_TRUE(UartReceiver().Finished()) << "a receiver never started has no thread to wait for";
  HookCalls calls;
  const size_t before = ThreadCount();
  const uint32_t handles = zortest::HandleCount();
  ASSERT_EQ(CodesOf(manager_->Hook(kHook, &HookCalls::Record, &calls)), kNoError);
  // The port's I/O thread and its receive thread.
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == before + 2; }));
  const UartPortRecord& record = manager_->GetPort(0);
  ASSERT_EQ(Control(kClose, 0), kNoError);
  // Outside a hook call the close waits for the thread: none is left to wait for later.
  EXPECT_TRUE(record.receiver_ == nullptr && record.stoppedReceivers_.empty());
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }));

  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(Control(kSpeed, 9600), kNoError);
    Far().Send("r");
    ASSERT_TRUE(Eventually([&] { return calls.count > round; }));
    ASSERT_EQ(Control(kClose, 0), kNoError);
  }
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }));
  // Their events and the port's handles went with them.
  EXPECT_TRUE(Eventually([&] { return zortest::HandleCount() == handles; }))
      << zortest::HandleCount() - handles;
}

// Reads what arrived and closes and reopens its own port from inside the hook.
struct SelfServingHook {
  CUartManager* manager = nullptr;
  std::atomic<int> calls{0};
  std::atomic<int> failures{0};

  static int64_t Run(int64_t, int64_t, void* user) {
    auto* self = static_cast<SelfServingHook*>(user);
    uint8_t line[8];
    CUartManager& manager = *self->manager;
    if (manager.Control(kReadLength, 1).errorSet != 0 ||
        manager.Control(kRead, Address(line)).errorSet != 0 ||
        manager.Control(kClose, 0).errorSet != 0 || manager.Control(kSpeed, 9600).errorSet != 0) {
      ++self->failures;
    }
    ++self->calls;
    return 0;
  }
};

TEST_F(SerialHooks, AHookMayUseCloseAndReopenItsOwnPort) {
  SelfServingHook hook;
  hook.manager = manager_.get();
  const size_t before = ThreadCount();
  ASSERT_EQ(CodesOf(manager_->Hook(kHook, &SelfServingHook::Run, &hook)), kNoError);
  for (int round = 1; round <= 3; ++round) {
    Far().Send("q");
    ASSERT_TRUE(Eventually([&] { return hook.calls >= round; }))
        << hook.failures << " calls of the hook failed";
  }
  EXPECT_EQ(hook.failures, 0);
  ASSERT_EQ(CodesOf(manager_->Hook(kUnhook, nullptr, nullptr)), kNoError);
  manager_.reset();
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }));
}

TEST_F(SerialHooks, AHungUpLineEndsAWaitingReadWithAnError) {
  const size_t before = ThreadCount();
  ASSERT_EQ(Control(kTimeout, 0), kNoError);  // reads wait without end
  ASSERT_EQ(Control(kReadLength, 8), kNoError);
  uint8_t data[8] = {};
  ASSERT_EQ(Control(kRead, Address(data)), kNoError);
  Far().HangUp();
  EXPECT_EQ(Inquire(kReadComplete, nullptr), Codes(4339, 4));
  uint8_t byte = 0;
  EXPECT_EQ(Control(kReadByte, Address(&byte)), Codes(4339, 4));
  EXPECT_EQ(Control(kWriteByte, 'x'), Codes(4340, 1));
  manager_.reset();
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }));
}

}  // namespace
}  // namespace zor::frame::testing
