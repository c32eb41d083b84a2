// Records full of garbage, sent to every function: error triples, never a crash.
#include <gtest/gtest.h>

#include <random>

#include "tests/platform/boardsim/boardclient.h"

namespace {

TEST(MalformedTest, GarbageRecordsNeverCrash) {
  boardsim::Board board{boardsim::BoardConfig{}};
  boardtest::BoardClient client{board};
  client.AllocSystem();
  const auto dig = client.AllocDigitizer(0);
  std::mt19937_64 random(7);
  for (uint32_t function = 0x9FB; function <= 0xA32; ++function) {
    const uint32_t size = zor::kernel::RecordSize(function);
    if (size == 0 || function == zor::kernel::kWaitDeviceEvent) continue;
    for (int round = 0; round < 200; ++round) {
      std::vector<uint8_t> bytes(size);
      for (auto& b : bytes) b = static_cast<uint8_t>(random() % (round % 4 == 0 ? 256 : 3));
      auto& header = *reinterpret_cast<zor::kernel::RequestHeader*>(bytes.data());
      header.systemId = client.systemId;
      if (size >= sizeof(zor::kernel::DigChannelRequest) && round % 2 == 0) {
        auto& record = reinterpret_cast<zor::kernel::DigChannelRequest*>(bytes.data())->record;
        record.kernelDigitizer = dig.kernelDigitizer;
        record.kernelCheck = dig.kernelCheck;
      }
      // Every reply comes at once; none is left pending or crashes the board.
      EXPECT_TRUE(client.Start(function, bytes.data(), size)->WaitFor(1000)) << function;
    }
  }
}

}  // namespace
