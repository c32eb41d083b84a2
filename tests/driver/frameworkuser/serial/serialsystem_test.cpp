// Serial ports of a board system through libZOR.so, as an application uses them. The ports
// are pseudo-terminals that stand in the machine's device folder as USB adapters.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/zor.h"
#include "tests/driver/board/boardfixture.h"
#include "tests/driver/frameworkuser/serial/serialfixture.h"
#include "tests/support/errorreports.h"

namespace zor::frame::testing {
namespace {

constexpr QINT64 kPortCount = 2132;

class SerialSystem : public board::BoardFixture {
 protected:
  void SetUp() override {
    board::BoardFixture::SetUp();
    devices_ = getenv("ZOR_SERIAL_DEVICES");
  }
  void TearDown() override {
    if (system_ != 0) QsysFree(system_);
    terminals_.clear();
    board::BoardFixture::TearDown();
  }
  // Adapters ttyUSB0... (COM101...) in the fixture's device folder, then the system that
  // lists them.
  void Start(size_t adapters) {
    for (size_t i = 0; i < adapters; ++i) {
      terminals_.push_back(std::make_unique<PseudoTerminal>());
      std::filesystem::create_symlink(terminals_.back()->farPath(),
                                      devices_ / ("ttyUSB" + std::to_string(i)));
    }
    system_ = Alloc();
    ASSERT_NE(system_, 0) << "error " << ErrorCode();
  }

  QINT64 Inquire(QINT64 type, QINT64 port = 0) {
    QINT64 answer = -12345;
    QsysInquire(system_, OnPort(type, port), &answer);
    return answer;
  }
  void Control(QINT64 type, QINT64 value, QINT64 port = 0) {
    QsysControl(system_, OnPort(type, port), value);
  }
  // The error of the last call as code and sub-code.
  Codes Error() {
    return {static_cast<uint64_t>(ErrorCode()), ErrorCode() != 0 ? uint64_t(SubCode(1)) : 0};
  }

  std::filesystem::path devices_;
  std::vector<std::unique_ptr<PseudoTerminal>> terminals_;
  QID system_ = 0;
};

TEST_F(SerialSystem, NoSerialDeviceMeansNoPort) {
  Start(0);
  EXPECT_EQ(Inquire(kPortCount), 0);
  EXPECT_EQ(QsysInquire(system_, kSpeed, nullptr), 0);
  EXPECT_EQ(Error(), Codes(4341, 4));
  Control(kSpeed, 9600);
  EXPECT_EQ(Error(), Codes(4341, 4));
}

TEST_F(SerialSystem, SettingsTransfersAndErrors) {
  Start(2);
  EXPECT_EQ(Inquire(kPortCount), 2);
  EXPECT_EQ(Inquire(kPortNumber, 1), 102);
  EXPECT_EQ(Error(), kNoError);

  for (auto [type, value] :
       {std::pair{kSpeed, 256000}, {kDataSize, 7}, {kParity, 2}, {kStopBits, 2}}) {
    Control(type, value, 1);
    EXPECT_EQ(Error(), kNoError) << type;
    EXPECT_EQ(Inquire(type, 1), value) << type;
  }
  Control(kSpeed, 57601, 1);
  EXPECT_EQ(Error(), Codes(4340, 3));
  EXPECT_EQ(Inquire(kSpeed, 1), 256000);
  // Every standard rate is taken.
  for (QINT64 rate : {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600,
                      115200, 128000, 230400, 460800, 921600, 256000}) {
    Control(kSpeed, rate, 1);
    EXPECT_EQ(Inquire(kSpeed, 1), rate);
  }
  EXPECT_EQ(Error(), kNoError);

  Control(kWrite, Address("AT\r\n\0"), 1);
  EXPECT_EQ(Inquire(kWriteComplete, 1), 4);
  EXPECT_EQ(terminals_[1]->Receive(4), "AT\r\n");
  Control(kDelimiter, '\n', 1);
  terminals_[1]->Send("OK\r\nrest");
  char line[16] = {};
  Control(kRead, Address(line), 1);
  EXPECT_EQ(Inquire(kReadComplete, 1), 3);
  EXPECT_STREQ(line, "OK\r\n");
  EXPECT_TRUE(Eventually([&] { return Inquire(kBytesPending, 1) == 4; }));
  Control(kReadLength, 4, 1);
  Control(kRead, Address(line), 1);
  EXPECT_EQ(Inquire(kReadComplete, 1), 4);
  EXPECT_EQ(std::string(line, 4), "rest");

  EXPECT_EQ(QsysInquire(system_, OnPort(kWriteByte, 1), nullptr), 0);
  EXPECT_EQ(Error(), Codes(4310, 1));
  Control(4715, 0, 1);
  EXPECT_EQ(Error(), Codes(4307, 2));
  Control(kWriteLength, 0, 2);
  EXPECT_EQ(Error(), Codes(4339, 1));

  // Closed and opened again, the port starts from its defaults.
  Control(kClose, 0, 1);
  EXPECT_EQ(Error(), kNoError);
  EXPECT_EQ(Inquire(kSpeed, 1), 9600);
}

struct Arrivals {
  std::atomic<int> calls{0};
  std::atomic<QINT64> lastType{0};
  std::atomic<QID> lastEvent{-1};

