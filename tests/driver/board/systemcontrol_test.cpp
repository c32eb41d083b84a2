// System inquire and control of the board system, its I/O space and the
// road of a type that the kernel leaves to the user-mode layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/boardsim/faults.h"
#include "platform/host/hostservices.h"
#include "platform/os/cpu/processor.h"
#include "tests/driver/board/boardfixture.h"

namespace zor::board {
namespace {

class SystemControlTest : public SystemFixture {
 protected:
  // The board system first, as an application frees them, then the host systems it was given.
  void TearDown() override {
    QsysFree(system_);
    system_ = 0;
    for (QID host : hosts_) QsysFree(host);
    SystemFixture::TearDown();
  }

  QINT64 Inquire(QINT64 type) {
    QINT64 value = -12345;
    QsysInquire(system_, type, &value);
    return value;
  }

  // Threads that command the system, each with an event of its own, until
  // stopped; returns once every one holds its event.
  std::vector<std::thread> CommandFromThreads(int count, const std::atomic<bool>& stop) const {
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
      threads.emplace_back([system = system_, &stop, &ready] {
        QID event = 0;
        QthrAlloc(system, 128, Q_DEFAULT, &event);
        ready.fetch_add(1);
        while (!stop) {
          QINT64 value = 0;
          QsysInquire(system, 2004, &value);
          QINT64 result = 0;
          QthrWait(event, 0x20000000 | 1, &result);
        }
      });
    }
    while (ready.load() < count) std::this_thread::yield();
    return threads;
  }

