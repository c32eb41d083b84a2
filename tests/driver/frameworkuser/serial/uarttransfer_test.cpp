#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/os/serial/serial.h"
#include "tests/driver/frameworkuser/serial/serialfixture.h"

namespace zor::frame::testing {
namespace {

class SerialTransfers : public SerialFixture {
 protected:
  void SetUp() override {
    SerialFixture::SetUp();
    ASSERT_EQ(Control(kSpeed, 115200), kNoError);
    // The bytes are sent before each read; a loaded machine may relay one later than the
    // default 50 ms a byte.
    ASSERT_EQ(Control(kTimeout, 2000), kNoError);
  }
  void ExpectRead(const std::string& bytes, int64_t count) {
    EXPECT_EQ(Ask(kReadComplete), count);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer_), bytes.size()), bytes);
  }
  uint8_t buffer_[64] = {};
};

TEST_F(SerialTransfers, FixedLengthWriteAndRead) {
  ASSERT_EQ(Control(kWriteLength, 5), kNoError);
  ASSERT_EQ(Control(kWrite, Address("hello, world")), kNoError);
  EXPECT_EQ(Far().Receive(5), "hello");
  EXPECT_EQ(Ask(kWriteComplete), 5);

  ASSERT_EQ(Control(kReadLength, 4), kNoError);
  ASSERT_EQ(Control(kRead, Address(buffer_)), kNoError);
  // The read is under way: a second one must wait for it.
  EXPECT_EQ(Control(kRead, Address(buffer_ + 8)), Codes(4341, 2));
  EXPECT_EQ(Control(kReadByte, Address(buffer_ + 8)), Codes(4341, 2));
  Far().Send("abcdef");
  ExpectRead("abcd", 4);
  ASSERT_EQ(Control(kReadLength, 2), kNoError);
  ASSERT_EQ(Control(kRead, Address(buffer_)), kNoError);
  ExpectRead("ef", 2);

  // More than the line holds keeps a write under way: another write, or a byte, must wait.
  const std::string many(size_t{1} << 18, 'w');
  ASSERT_EQ(Control(kWriteLength, static_cast<int64_t>(many.size())), kNoError);
  ASSERT_EQ(Control(kWrite, Address(many.data())), kNoError);
  EXPECT_EQ(Control(kWrite, Address(many.data())), Codes(4341, 2));
  EXPECT_EQ(Control(kWriteByte, 'x'), Codes(4341, 2));
  EXPECT_EQ(Far().Receive(many.size()), many);
  EXPECT_EQ(Ask(kWriteComplete), static_cast<int64_t>(many.size()));
}

TEST_F(SerialTransfers, ReadUntilDelimiterCountsTheBytesBeforeIt) {
  ASSERT_EQ(Control(kReadLength, kUartDefault), kNoError);
  ASSERT_EQ(Control(kDelimiter, 0x0D), kNoError);
  ASSERT_EQ(Control(kReadMaxLength, 16), kNoError);
  Far().Send("AB\r");
  ASSERT_EQ(Control(kRead, Address(buffer_)), kNoError);
  ExpectRead("AB\r", 2);

  // A delimiter at once is an empty line, not the one byte read for it.
  Far().Send("\r");
  std::memset(buffer_, 0, sizeof(buffer_));
  ASSERT_EQ(Control(kRead, Address(buffer_)), kNoError);
  EXPECT_EQ(Ask(kReadComplete), 0);
  EXPECT_EQ(buffer_[0], '\r');

  // Sixteen bytes without a delimiter fill the maximum and are all counted; the rest waits.
  Far().Send("0123456789abcdefXY\r");
  std::memset(buffer_, '-', sizeof(buffer_));
  ASSERT_EQ(Control(kRead, Address(buffer_)), kNoError);
  ExpectRead("0123456789abcdef-", 16);
  ASSERT_EQ(Control(kRead, Address(buffer_)), kNoError);
  ExpectRead("XY\r", 2);

  // A maximum of zero reads nothing.
  ASSERT_EQ(Control(kReadMaxLength, 0), kNoError);
  Far().Send("abc");
  auto target = std::make_unique<uint8_t[]>(1);
  ASSERT_EQ(Control(kRead, Address(target.get())), kNoError);
  EXPECT_EQ(Ask(kReadComplete), 0);
  EXPECT_TRUE(Eventually([&] { return Ask(kBytesPending) == 3; }));
}