  static QINT64 Hook(QINT64 type, QID event, void* user) {
    auto* self = static_cast<Arrivals*>(user);
    self->lastType = type;
    self->lastEvent = event;
    ++self->calls;
    return 0;
  }
  // Counts, then fails.
  static QINT64 Throw(QINT64 type, QID event, void* user) {
    Hook(type, event, user);
    throw std::runtime_error("the line is garbled");
  }
};

TEST_F(SerialSystem, TheReceiveHookRunsWhenCharactersArrive) {
  Start(2);
  Arrivals arrivals;
  EXPECT_EQ(QsysHookFunction(system_, OnPort(17, 1), &Arrivals::Hook, &arrivals), 1);
  EXPECT_EQ(Error(), kNoError);
  terminals_[1]->Send("x");
  ASSERT_TRUE(Eventually([&] { return arrivals.calls > 0; }));
  EXPECT_EQ(arrivals.lastType, 17);
  EXPECT_EQ(arrivals.lastEvent, 0);

  QsysHookFunction(system_, OnPort(17, 1) | 0x4000000, nullptr, nullptr);
  const int unhooked = arrivals.calls;
  Arrivals later;
  QsysHookFunction(system_, OnPort(17, 1), &Arrivals::Hook, &later);
  terminals_[1]->Send("y");
  ASSERT_TRUE(Eventually([&] { return later.calls > 0; }));
  EXPECT_EQ(arrivals.calls, unhooked);

  EXPECT_EQ(QsysHookFunction(system_, OnPort(17, 7), &Arrivals::Hook, &later), 0);
  EXPECT_EQ(Error(), Codes(4339, 1));

  // A hook that throws is the application's hook error, told from the port's receive thread,
  // which goes on; closing the port still ends the thread.
  zortest::ErrorReports reports;
  const size_t threads = ThreadCount();
  Arrivals throwing;
  QsysHookFunction(system_, OnPort(17, 1), &Arrivals::Throw, &throwing);
  terminals_[1]->Send("z");
  ASSERT_TRUE(Eventually([&] { return !reports.Empty(); }));
  EXPECT_EQ(
      reports.Take(),
      (std::vector<std::wstring>{L"4354 Hook function: std::runtime_error: the line is garbled"}));
  EXPECT_EQ(Error(), kNoError) << "the application's thread holds no error";
  const int calls = throwing.calls;
  terminals_[1]->Send("w");
  EXPECT_TRUE(Eventually([&] { return throwing.calls > calls; }));
  Control(kClose, 0, 1);
  EXPECT_EQ(Error(), kNoError);
  // The port's I/O thread and its receive thread.
  EXPECT_TRUE(Eventually([&] { return ThreadCount() == threads - 2; }));
}

TEST_F(SerialSystem, TwoPortsEchoAMegabyteEachWhileOtherThreadsAsk) {
  constexpr size_t kTotal = 1 << 20;
  constexpr QINT64 kChunk = 4096;
  Start(2);
  Echo first(*terminals_[0]);
  Echo second(*terminals_[1]);
  std::vector<std::vector<uint8_t>> sent(2, std::vector<uint8_t>(kTotal));
  std::vector<std::vector<uint8_t>> back(2, std::vector<uint8_t>(kTotal));
  std::mt19937 generator(7);
  for (auto& data : sent) {
    for (auto& byte : data) byte = static_cast<uint8_t>(generator());
  }
  std::atomic<bool> done{false};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (QINT64 port : {0, 1}) {
    threads.emplace_back([&, port] {
      Control(kSpeed, 921600, port);
      Control(kWriteLength, kChunk, port);
      Control(kReadLength, kChunk, port);
      for (size_t at = 0; at < kTotal; at += kChunk) {
        Control(kRead, Address(back[port].data() + at), port);
        Control(kWrite, Address(sent[port].data() + at), port);
        if (Inquire(kWriteComplete, port) != kChunk || Inquire(kReadComplete, port) != kChunk) {
          ++failures;
          return;
        }
      }
    });
    threads.emplace_back([&, port] {
      while (!done) {
        if (Inquire(kPortNumber, port) != 101 + port || Inquire(kBytesPending, port) < 0 ||
            Inquire(kSpeed, port) < 0) {
          ++failures;
        }
      }
    });
  }
  threads[0].join();
  threads[2].join();
  done = true;
  threads[1].join();
  threads[3].join();
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(back[0] == sent[0]);
  EXPECT_TRUE(back[1] == sent[1]);
}

}  // namespace
}  // namespace zor::frame::testing
