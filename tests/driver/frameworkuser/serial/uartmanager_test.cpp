#include "driver/frameworkuser/serial/uartmanager.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "platform/os/serial/serial.h"
#include "tests/driver/frameworkuser/serial/serialfixture.h"

namespace zor::frame::testing {
namespace {

using SerialPorts = SerialFixture;

TEST(SerialPortList, EveryTypeFailsWithNoPortsAndTheCountIsZero) {
  CUartManager manager(std::vector<std::wstring>{});
  EXPECT_EQ(manager.PortCount(), 0u);
  for (int64_t type = 4701; type <= 4725; ++type) {
    int64_t answer = 0;
    EXPECT_EQ(CodesOf(manager.Inquire(type, &answer)), Codes(4341, 4)) << type;
    EXPECT_EQ(CodesOf(manager.Control(type, 0)), Codes(4341, 4)) << type;
  }
  EXPECT_EQ(CodesOf(manager.Hook(17, nullptr, nullptr)), Codes(4341, 4));
}

TEST(SerialPortList, KeepsAtMost256PortsInTheGivenOrder) {
  std::vector<std::wstring> names;
  for (int i = 1; i <= 300; ++i) names.push_back(L"COM" + std::to_wstring(i));
  CUartManager manager(names);
  EXPECT_EQ(manager.PortCount(), 256u);
  EXPECT_FALSE(manager.IsOpenedPort(255));
  EXPECT_FALSE(manager.IsOpenedPort(kMaxUartPorts));
}

TEST(SerialTypes, TellSerialTypesAndHooksFromOthers) {
  for (int64_t type : {4701, 4725 + (255 << 16), 4715}) EXPECT_TRUE(IsSerialType(type)) << type;
  for (int64_t type : {4700, 4726 + (3 << 16), 4701 + (1 << 24)}) {
    EXPECT_FALSE(IsSerialType(type)) << type;
  }
  for (int64_t type : {17 + (5 << 16), 17 + 0x4000000}) EXPECT_TRUE(IsSerialHookType(type));
  for (int64_t type : {18, 17 + 0x1000000}) EXPECT_FALSE(IsSerialHookType(type)) << type;
}

TEST_F(SerialPorts, OpeningErrors) {
  EXPECT_EQ(Thrown([&] { manager_->GetPort(256); }), Codes(4339, 1));
  // Each index has its own lock up to the last; past it there is none.
  EXPECT_TRUE(manager_->LockPort(kMaxUartPorts - 1).owns_lock());
  EXPECT_FALSE(manager_->LockPort(kMaxUartPorts).owns_lock());
  // An index equal to the list size.
  int64_t answer = 0;
  EXPECT_EQ(Inquire(kSpeed, &answer, 1), Codes(4339, 1));

  UartPortRecord& record = manager_->GetPort(0);
  EXPECT_EQ(Thrown([&] { manager_->OpenPort(0); }), Codes(4339, 2));
  EXPECT_TRUE(record.IsOpen());
  manager_->ClosePort(record);
  EXPECT_EQ(Thrown([&] { manager_->ClosePort(record); }), Codes(4340, 2));

  os::SetSerialPortPath(L"COM49", "/nonexistent/tty");
  CUartManager missing({L"COM49"});
  EXPECT_EQ(CodesOf(missing.Control(kSpeed, 9600)), Codes(4339, 3));
  os::SetSerialPortPath(L"COM49", "");
}

TEST_F(SerialPorts, RefusedTypesAndInquiriesThatCloseWhatTheyOpened) {
  UartPortRecord& record = manager_->GetPort(0);
  manager_->ClosePort(record);
  int64_t answer = 77;
  EXPECT_EQ(Inquire(kWriteByte, &answer), Codes(4310, 1));
  EXPECT_EQ(answer, 77);
  EXPECT_EQ(Inquire(4715, &answer), Codes(4310, 1));
  EXPECT_FALSE(record.IsOpen());
  EXPECT_EQ(Ask(kPortNumber), 41);
  EXPECT_EQ(Ask(kBytesPending), 0);
  EXPECT_FALSE(record.IsOpen());

  EXPECT_EQ(Control(4715, 0), Codes(4307, 2));
  EXPECT_EQ(Control(kBytesPending, 0), Codes(4307, 2));
  EXPECT_EQ(Control(kPortNumber, 0), Codes(4307, 2));
  EXPECT_TRUE(record.IsOpen());
  // An inquiry of an open port leaves it open.
  EXPECT_EQ(Ask(kPortNumber), 41);
  EXPECT_TRUE(record.IsOpen());

  // The close control opens a closed port and closes it.
  EXPECT_EQ(Control(kClose, 0), kNoError);
  EXPECT_FALSE(record.IsOpen());
  EXPECT_EQ(Control(kClose, 0), kNoError);
  EXPECT_FALSE(record.IsOpen());
  EXPECT_EQ(Control(kSpeed, 19200), kNoError);
  EXPECT_TRUE(record.IsOpen());
}

TEST_F(SerialPorts, CloseIsRefusedWhileAnotherOperationHoldsThePort) {
  UartPortRecord& record = manager_->GetPort(0);
  ASSERT_EQ(Control(kTimeout, 0), kNoError);  // reads wait without end
  uint8_t line[8] = {};
  std::thread reader([&] { manager_->Read(record, line); });
  ASSERT_TRUE(Eventually([&] { return record.useCount_.load() > 0; }));
  EXPECT_EQ(Thrown([&] { manager_->ClosePort(record); }), Codes(4340, 4));
  Far().Send(std::string(1, '\0'));
  reader.join();
  EXPECT_TRUE(record.IsOpen());
  manager_->ClosePort(record);
  EXPECT_FALSE(record.IsOpen());
}

TEST_F(SerialPorts, SettingsTheirDefaultsAndRefusals) {
  for (const auto& [type, value] :
       std::vector<std::pair<int64_t, int64_t>>{{kSpeed, 9600},
                                                {kDataSize, 8},
                                                {kParity, kUartNoParity},
                                                {kStopBits, 1},
                                                {kTimeout, 50},
                                                {kDelimiter, 0},
                                                {kReadLength, kUartDefault},
                                                {kWriteLength, kDefaultTransferLength},
                                                {kReadMaxLength, kDefaultTransferLength},
                                                {kPortKind, 0},
                                                {kPortNumber, 41}}) {
    EXPECT_EQ(Ask(type), value) << "default of " << type;
  }
  // A control, its answer, and the setting read back after it.
  const Codes refused(4340, 3);
  const struct {
    int64_t type, value;
    Codes answer;
    int64_t after;
  } steps[] = {
      {kSpeed, 110, kNoError, 110},
      {kSpeed, 57600, kNoError, 57600},
      {kSpeed, 128000, kNoError, 128000},
      {kSpeed, 256000, kNoError, 256000},
      {kSpeed, 921600, kNoError, 921600},
      {kSpeed, 57601, refused, 921600},
      {kSpeed, 0, refused, 921600},
      {kSpeed, kUartDefault, kNoError, 14400},
      {kDataSize, 7, kNoError, 7},
      {kDataSize, kUartDefault, kNoError, 8},
      {kDataSize, 6, refused, 8},
      {kParity, 1, kNoError, 1},
      {kParity, 2, kNoError, 2},
      {kParity, kUartNoParity, kNoError, kUartNoParity},
      {kParity, 2, kNoError, 2},
      {kParity, kUartDefault, kNoError, kUartNoParity},
      {kParity, 3, refused, kUartNoParity},
      {kStopBits, 2, kNoError, 2},
      {kStopBits, kUartDefault, kNoError, 1},
      {kStopBits, 3, refused, 1},
      {kReadLength, 12, kNoError, 12},
      {kReadLength, kUartDefault, kNoError, kUartDefault},
      {kReadLength, 5, kNoError, 5},
      {kWriteLength, 9, kNoError, 9},
      {kWriteLength, kUartDefault, kNoError, 9},
      // Lengths are 32-bit counts: nothing is cut down to fit.
      {kReadLength, -1, refused, 5},
      {kWriteLength, int64_t{1} << 32, refused, 9},
      {kReadMaxLength, -5, refused, kDefaultTransferLength},
      {kReadMaxLength, 0xFFFFFFFF, kNoError, 0xFFFFFFFF},
      {kDelimiter, 0x1234, kNoError, 0x34},
      {kDelimiter, kUartDefault, kNoError, 0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(::testing::Message() << step.type << " := " << step.value);
    EXPECT_EQ(Control(step.type, step.value), step.answer);
    EXPECT_EQ(Ask(step.type), step.after);
  }

  // The time-out per byte is the port's, for reads and writes alike; out of range is the longest.
  for (const auto& [perByte, kept] : std::vector<std::pair<int64_t, uint32_t>>{
           {7, 7}, {-2, 0xFFFFFFFF}, {int64_t{1} << 32, 0xFFFFFFFF}}) {
    EXPECT_EQ(Control(kTimeout, perByte), kNoError);
    EXPECT_EQ(Ask(kTimeout), kept) << perByte;
    os::COMMTIMEOUTS port;
    ASSERT_TRUE(os::GetCommTimeouts(manager_->GetPort(0).port_, &port));
    EXPECT_EQ(port.ReadTotalTimeoutMultiplier, kept);
    EXPECT_EQ(port.WriteTotalTimeoutMultiplier, kept);
    EXPECT_EQ(
        port.ReadIntervalTimeout + port.ReadTotalTimeoutConstant + port.WriteTotalTimeoutConstant,
        0u);
  }
  EXPECT_EQ(Control(kTimeout, kUartDefault), kNoError);
  EXPECT_EQ(Ask(kTimeout), kUartDefault);
}

// The number needs COM in the name and takes at most seven digits.
TEST(SerialPortNumber, TakesAtMostSevenDigits) {
  const std::tuple<const wchar_t*, const wchar_t*, Codes, int64_t> cases[] = {
      {L"COM3", L"COM3", kNoError, 3},
      {L"COM1234567", L"COM1234567", kNoError, 1234567},
      {L"COM123456789", L"COM123456789", kNoError, 1234567},
      {L"COM48", L"com48", Codes(4341, 1), 0}};
  for (const auto& [terminal, name, codes, number] : cases) {
    PseudoTerminal far(terminal);
    CUartManager manager({name});
    int64_t answer = 0;
    EXPECT_EQ(CodesOf(manager.Inquire(kPortNumber, &answer)), codes) << name;
    EXPECT_EQ(answer, number) << name;
  }
}

}  // namespace
}  // namespace zor::frame::testing
