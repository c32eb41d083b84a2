#include "platform/os/serial/serial.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/device/device_file.h"
#include "platform/os/registry/registry.h"
#include "platform/os/serial/port_core.h"
#include "platform/os/serial/port_paths.h"
#include "platform/os/serial/serial_port.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/os/refused.h"
#include "tests/support/processfacts.h"

namespace os {
namespace {

using Clock = std::chrono::steady_clock;

// Processor time the whole process has used, in seconds.
double ProcessorSeconds() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// COM7 opens the far side of a pseudo-terminal; the test plays the other end.
class SerialPorts : public testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    SetSerialPortPath(L"COM7", ptsname(master_));
    port_ = CreateFile(L"\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
    DCB dcb;
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.BaudRate = 9600;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    overlapped_.hEvent = CreateEvent(true, false);
  }
  void TearDown() override {
    CloseHandle(port_);
    CloseHandle(overlapped_.hEvent);
    close(master_);
    SetSerialPortPath(L"COM7", "");
    SetSerialPortPath(L"COM8", "");
  }

  std::string ReadMaster(size_t count) {
    std::string text;
    while (text.size() < count) {
      pollfd fd{master_, POLLIN, 0};
      if (poll(&fd, 1, 2000) <= 0) break;
      char chunk[64];
      ssize_t got = read(master_, chunk, std::min(sizeof(chunk), count - text.size()));
      if (got <= 0) break;
      text.append(chunk, got);
    }
    return text;
  }
  void WriteMaster(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  int master_ = -1;
  Handle port_{};
  Overlapped overlapped_;
};

// The terminal settings of a pseudo-terminal's far side, as the kernel holds them.
termios2 FarTerminal(int master) {
  termios2 settings = {};
  const int far = open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(far, 0);
  EXPECT_EQ(ioctl(far, TCGETS2, &settings), 0);
  close(far);
  return settings;
}

// Whether a transfer just started completes within the time given; one that does not is
// purged.
bool Finishes(Handle port, Overlapped& overlapped, bool done, uint32_t milliseconds,
              uint32_t* bytes) {
  if (!done && GetLastError() != ERROR_IO_PENDING) return false;
  if (!done && WaitForSingleObject(overlapped.hEvent, milliseconds) != WAIT_OBJECT_0) {
    PurgeComm(port, PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR);
    return false;
  }
  return GetOverlappedResult(port, &overlapped, bytes, true);
}

TEST_F(SerialPorts, RoundTripOverAPseudoTerminal) {
  uint32_t bytes = 0;
  EXPECT_TRUE(WriteFile(port_, "ping", 4, &bytes, &overlapped_) ||
              GetLastError() == ERROR_IO_PENDING);
  ASSERT_TRUE(GetOverlappedResult(port_, &overlapped_, &bytes, true));
  EXPECT_EQ(std::to_string(bytes) + ":" + ReadMaster(4), "4:ping");

  char reply[4] = {};
  if (!ReadFile(port_, reply, 4, &bytes, &overlapped_)) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }
  WriteMaster("po");
  WriteMaster("ng");
  ASSERT_TRUE(GetOverlappedResult(port_, &overlapped_, &bytes, true));
  EXPECT_EQ(std::to_string(bytes) + ":" + std::string(reply, 4), "4:pong");
}

TEST_F(SerialPorts, LineSettingsIncludingNonStandardRates) {
  DCB dcb;
  ASSERT_TRUE(GetCommState(port_, &dcb));
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);  // as the fresh terminal was opened
  dcb.BaudRate = 250000;
  dcb.ByteSize = 7;
  dcb.Parity = EVENPARITY;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fRtsControl = RTS_CONTROL_TOGGLE;
  ASSERT_TRUE(SetCommState(port_, &dcb));
  DCB read;
  ASSERT_TRUE(GetCommState(port_, &read));
  EXPECT_EQ(read.BaudRate, 250000u);
  EXPECT_EQ(read.ByteSize, 7);
  EXPECT_EQ(read.Parity, EVENPARITY);
  EXPECT_EQ(read.StopBits, TWOSTOPBITS);
  EXPECT_EQ(read.fRtsControl, RTS_CONTROL_TOGGLE);
  for (auto change :
       {+[](DCB& d) { d.ByteSize = 9; }, +[](DCB& d) { d.Parity = 7; },
        +[](DCB& d) { d.BaudRate = 0; }, +[](DCB& d) { d.StopBits = ONE5STOPBITS; }}) {
    DCB bad = read;
    change(bad);
    Refused(!SetCommState(port_, &bad), ERROR_INVALID_PARAMETER);
  }
  DCB kept;
  GetCommState(port_, &kept);
  EXPECT_EQ(kept.ByteSize, 7);
}