  // A host system given to the board system, freed after it.
  QID HostSystem(QINT64 number = 0) {
    hosts_.push_back(QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_HOST", number, Q_DEFAULT, nullptr));
    EXPECT_NE(hosts_.back(), 0);
    QsysControl(system_, 2301, hosts_.back());
    return hosts_.back();
  }

  std::vector<QID> hosts_;
};

TEST_F(SystemControlTest, TextAnswersAndTheirLengths) {
  for (const auto& [type, expected] : {std::pair<QINT64, std::wstring>{7702, L"DravionLyn"},
                                       {7703, std::to_wstring(SimBoard().SerialNumber())}}) {
    EXPECT_EQ(Inquire(type + Q_STRING_SIZE), static_cast<QINT64>(expected.size() + 1));
    wchar_t text[64] = {};
    QsysInquire(system_, type, text);
    EXPECT_EQ(std::wstring(text), expected);
  }
}

// The kernel leaves some types to the user-mode layers; its refusal is withdrawn, and the device
// layer answers them (ranges by both ends).
TEST_F(SystemControlTest, NotServedByTheKernelIsAnsweredByTheDeviceLayer) {
  EXPECT_EQ(Inquire(4362), 13952006);
  EXPECT_EQ(LastError(), Err(0));
  QsysControl(system_, 1804, 1);
  EXPECT_EQ(Inquire(1804), 1);
  QsysControl(system_, 1804, Q_DEFAULT);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(Inquire(1804), 2);
  EXPECT_EQ(Inquire(7708 + Q_STRING_SIZE), 260);
  // The driver's log saved under a folder of the test's own, then back to the first one.
  QsysControl(system_, 7708, reinterpret_cast<QINT64>(genicam_.wstring().c_str()));
  QsysControl(system_, 2101, 7);
  EXPECT_TRUE(std::filesystem::exists(genicam_ / "DebugDump7.zim"));
  QsysControl(system_, 7708, reinterpret_cast<QINT64>(L"."));
  EXPECT_EQ(LastError(), Err(0));
}

// The free lands at every point of the other threads' commands in turn, the
// end-of-command check among them; more threads than cores get preempted there.
TEST_F(SystemControlTest, FreesAmidManyThreadsCommandsLeaveNoDanglingContext) {
#if defined(__SANITIZE_THREAD__)
  constexpr int kRounds = 8;  // ThreadSanitizer runs the spinning threads one at a time
#else
  constexpr int kRounds = 120;
#endif
  constexpr int kThreads = 12;
  for (int round = 0; round < kRounds; ++round) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads = CommandFromThreads(kThreads, stop);
    QsysFree(system_);
    stop = true;
    for (std::thread& thread : threads) thread.join();
    system_ = Alloc();
    ASSERT_NE(system_, 0) << "round " << round << ", error " << ErrorCode();
  }
  EXPECT_EQ(Inquire(2004), 4);
}

TEST_F(SystemControlTest, HostSystemGivenFromOutsideOutlivesTheBoardSystem) {
  // None given: no number; one given answers its own.
  EXPECT_EQ(Inquire(2316), -1);
  HostSystem(3);
  EXPECT_EQ(Inquire(2316), 3);
  const QID host = HostSystem();
  EXPECT_EQ(Inquire(2316), 0);
  QsysFree(system_);
  system_ = Alloc();
  QINT64 number = -1;
  QsysInquire(host, 1009, &number);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(number, 0);
}

// How many error states the host keeps saved for this thread.
QINT64 SavedErrorStates() {
  QINT64 token = 0;
  HostInternalInquire(0, Q_SAVE_ERROR_STATE, &token);
  HostInternalControl(0, Q_RESTORE_ERROR_STATE, reinterpret_cast<QINT64>(&token));
  return token - 1;
}

// A type the host takes as a double reaches the host system as the number given, whether the
// application gave an integer or a double.
TEST_F(SystemControlTest, DoubleTypesReachTheHostSystemAsTheNumberGiven) {
  const QID host = HostSystem();
  const QINT64 saved = SavedErrorStates();
  QsysControl(system_, 7300, 5);
  QsysControlDouble(system_, 7301, 6.0);
  EXPECT_EQ(LastError(), Err(0));
  // Asking the host on the way left none of its error states saved.
  EXPECT_EQ(SavedErrorStates(), saved);
  for (const auto& [type, expected] : {std::pair<QINT64, QINT64>{7300, 5}, {7301, 6}}) {
    QINT64 stored = 0;
    QsysInquire(host, type, &stored);
    EXPECT_EQ(stored, expected) << type;
  }
}

TEST_F(SystemControlTest, EveryLayerAnswersItsOwnTypes) {
  struct Answer {
    QINT64 type;
    QINT64 value;
  };
  // The board's own, then from 1012 the device layer's, which the kernel leaves to it.
  const Answer answers[] = {
      {2000, 59},        {4369, 256},   {2034, -9997},      {2113, 1},         {2131, 0},
      {2134, 0x8C00000}, {4376, 1},     {2342, 0x20260101}, {2346, 3},         {4375, 1},
      {0x40000000, 1},   {4517, 0},     {4548, 0},          {2004, 4},         {2006, 0},
      {2104, 0},         {2114, 0},     {2130, 0},          {2014, 0x20000},   {2155, 0x20260101},
      {2345, 3},         {2447, 8192},  {2077, 20},         {1012, Q_DEFAULT}, {2008, 1},
      {2009, 1000},      {2044, -9999}, {2132, 0},          {2378, 0},         {4374, 0},
      {4379, 1},         {4440, 1},     {4500, 1},          {4518, -9999},     {1009, 0},
      {2331, 0},         {2029, 0},     {2138, 0},          {4364, 0},         {4450, 0},
      {4452, 0},         {4465, 0},     {4467, 0},          {2050, 1},         {2329, 1},
      {4380, 1},         {4394, 1},     {4395, 1},          {4398, 1},         {2159, 1000},
      {2045, -9999},     {4453, 0},     {4458, 0},          {4439, 0}};
  for (const Answer& answer : answers) {
    EXPECT_EQ(Inquire(answer.type), answer.value) << "type " << answer.type;
  }
  EXPECT_EQ(Inquire(2093), SimBoard().SerialNumber());
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_NE(Inquire(2024), 0);
  // The device handle under both its types; the thread's last event is another kernel object.
  EXPECT_EQ(Inquire(1016), Inquire(2024));
  EXPECT_NE(Inquire(1019), Inquire(2024));
}

TEST_F(SystemControlTest, TypesNoLayerServesFail) {
  QINT64 value = 0;
  EXPECT_EQ(QsysInquire(system_, 0x84510, &value), 0);
  EXPECT_NE(ErrorCode(), 0);
  QsysControl(system_, 0x81510, 1);
  EXPECT_NE(ErrorCode(), 0);
  // A device-layer error is not withdrawn with the kernel's refusal.
  QsysInquire(system_, 7450, &value);
  EXPECT_EQ(LastError(), Err(4310, 1));
  // That range and each block of 64 types are refused whole, nothing written, though the host
  // system holds a value for each type; the types either side reach the host.
  const QID host = HostSystem();
  const struct {
    QINT64 type;
    bool refused;
  } bounds[] = {{7399, false},    {7400, true},    {7499, true},    {7500, false},
                {0x844FF, false}, {0x84500, true}, {0x8453F, true}, {0x84540, false}};
  for (const auto& bound : bounds) {
    SCOPED_TRACE(bound.type);
    QsysControl(host, bound.type, bound.type + 1);
    EXPECT_EQ(Inquire(bound.type), bound.refused ? -12345 : bound.type + 1);
    EXPECT_EQ(LastError(), bound.refused ? Err(4310, 1) : Err(0));
  }
}

TEST_F(SystemControlTest, KernelErrorOfAControlFailsTheCall) {
  SimBoard().ArmFault(kernel::kSysControl,
                      boardsim::Fault{boardsim::FaultKind::kErrorTriple, 4304, 2});
  // The board takes these and ignores them: they never reach the kernel.
  for (QINT64 ignored : {2027, 2028}) {
    QsysControl(system_, ignored, 1);
    EXPECT_EQ(LastError(), Err(0)) << ignored;
  }
  QsysControl(system_, 5000, 1);
  EXPECT_EQ(LastError(), Err(4304, 2));
}

// A failure nothing below the control expected reaches the application as the control's error;
// the next control works.
TEST_F(SystemControlTest, ExceptionBelowAControlIsItsErrorAndTheNextControlWorks) {
  struct Unknown {};
  const struct {
    std::exception_ptr exception;
    const char* error;
    const wchar_t* description;
  } escapes[] = {
      {std::make_exception_ptr(std::bad_alloc()), "4306/1/0/0", nullptr},
      {std::make_exception_ptr(std::length_error("hostile size")), "4336/5/6/0",
       L"std::length_error: hostile size"},
      {std::make_exception_ptr(std::runtime_error("lost")), "4336/5/6/0",
       L"std::runtime_error: lost"},
      {std::make_exception_ptr(Unknown{}), "4336/5/6/0", nullptr},
  };
  QINT64 value = 1;
  for (const auto& escape : escapes) {
    SCOPED_TRACE(escape.error);
    SimBoard().ArmFault(kernel::kSysControl, boardsim::Fault{.kind = boardsim::FaultKind::kThrow,
                                                             .exception = escape.exception});
    QsysControl(system_, 5000, ++value);
    EXPECT_EQ(LastError(), escape.error);
    EXPECT_EQ(ErrorText(Q_CURRENT_FCT), L"QsysControl");
    if (escape.description != nullptr) {
      EXPECT_EQ(ErrorText(Q_CURRENT_SUB_2_TEXT), escape.description);
    }
    QsysControl(system_, 5000, value);
    EXPECT_EQ(LastError(), Err(0));
    EXPECT_EQ(Inquire(5000), value);
  }
}

// The settings the layers keep: 2301 the device layer's, 5000 and the thread's last event (1019)
// the kernel's, the serial number the I/O space's, the hook thread count (a refused count keeps
// the last; fewer threads than run stop none; as many as the processors, or 16 beyond them, and
// none more; none asked is as many as the processors, at most 16) and the thread time-out, which
// goes to the kernel in milliseconds (the longest whose milliseconds a 64-bit word holds, and a
// second more).
TEST_F(SystemControlTest, ThreadTimeoutGoesToTheKernelInMilliseconds) {
  constexpr QINT64 kLongest = std::numeric_limits<QINT64>::max() / 1000;
  const QINT64 most = std::min<QINT64>(os::GetProcessorCount(), 16);
  ExpectSteps(system_, &QsysControl, &QsysInquire,
              {{2301, 0x7F000001, Err(0), 0x7F000001},
               {5000, 77, Err(0), 77},
               {2093, 424242, Err(0), 424242},
               {2447, 0x5002, Err(0), 4098},
               {2447, 0x5001, Err(0), 4098},
               {2447, 8192, Err(0), 8192},
               {2447, 0x5000 | 0xFFF, Err(4307, 3), 8192},
               {2447, 7, Err(4307, 3), 8192},
               {2447, 0x1000 | (most + 1), Err(4307, 3), 8192},
               {2447, 0x1000 | most, Err(0), 0x1000 | most},
               {2447, Q_DEFAULT, Err(0), 8192},
               {2447, 0x1000, Err(0), 0x1000 | most},
               {2447, 8192, Err(0), 8192},
               {2447, 0x5000 | 17, Err(4307, 3), 8192},
               {2447, 0x5000 | 16, Err(0), 0x1000 | 16},
               {2077, 5, Err(0), 5},
               {2077, -1, Err(0), -1},
               {2077, Q_DEFAULT, Err(0), 20},
               {2077, -2, Err(4307, 3), 20},
               {2077, kLongest, Err(0), kLongest},
               {2077, kLongest + 1, Err(4307, 3), kLongest},
               {1019, 0x33, Err(0), 0x33}});
  // A double is truncated; one beyond any integer saturates, and NaN is refused.
  QsysControlDouble(system_, 2077, 7.9);
  EXPECT_EQ(Inquire(2077), 7);
  for (double refused : {1e300, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN(), -1e300}) {
    QsysControlDouble(system_, 2077, refused);
    EXPECT_EQ(LastError(), Err(4307, 3)) << refused;
    EXPECT_EQ(Inquire(2077), 7) << refused;
  }
}

// The record's 27 words and nothing past them: with no frame yet, the counter frequency and the
// sample's end alone are other than 0.
TEST_F(SystemControlTest, PerformanceRecordIsCopiedWhole) {
  std::vector<uint64_t> words(28, 0xABABABABABABABABu);
  QsysInquire(system_, 4601, words.data());
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_GT(words[2], 0u);
  words[2] = 1;
  std::vector<uint64_t> expected(28, 0);
  expected[0] = 1000000000;
  expected[2] = 1;
  expected[27] = 0xABABABABABABABABu;
  EXPECT_EQ(words, expected);
}

TEST_F(SystemControlTest, IoCommandReadsAndWritesTheBoardsIoSpace) {
  uint32_t serial = 0;
  QsysIoCommand(system_, 3, 1, 120, 4, &serial);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(serial, SimBoard().SerialNumber());
  const uint8_t written[3] = {7, 8, 9};
  QsysIoCommand(system_, 3, 2, 10, 3, const_cast<uint8_t*>(written));
  uint8_t read[3] = {};
  QsysIoCommand(system_, 3, 1, 10, 3, read);
  EXPECT_EQ(std::memcmp(read, written, 3), 0);
  // Outside the I/O space: the board's own error.
  QsysIoCommand(system_, 3, 1, 250, 8, read);
  EXPECT_EQ(LastError(), Err(4300, 2));
}

// What the command cannot carry (a count past 256 or below 0, an address outside 32 bits) does
// nothing and reports nothing; each last carried value reaches the board, which judges the I/O
// space's end.
TEST_F(SystemControlTest, IoCommandRefusesWhatItCannotCarry) {
  constexpr QINT64 kLast32 = 0xFFFFFFFF;
  const struct {
    QINT64 address, count;
    std::string error;
    bool read;
  } rows[] = {{0, 256, Err(0), true},         {0, 257, Err(0), false},
              {0, -1, Err(0), false},         {-1, 4, Err(0), false},
              {300, 0, Err(4300, 2), false},  {kLast32, 1, Err(4300, 2), false},
              {kLast32 + 1, 1, Err(0), false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.address << " " << row.count);
    uint8_t data[300];
    std::memset(data, 0xAB, sizeof(data));
    QsysIoCommand(system_, 3, 1, row.address, row.count, data);
    EXPECT_EQ(LastError(), row.error);
    uint32_t serial = 0;
    std::memcpy(&serial, data + 120, sizeof(serial));
    EXPECT_EQ(serial == SimBoard().SerialNumber(), row.read);
    EXPECT_EQ(data[256], 0xAB);
  }
  uint8_t data[4] = {};
  QsysIoCommand(system_, 2, 1, 0, 4, data);
  EXPECT_EQ(LastError(), Err(4303, 2));
  // Neither a read nor a write: nothing read, nothing written.
  const uint32_t serial = SimBoard().SerialNumber();
  for (QINT64 direction : {0, 3}) {
    uint32_t word = 0xABABABAB;
    QsysIoCommand(system_, 3, direction, 120, 4, &word);
    EXPECT_EQ(LastError(), Err(0)) << direction;
    EXPECT_EQ(word, 0xABABABABu) << direction;
  }
  EXPECT_EQ(Inquire(2093), serial);
}

}  // namespace
}  // namespace zor::board
