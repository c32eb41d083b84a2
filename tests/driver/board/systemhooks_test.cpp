// System hooks of the board through libZOR.so: board events reach the user's
// function with their I/O information, stop when unhooked, and end with the
// system.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/kernel/deviceevent.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"
#include "tests/driver/board/boardfixture.h"
#include "tests/support/errorreports.h"

namespace zor::board {
namespace {

struct SystemEvent {
  QINT64 hook;
  uint64_t boardType;
};
// The three system hooks and the board events that reach them.
constexpr SystemEvent kSystemEvents[] = {
    {2244, 0x20000000}, {2372, 0x40000000}, {0x8B000, 0x21000000}};

struct Seen {
  std::atomic<int> calls{0};
  std::atomic<QINT64> hookType{0};
  std::atomic<QINT64> source{0};
  std::atomic<QINT64> state{0};
  std::string stateError;  // written before calls, read after it
  std::atomic<QINT64> aliasState{0};
  std::string otherError;
  std::atomic<int> priority{0};
};

// The thread's last error, code and first sub-code.
std::string ErrorNow() {
  QINT64 sub = 0;
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_1, &sub);
  return std::to_string(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr)) + "/" + std::to_string(sub);
}

QINT64 OnSystemEvent(QINT64 hookType, QID event, void* user) {
  auto* seen = static_cast<Seen*>(user);
  seen->priority = os::GetThreadPriority(os::GetCurrentThread());
  QINT64 source = 0;
  QINT64 state = 0;
  QsysGetHookInfo(event, 0x81000, &source);
  QsysGetHookInfo(event, 0x8A000, &state);
  seen->stateError = ErrorNow();
  QINT64 alias = 0;
  QsysGetHookInfo(event, 0xA0000000, &alias);  // the state's second name
  seen->aliasState = alias;
  QsysGetHookInfo(event, 12345, &alias);  // a type of no word
  seen->otherError = ErrorNow();
  seen->hookType = hookType;
  seen->source = source;
  seen->state = state;
  ++seen->calls;
  return 0;
}

// What the function saw, whole: its calls, then the last call's hook type, I/O source, I/O state
// (and the error its reading left), the state by its second name, the error of a type of no word.
std::string Text(const Seen& s) {
  return std::to_string(s.calls) + " calls of " + std::to_string(s.hookType) + ": source " +
         std::to_string(s.source) + ", state " + std::to_string(s.state) + " (" + s.stateError +
         "), alias " + std::to_string(s.aliasState) + ", other " + s.otherError;
}

// Throws from its first call on; counts every call.
QINT64 ThrowingHook(QINT64, QID, void* user) {
  auto* seen = static_cast<Seen*>(user);
  if (++seen->calls == 1) throw std::runtime_error("user hook failed");
  return 0;
}

// The thread the test runs on: a report from another one says so.
std::atomic<uint32_t> testThread{0};

// A report whole: code, function, message, both sub-codes with their texts, and its thread.
std::wstring WholeReport() {
  wchar_t function[Q_ERROR_TEXT_SIZE] = {};
  wchar_t message[Q_ERROR_TEXT_SIZE] = {};
  wchar_t reason[Q_ERROR_TEXT_SIZE] = {};
  wchar_t description[Q_ERROR_TEXT_SIZE] = {};
  QINT64 subs[2] = {};
  QappGetError(Q_DEFAULT, Q_CURRENT_FCT, function);
  QappGetError(Q_DEFAULT, Q_MESSAGE, message);
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_1_TEXT, reason);
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_2_TEXT, description);
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_1, &subs[0]);
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_2, &subs[1]);
  const QINT64 code = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  const bool elsewhere = os::GetCurrentThreadId() != testThread;
  return std::to_wstring(code) + L" " + function + L" " + message + L" " +
         std::to_wstring(subs[0]) + L" " + reason + L" " + std::to_wstring(subs[1]) + L" " +
         description + (elsewhere ? L" (another thread)" : L" (the test's thread)");
}

class SystemHooks : public SystemFixture {
 protected:
  static kernel::BoardEventPayload Payload(uint64_t source, uint64_t state) {
    kernel::BoardEventPayload payload{};
    payload.size = kernel::kBoardEventSize;
    payload.ioSource = source;
    payload.ioState = state;
    return payload;
  }
  static void WaitForCalls(const Seen& seen, int calls) {
    for (int i = 0; i < 5000 && seen.calls < calls; ++i) os::Sleep(1);
  }
};