TEST_F(SerialPorts, ReadTimeOutReturnsWhatArrived) {
  COMMTIMEOUTS timeouts{0, 5, 20, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
  WriteMaster("ab");
  char buffer[8];
  uint32_t bytes = 0;
  if (!ReadFile(port_, buffer, 8, &bytes, &overlapped_)) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(GetOverlappedResult(port_, &overlapped_, &bytes, true));
  }
  EXPECT_EQ(std::to_string(bytes) + ":" + std::string(buffer, 2), "2:ab");
}

TEST_F(SerialPorts, CharacterEventWaitsWithoutPollingAndCountsPendingBytes) {
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
  uint32_t events = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &events, &overlapped_));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 20), WAIT_TIMEOUT);
  WriteMaster("xyz");
  ASSERT_EQ(WaitForSingleObject(overlapped_.hEvent, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(events, EV_RXCHAR);

  SERIAL_STATUS status;
  Overlapped query;
  query.hEvent = CreateEvent(true, false);
  uint32_t bytes = 0;
  if (!DeviceIoControl(port_, IOCTL_SERIAL_GET_COMMSTATUS, nullptr, 0, &status, sizeof(status),
                       &bytes, &query)) {
    ASSERT_TRUE(GetOverlappedResult(port_, &query, &bytes, true));
  }
  EXPECT_EQ(bytes, sizeof(status));
  EXPECT_EQ(status.AmountInInQueue, 3u);
  CloseHandle(query.hEvent);

  // Unread characters are no new event: a fresh wait stays pending.
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
  events = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &events, &overlapped_));
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 20), WAIT_TIMEOUT);
  WriteMaster("w");
  ASSERT_EQ(WaitForSingleObject(overlapped_.hEvent, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(events, EV_RXCHAR);

  // Beside a running wait: a second wait, a short mask and replies with no room are refused.
  events = 99;
  ASSERT_FALSE(WaitCommEvent(port_, &events, &overlapped_));
  Overlapped extra;
  extra.hEvent = CreateEvent(true, false);
  uint32_t other = 0;
  const uint32_t mask = EV_RXCHAR;
  const std::pair<std::function<bool()>, uint32_t> refused[] = {
      {[&] { return WaitCommEvent(port_, &other, &extra); }, ERROR_INVALID_PARAMETER},
      {[&] {
         return DeviceIoControl(port_, IOCTL_SERIAL_GET_COMMSTATUS, nullptr, 0, &status, 4, &bytes,
                                &extra);
       },
       ERROR_INSUFFICIENT_BUFFER},
      {[&] {
         return DeviceIoControl(port_, IOCTL_SERIAL_SET_WAIT_MASK, &mask, 2, nullptr, 0, &bytes,
                                &extra);
       },
       ERROR_INVALID_PARAMETER},
      {[&] {
         return DeviceIoControl(port_, IOCTL_SERIAL_WAIT_ON_MASK, nullptr, 0, &other, 2, &bytes,
                                &extra);
       },
       ERROR_INSUFFICIENT_BUFFER}};
  for (size_t i = 0; i < std::size(refused); ++i) {
    SCOPED_TRACE(i);
    Refused(!refused[i].first(), refused[i].second);
  }
  // A new mask ends the running wait with no events; without a mask there is nothing to wait for.
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(DeviceIoControl(port_, IOCTL_SERIAL_SET_WAIT_MASK, &mask, sizeof(mask), nullptr, 0,
                              &bytes, &extra));
  ASSERT_EQ(WaitForSingleObject(overlapped_.hEvent, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(events, 0u);
  ASSERT_TRUE(SetCommMask(port_, 0));
  Refused(!WaitCommEvent(port_, &other, &extra), ERROR_INVALID_PARAMETER);
  CloseHandle(extra.hEvent);
}

TEST_F(SerialPorts, PurgeAbortsPendingReadsAndClearsInput) {
  char buffer[4];
  ASSERT_FALSE(ReadFile(port_, buffer, 4, nullptr, &overlapped_));
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR));
  uint32_t bytes = 0;
  Refused(!GetOverlappedResult(port_, &overlapped_, &bytes, true), ERROR_OPERATION_ABORTED);
  EXPECT_FALSE(PurgeComm(port_, 0x100));
}

TEST_F(SerialPorts, InjectedLineErrorsAreReportedOnce) {
  ASSERT_TRUE(InjectCommErrors(port_, CE_FRAME | CE_RXPARITY));
  uint32_t errors = 0;
  COMSTAT status;
  ASSERT_TRUE(ClearCommError(port_, &errors, &status));
  EXPECT_EQ(errors, CE_FRAME | CE_RXPARITY);
  ASSERT_TRUE(ClearCommError(port_, &errors, nullptr));
  EXPECT_EQ(errors, 0u);
}

TEST_F(SerialPorts, HungUpLineLeavesThePortIdle) {
  close(master_);
  master_ = -1;
  Sleep(20);
  const double before = ProcessorSeconds();
  Sleep(200);
  // An I/O thread that kept polling the dead line would burn all of it.
  EXPECT_LT(ProcessorSeconds() - before, 0.1);
  COMMTIMEOUTS immediate{0xFFFFFFFF, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &immediate));
  char buffer[4];
  uint32_t bytes = 9;
  ASSERT_TRUE(ReadFile(port_, buffer, 4, &bytes, nullptr));
  EXPECT_EQ(bytes, 0u);
}