TEST_F(SerialTransfers, WriteUntilDelimiterStopsAtTheWriteLength) {
  ASSERT_EQ(Control(kWrite, Address("text\0more")), kNoError);
  EXPECT_EQ(Ask(kWriteComplete), 4);
  EXPECT_EQ(Far().Receive(4), "text");

  // Data without the delimiter within the write length is refused; nothing beyond it is read.
  ASSERT_EQ(Control(kWriteLength, 4), kNoError);
  ASSERT_EQ(Control(kWriteLength, kUartDefault), kNoError);
  auto data = std::make_unique<uint8_t[]>(4);
  std::memcpy(data.get(), "abcd", 4);
  EXPECT_EQ(Control(kWrite, Address(data.get())), Codes(4340, 3));
  ASSERT_EQ(Control(kDelimiter, 'c'), kNoError);
  ASSERT_EQ(Control(kWrite, Address(data.get())), kNoError);
  EXPECT_EQ(Ask(kWriteComplete), 2);
  EXPECT_EQ(Far().Receive(2), "ab");
}

TEST_F(SerialTransfers, SingleBytesPendingBytesAndNullAddresses) {
  EXPECT_EQ(Control(kReadByte, 0), Codes(4340, 3));
  EXPECT_EQ(Control(kRead, 0), Codes(4340, 3));
  EXPECT_EQ(Control(kWrite, 0), Codes(4340, 3));
  ASSERT_EQ(Control(kWriteByte, 0x141), kNoError);
  EXPECT_EQ(Far().Receive(1), "A");
  Far().Send("z");
  uint8_t byte = 0;
  ASSERT_EQ(Control(kReadByte, Address(&byte)), kNoError);
  EXPECT_EQ(byte, 'z');

  // Nothing arrives within the time-out: an error, and the caller's byte stays as it was.
  ASSERT_EQ(Control(kTimeout, 1), kNoError);
  byte = 0x55;
  EXPECT_EQ(Control(kReadByte, Address(&byte)), Codes(4341, 3));
  EXPECT_EQ(byte, 0x55);

  EXPECT_EQ(Ask(kBytesPending), 0);
  Far().Send("12345");
  EXPECT_TRUE(Eventually([&] { return Ask(kBytesPending) == 5; }));
}

TEST_F(SerialTransfers, TheLongestTimeOutStillWaitsForTheData) {
  ASSERT_EQ(Control(kTimeout, -1), kNoError);
  ASSERT_EQ(Control(kReadLength, 4096), kNoError);
  std::vector<uint8_t> data(4096);
  ASSERT_EQ(Control(kRead, Address(data.data())), kNoError);
  Far().Send(std::string(4096, 'x'));
  EXPECT_EQ(Ask(kReadComplete), 4096);
  EXPECT_EQ(data.back(), 'x');
}

TEST_F(SerialTransfers, LineErrorsAreReportedFirstOneFirstAndCleared) {
  const std::vector<std::pair<uint32_t, Codes>> errors = {
      {os::CE_BREAK, {4342, 1}},   {os::CE_FRAME, {4342, 2}},  {os::CE_MODE, {4342, 3}},
      {os::CE_OVERRUN, {4342, 4}}, {os::CE_RXOVER, {4343, 1}}, {os::CE_RXPARITY, {4343, 2}},
      {os::CE_TXFULL, {4343, 3}},
  };
  UartPortRecord& record = manager_->GetPort(0);
  ASSERT_EQ(Control(kReadLength, 2), kNoError);
  for (const auto& [bit, codes] : errors) {
    Far().Send("ok");
    ASSERT_EQ(Control(kRead, Address(buffer_)), kNoError);
    ASSERT_TRUE(os::InjectCommErrors(record.port_, bit | os::CE_TXFULL));
    int64_t count = 0;
    EXPECT_EQ(Inquire(kReadComplete, &count), codes) << bit;
    // The error word was cleared with the first report.
    EXPECT_EQ(Inquire(kReadComplete, &count), kNoError);
    EXPECT_EQ(count, 2);
  }
  // A handle that no longer answers as a port cannot give its error word either.
  const os::Handle port = std::exchange(record.port_, record.write_.hEvent);
  EXPECT_EQ(Control(kWrite, Address("x")), Codes(4339, 4));
  record.port_ = port;
}

}  // namespace
}  // namespace zor::frame::testing