TEST_F(SystemHooks, EachHookGetsItsEventsWithTheirIoWords) {
  for (const SystemEvent& e : kSystemEvents) {
    SCOPED_TRACE(e.hook);
    Seen seen;
    EXPECT_EQ(QsysHookFunction(system_, e.hook, &OnSystemEvent, &seen), 1);
    ASSERT_EQ(ErrorCode(), 0);
    EXPECT_EQ(SimBoard().PendingEventWaits(e.boardType), 1u);
    ASSERT_TRUE(SimBoard().RaiseEvent(e.boardType, Payload(3, 0x5A)));
    WaitForCalls(seen, 1);
    EXPECT_EQ(Text(seen), "1 calls of " + std::to_string(e.hook) +
                              ": source 3, state 90 (0/0), alias 90, other 4359/1");
    QsysHookFunction(system_, e.hook + Q_UNHOOK, &OnSystemEvent, &seen);
    EXPECT_EQ(LastError(), Err(0));
    EXPECT_EQ(SimBoard().PendingEventWaits(e.boardType), 0u);
    EXPECT_FALSE(SimBoard().RaiseEvent(e.boardType, Payload(3, 0x5A))) << "no one waits";
  }
}

// Hook threads run time critical where the process may raise a thread that
// far, and the kernel object of their context says so (kind 136 - 15).
TEST_F(SystemHooks, HookThreadsRunTimeCritical) {
  bool mayRaise = false;
  std::thread([&] {
    mayRaise = os::SetThreadPriority(os::GetCurrentThread(), os::THREAD_PRIORITY_TIME_CRITICAL);
  }).join();
  const size_t before = SimBoard().KernelObjects(121);
  Seen seen;
  QsysHookFunction(system_, 2244, &OnSystemEvent, &seen);
  ASSERT_TRUE(SimBoard().RaiseEvent(0x20000000, Payload(3, 0)));
  WaitForCalls(seen, 1);
  ASSERT_EQ(seen.calls, 1);
  if (mayRaise) {
    EXPECT_EQ(seen.priority, os::THREAD_PRIORITY_TIME_CRITICAL);
    // The function's first command made the thread's context on the system.
    EXPECT_EQ(SimBoard().KernelObjects(121), before + 1);
  } else {
    EXPECT_EQ(seen.priority, os::THREAD_PRIORITY_NORMAL);
  }
  QsysHookFunction(system_, 2244 + Q_UNHOOK, &OnSystemEvent, &seen);
}

TEST_F(SystemHooks, InformationTheEventDoesNotCarry) {
  Seen seen;
  QsysHookFunction(system_, 2244, &OnSystemEvent, &seen);
  ASSERT_TRUE(SimBoard().RaiseEvent(0x20000000, Payload(1, ~uint64_t{0})));
  WaitForCalls(seen, 1);
  // An I/O state of -1 is no state: nothing is written.
  EXPECT_EQ(Text(seen), "1 calls of 2244: source 1, state 0 (4359/2), alias 0, other 4359/1");
  QsysHookFunction(system_, 2244 + Q_UNHOOK, &OnSystemEvent, &seen);
  EXPECT_EQ(QsysHookFunction(system_, 1234, &OnSystemEvent, &seen), 0);
  EXPECT_EQ(LastError(), Err(4305, 1));
}

// The user's function failed, not the hook thread: the failure is reported as a hook error
// from the hook thread, and the next event reaches the function again.
TEST_F(SystemHooks, HookFunctionThatThrowsIsReportedAndTheThreadGoesOn) {
  testThread = os::GetCurrentThreadId();
  zortest::ErrorReports reports(&WholeReport);
  Seen seen;
  ASSERT_EQ(QsysHookFunction(system_, 2244, &ThrowingHook, &seen), 1);
  ASSERT_TRUE(SimBoard().RaiseEvent(0x20000000, Payload(3, 0)));
  for (int i = 0; i < 5000 && reports.Empty(); ++i) os::Sleep(1);
  ASSERT_TRUE(SimBoard().RaiseEvent(0x20000000, Payload(3, 0)));
  WaitForCalls(seen, 2);
  EXPECT_EQ(seen.calls, 2);
  QsysHookFunction(system_, 2244 + Q_UNHOOK, &ThrowingHook, &seen);
  EXPECT_EQ(reports.Take(), (std::vector<std::wstring>{
                                L"4354 Hook function: Hook error: 5 The hook function threw an "
                                L"exception. 6 std::runtime_error: user hook failed (another "
                                L"thread)"}));
  EXPECT_EQ(LastError(), Err(0)) << "the application's thread holds no error";
}

TEST_F(SystemHooks, HookingTwiceKeepsOneThreadAndTheSystemEndsIt) {
  Seen first, second;
  QsysHookFunction(system_, 2372, &OnSystemEvent, &first);
  QsysHookFunction(system_, 2372, &OnSystemEvent, &second);
  EXPECT_EQ(SimBoard().PendingEventWaits(0x40000000), 1u);
  ASSERT_TRUE(SimBoard().RaiseEvent(0x40000000, Payload(0, 0)));
  WaitForCalls(second, 1);
  EXPECT_EQ(second.calls, 1) << "the second hook replaced the first";
  EXPECT_EQ(first.calls, 0);
  QsysHookFunction(system_, 0x8B000, &OnSystemEvent, &first);
  QsysFree(system_);
  system_ = 0;
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(SimBoard().PendingEventWaits(0x40000000), 0u);
  EXPECT_EQ(SimBoard().PendingEventWaits(0x21000000), 0u);
}

}  // namespace
}  // namespace zor::board