TEST_F(SerialPorts, HangingUpEndsWaitingReads) {
  Overlapped arrival;
  arrival.hEvent = CreateEvent(true, false);
  uint32_t events = 0;
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
  ASSERT_FALSE(WaitCommEvent(port_, &events, &arrival));
  char partial[4];
  ASSERT_FALSE(ReadFile(port_, partial, 4, nullptr, &overlapped_));
  WriteMaster("ab");
  ASSERT_EQ(WaitForSingleObject(arrival.hEvent, 5000), WAIT_OBJECT_0);
  CloseHandle(arrival.hEvent);
  close(master_);
  master_ = -1;
  // What arrived before the hang-up is delivered; a read that would wait for more fails.
  uint32_t bytes = 0;
  ASSERT_TRUE(GetOverlappedResult(port_, &overlapped_, &bytes, true));
  EXPECT_EQ(std::string(partial, bytes), "ab");
  Overlapped later;
  char nothing[4];
  Refused(!(ReadFile(port_, nothing, 4, &bytes, &later) &&
            GetOverlappedResult(port_, &later, &bytes, true)),
          ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(SerialPorts, PseudoTerminalsKeepLineSettingsTheyCannotApply) {
  DCB dcb;
  ASSERT_TRUE(GetCommState(port_, &dcb));
  dcb.ByteSize = 7;
  dcb.Parity = ODDPARITY;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  ASSERT_TRUE(SetCommState(port_, &dcb));
  EXPECT_EQ(FarTerminal(master_).c_cflag & (CSIZE | PARENB | PARODD | CMSPAR), tcflag_t{CS8});
  DCB read;
  ASSERT_TRUE(GetCommState(port_, &read));
  EXPECT_EQ(read.ByteSize, 7);
  EXPECT_EQ(read.Parity, ODDPARITY);
  WriteMaster("\xff");
  char byte = 0;
  uint32_t bytes = 0;
  if (!ReadFile(port_, &byte, 1, &bytes, &overlapped_)) {
    ASSERT_TRUE(GetOverlappedResult(port_, &overlapped_, &bytes, true));
  }
  EXPECT_EQ(static_cast<unsigned char>(byte), 0xFF);
}

// What the settings make of the line, read back from the terminal rather than the port's record.
TEST_F(SerialPorts, SettingsReachTheTerminal) {
  struct Case {
    const char* what;
    uint32_t baud;
    uint8_t byteSize;
    uint8_t stopBits;
    bool outX, inX, handshake;
    bool stopFlag, ixon, ixoff, crtscts;
  };
  const Case cases[] = {
      {"one stop bit", 9600, 8, ONESTOPBIT, false, false, false, false, false, false, false},
      {"two stop bits", 19200, 8, TWOSTOPBITS, false, false, false, true, false, false, false},
      {"one and a half", 2400, 5, ONE5STOPBITS, false, false, false, true, false, false, false},
      {"XON/XOFF out", 115200, 8, ONESTOPBIT, true, false, false, false, true, false, false},
      {"XON/XOFF in", 57600, 8, ONESTOPBIT, false, true, false, false, false, true, false},
      {"RTS/CTS", 250000, 8, ONESTOPBIT, false, false, true, false, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DCB dcb;
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.byteSize;
    dcb.StopBits = c.stopBits;
    dcb.fOutX = c.outX;
    dcb.fInX = c.inX;
    dcb.fRtsControl = c.handshake ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    const termios2 t = FarTerminal(master_);
    EXPECT_EQ(t.c_ospeed, c.baud);
    EXPECT_EQ(t.c_ispeed, c.baud);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.stopFlag);
    EXPECT_EQ((t.c_iflag & IXON) != 0, c.ixon);
    EXPECT_EQ((t.c_iflag & IXOFF) != 0, c.ixoff);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.crtscts);
    // A pseudo-terminal carries whole bytes, five bits asked or not, and the line is raw.
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB), tcflag_t{CS8});
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);  // a read takes what has arrived
  }
}

