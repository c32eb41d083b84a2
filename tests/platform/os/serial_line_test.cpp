// What a serial port's settings make of the line, read back from the terminal itself rather
// than from the port's own record, and time-outs that must end a transfer.
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/serial/serial.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace os {
namespace {

using Clock = std::chrono::steady_clock;

// COM9 opens the far side of a pseudo-terminal; the test holds the other end and a second
// descriptor of the far side to read its terminal settings.
class SerialLine : public testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    const std::string path = ptsname(master_);
    SetSerialPortPath(L"COM9", path);
    port_ = CreateFile(L"\\\\.\\COM9", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
    // Setting the line makes it raw: a terminal left canonical hands out whole lines only.
    DCB dcb;
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.BaudRate = 9600;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    far_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(far_, 0);
    overlapped_.hEvent = CreateEvent(true, false);
  }
  void TearDown() override {
    CloseHandle(port_);
    CloseHandle(overlapped_.hEvent);
    close(far_);
    close(master_);
    SetSerialPortPath(L"COM9", "");
  }

  termios2 Terminal() const {
    termios2 settings = {};
    EXPECT_EQ(ioctl(far_, TCGETS2, &settings), 0);
    return settings;
  }

  // Starts a transfer; true when it completed within the time given.
  bool Finishes(bool done, uint32_t milliseconds, uint32_t* bytes) {
    if (!done && GetLastError() != ERROR_IO_PENDING) return false;
    if (!done && WaitForSingleObject(overlapped_.hEvent, milliseconds) != WAIT_OBJECT_0) {
      PurgeComm(port_, PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR);
      return false;
    }
    return GetOverlappedResult(port_, &overlapped_, bytes, true);
  }

  int master_ = -1;
  int far_ = -1;
  Handle port_{};
  Overlapped overlapped_;
};

TEST_F(SerialLine, SettingsReachTheTerminal) {
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
    const termios2 t = Terminal();
    EXPECT_EQ(t.c_ospeed, c.baud);
    EXPECT_EQ(t.c_ispeed, c.baud);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.stopFlag);
    EXPECT_EQ((t.c_iflag & IXON) != 0, c.ixon);
    EXPECT_EQ((t.c_iflag & IXOFF) != 0, c.ixoff);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.crtscts);
  }
}

// A total read time-out grows with the bytes asked for; the write side keeps its own.
TEST_F(SerialLine, TimeOutsEndTransfersWhenTheyShould) {
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
    ASSERT_TRUE(
        Finishes(ReadFile(port_, buffer.data(), c.size, &bytes, &overlapped_), 3000, &bytes));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(bytes, 0u);
    EXPECT_GE(ms, c.atLeastMs);
    EXPECT_LE(ms, c.atMostMs);
  }
}

TEST_F(SerialLine, AGapBetweenBytesEndsARead) {
  COMMTIMEOUTS timeouts{30, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
  char buffer[8];
  uint32_t bytes = 0;
  const bool done = ReadFile(port_, buffer, sizeof(buffer), &bytes, &overlapped_);
  ASSERT_EQ(write(master_, "ab", 2), 2);
  ASSERT_TRUE(Finishes(done, 2000, &bytes));
  EXPECT_EQ(std::string(buffer, bytes), "ab");
}

// Nobody reads the far side: the line fills and only the write's own time-out ends it.
TEST_F(SerialLine, AWriteThatCannotFinishEndsAtItsOwnTimeOut) {
  COMMTIMEOUTS timeouts{0, 0, 0, 0, 80};
  ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
  const std::vector<char> data(1 << 20, 'x');
  uint32_t bytes = 0;
  const auto start = Clock::now();
  ASSERT_TRUE(Finishes(
      WriteFile(port_, data.data(), static_cast<uint32_t>(data.size()), &bytes, &overlapped_), 3000,
      &bytes));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_GT(bytes, 0u);
  EXPECT_LT(bytes, data.size());
}

}  // namespace
}  // namespace os
