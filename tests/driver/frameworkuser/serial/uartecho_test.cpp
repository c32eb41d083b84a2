#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "tests/driver/frameworkuser/serial/serialfixture.h"

namespace zor::frame::testing {
namespace {

constexpr size_t kTotal = 1 << 20;
constexpr size_t kChunk = 4096;

std::vector<uint8_t> RandomBytes(size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(generator());
  return bytes;
}

class SerialEcho : public SerialFixture {
 protected:
  void SetUp() override { MakePorts(2); }

  // Sends the data through the port in chunks and collects what comes back.
  std::vector<uint8_t> RoundTrip(size_t port, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> back(data.size());
    EXPECT_EQ(Control(kSpeed, 921600, port), kNoError);
    EXPECT_EQ(Control(kWriteLength, kChunk, port), kNoError);
    EXPECT_EQ(Control(kReadLength, kChunk, port), kNoError);
    for (size_t done = 0; done < data.size(); done += kChunk) {
      // Both directions run at once; each chunk fits the line's buffers.
      EXPECT_EQ(Control(kRead, Address(back.data() + done), port), kNoError);
      EXPECT_EQ(Control(kWrite, Address(data.data() + done), port), kNoError);
      int64_t written = 0;
      int64_t read = 0;
      EXPECT_EQ(Inquire(kWriteComplete, &written, port), kNoError);
      EXPECT_EQ(Inquire(kReadComplete, &read, port), kNoError);
      if (written != static_cast<int64_t>(kChunk) || read != static_cast<int64_t>(kChunk)) {
        ADD_FAILURE() << "chunk at " << done << ": wrote " << written << ", read " << read;
        break;
      }
    }
    return back;
  }
};

TEST_F(SerialEcho, TwoPortsEchoAMegabyteEachWhileOtherThreadsAsk) {
  Echo first(Far(0));
  Echo second(Far(1));
  const std::vector<uint8_t> data0 = RandomBytes(kTotal, 1);
  const std::vector<uint8_t> data1 = RandomBytes(kTotal, 2);
  std::vector<uint8_t> back0;
  std::vector<uint8_t> back1;
  std::atomic<bool> done{false};
  std::atomic<int> failedInquiries{0};
  std::vector<std::thread> askers;
  for (size_t port : {0, 1, 0, 1}) {
    askers.emplace_back([&, port] {
      while (!done) {
        int64_t answer = 0;
        if (Inquire(kSpeed, &answer, port) != kNoError ||
            Inquire(kBytesPending, &answer, port) != kNoError ||
            Inquire(kPortNumber, &answer, port) != kNoError || answer != 41 + int64_t(port)) {
          ++failedInquiries;
        }
      }
    });
  }
  std::thread transfer0([&] { back0 = RoundTrip(0, data0); });
  std::thread transfer1([&] { back1 = RoundTrip(1, data1); });
  transfer0.join();
  transfer1.join();
  done = true;
  for (auto& asker : askers) asker.join();
  EXPECT_EQ(failedInquiries, 0);
  EXPECT_TRUE(back0 == data0);
  EXPECT_TRUE(back1 == data1);
}

}  // namespace
}  // namespace zor::frame::testing