// A total read time-out grows with the bytes asked for; the write side keeps its own.
TEST_F(SerialPorts, TimeOutsEndTransfersWhenTheyShould) {
  struct Case {
    const char* what;
    COMMTIMEOUTS timeouts;
    uint32_t size;
    int atLeastMs, atMostMs;
  };
  const Case cases[] = {
      {"per byte", {0, 20, 0, 0, 0}, 10, 150, 1500},
      {"per byte and constant", {0, 10, 100, 0, 0}, 5, 120, 1500},
      {"constant only", {0, 0, 60, 5000, 5000}, 10, 40, 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(SetCommTimeouts(port_, &c.timeouts));
    std::vector<char> buffer(c.size);
    uint32_t bytes = 99;
    const auto start = Clock::now();
    ASSERT_TRUE(Finishes(port_, overlapped_,
                         ReadFile(port_, buffer.data(), c.size, &bytes, &overlapped_), 3000,
                         &bytes));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(bytes, 0u);
    EXPECT_GE(ms, c.atLeastMs);
    EXPECT_LE(ms, c.atMostMs);
  }
}

TEST_F(SerialPorts, AGapBetweenBytesEndsARead) {
  COMMTIMEOUTS timeouts{30, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
  char buffer[8];
  uint32_t bytes = 0;
  const bool done = ReadFile(port_, buffer, sizeof(buffer), &bytes, &overlapped_);
  ASSERT_EQ(write(master_, "ab", 2), 2);
  ASSERT_TRUE(Finishes(port_, overlapped_, done, 2000, &bytes));
  EXPECT_EQ(std::string(buffer, bytes), "ab");
}

// Nobody reads the far side: the line fills and only the write's own time-out ends it.
TEST_F(SerialPorts, AWriteThatCannotFinishEndsAtItsOwnTimeOut) {
  COMMTIMEOUTS timeouts{0, 0, 0, 0, 80};
  ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
  const std::vector<char> data(1 << 20, 'x');
  uint32_t bytes = 0;
  const auto start = Clock::now();
  ASSERT_TRUE(Finishes(
      port_, overlapped_,
      WriteFile(port_, data.data(), static_cast<uint32_t>(data.size()), &bytes, &overlapped_), 3000,
      &bytes));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_GT(bytes, 0u);
  EXPECT_LT(bytes, data.size());
}

TEST_F(SerialPorts, PortsOpenOnceAndBadHandlesAreRefused) {
  Refused(CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  SetSerialPortPath(L"COM8", "/nonexistent/tty");
  Refused(CreateFile(L"\\\\.\\COM8", 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE,
          ERROR_FILE_NOT_FOUND);
  // Every call on a handle that is no port is refused.
  const Handle event = overlapped_.hEvent;
  DCB dcb{};
  COMMTIMEOUTS timeouts{};
  uint32_t events = 0;
  for (const bool done :
       {GetCommState(event, &dcb), SetCommState(event, &dcb), GetCommTimeouts(event, &timeouts),
        SetCommTimeouts(event, &timeouts), PurgeComm(event, 0),
        ClearCommError(event, &events, nullptr), SetCommMask(event, 0),
        WaitCommEvent(event, &events, nullptr), InjectCommErrors(event, 0)}) {
    EXPECT_FALSE(done);
  }
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // And on a port, every call without its record.
  for (const std::function<bool()>& call :
       std::vector<std::function<bool()>>{[&] { return SetCommState(port_, nullptr); },
                                          [&] { return GetCommState(port_, nullptr); },
                                          [&] { return SetCommTimeouts(port_, nullptr); },
                                          [&] { return GetCommTimeouts(port_, nullptr); }}) {
    SetLastError(ERROR_SUCCESS);
    Refused(!call(), ERROR_INVALID_PARAMETER);
  }
  // The port can be opened again once closed, even while a call still running on another
  // thread holds the closed handle's file, and after an open that ran out of descriptors.
  {
    DCB line;
    ASSERT_TRUE(GetCommState(port_, &line));
    const auto inCall = detail::Lookup<detail::DeviceFile>(port_);
    ASSERT_TRUE(CloseHandle(port_));
    port_ = CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
    // Its calls no longer reach the line that the new opener has.
    EXPECT_NE(inCall->serial->core().SetState(line), ERROR_SUCCESS);
  }
  ASSERT_TRUE(CloseHandle(port_));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const rlimit low{zortest::CountDescriptors() + 8, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> filler;
  for (int fd = open("/dev/null", O_RDONLY); fd >= 0; fd = open("/dev/null", O_RDONLY)) {
    filler.push_back(fd);
  }
  close(filler.back());  // room for the port, none for its wake-up descriptor
  filler.pop_back();
  Refused(CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE,
          ERROR_TOO_MANY_OPEN_FILES);
  for (int fd : filler) close(fd);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  port_ = CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0);
  EXPECT_NE(port_, INVALID_HANDLE_VALUE);
}

// (value name, data) of every value of the serial-port map.
std::vector<std::pair<std::wstring, std::wstring>> SerialCommValues() {
  std::vector<std::pair<std::wstring, std::wstring>> values;
  Handle key{};
  if (RegOpenKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return values;
  }
  for (uint32_t index = 0;; ++index) {
    wchar_t name[512];
    wchar_t data[64];
    uint32_t nameChars = 512;
    uint32_t type = 0;
    uint32_t size = sizeof(data);
    if (RegEnumValue(key, index, name, &nameChars, &type, data, &size) != ERROR_SUCCESS) break;
    EXPECT_EQ(type, REG_SZ);
    values.emplace_back(name, data);
  }
  RegCloseKey(key);
  return values;
}

TEST(SerialPortMap, ListsTheDevicesOfTheFolderAndTheMappedPorts) {
  std::string pattern = (std::filesystem::temp_directory_path() / "zordev.XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path folder = pattern;
  setenv("ZOR_SERIAL_DEVICES", folder.c_str(), 1);
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  std::filesystem::create_symlink(ptsname(master), folder / "ttyUSB3");
  for (const char* other : {"ttyACM0", "ttyUSB100", "ttyX1", "console"}) {
    std::ofstream(folder / other) << "";
  }
  SetSerialPortPath(L"com9", "/dev/zor-mapped");
  const std::wstring base = folder.wstring();
  using Values = std::vector<std::pair<std::wstring, std::wstring>>;
  EXPECT_EQ(SerialCommValues(), (Values{{L"/dev/zor-mapped", L"COM9"},
                                        {base + L"/ttyACM0", L"COM201"},
                                        {base + L"/ttyUSB3", L"COM104"}}));

  // A listed device opens by its name without any set-up.
  const Handle port = CreateFile(L"\\\\.\\COM104", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED);
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
  CloseHandle(port);

  Handle key{};
  ASSERT_EQ(
      RegOpenKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_ALL_ACCESS, &key),
      ERROR_SUCCESS);
  EXPECT_EQ(RegSetValue(key, L"x", REG_SZ, L"COM1", 10), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  wchar_t name[32];
  uint32_t nameChars = 32;
  ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP", KEY_READ, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegEnumKey(key, 0, name, &nameChars), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(name), L"SERIALCOMM");
  RegCloseKey(key);
  for (const wchar_t* other :
       {L"HARDWARE\\DEVICEMAP\\VIDEO", L"HARDWARE\\DEVICEMAP\\SERIALCOMM\\X"}) {
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, other, KEY_READ, &key), ERROR_FILE_NOT_FOUND) << other;
  }

  // A mapping to a listed device takes its place; an empty path removes a mapping.
  SetSerialPortPath(L"COM9", "");
  SetSerialPortPath(L"COM5", (folder / "ttyACM0").string());
  EXPECT_EQ(SerialCommValues(),
            (Values{{base + L"/ttyACM0", L"COM5"}, {base + L"/ttyUSB3", L"COM104"}}));
  SetSerialPortPath(L"COM5", "");
  std::filesystem::remove_all(folder);
  EXPECT_EQ(SerialCommValues(), Values{});
  setenv("ZOR_SERIAL_DEVICES", "", 1);  // empty: the system's folder
  EXPECT_EQ(detail::SerialDeviceFolder(), "/dev");
  unsetenv("ZOR_SERIAL_DEVICES");
  close(master);
}

}  // namespace
}  // namespace os
