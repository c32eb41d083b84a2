// Digitizer and channel records: construction values and the accessors with rules.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <thread>
#include <utility>

#include "driver/frameworkuser/records/qddigitizerinfo.h"

using namespace zor::frame;
namespace kernel = zor::kernel;

namespace {

class DigitizerRecord : public testing::Test {
 protected:
  DigitizerRecord() : dcf_{}, record_(0, L"Ntsc.dcf", 2, Q_DEFAULT, channel_, dcf_) {}
  DigChannelRecord channel_;
  QDDigitizerInfo::DcfBlock dcf_;
  QDDigitizerInfo record_;
};

// The initial properties whole.
TEST(ChannelRecord, StartsWithTheConstructedSettings) {
  DigChannelRecord channel;
  const auto& b = channel.Block();
  EXPECT_EQ((std::array{b.digitizerIndex, b.hostDigitizer, b.signedWord}),
            (std::array<int64_t, 3>{-1, -1, Q_DISABLE}));
  kernel::DigPropertiesBlock expected{};
  expected.signedWord = Q_DISABLE;
  expected.grabTimeout = Q_DEFAULT;
  expected.grabErrorReporting = Q_DISABLE;
  expected.grabTriggerState = Q_DISABLE;
  const int64_t words[8] = {0, Q_ENABLE, Q_DEFAULT, Q_DISABLE, Q_ENABLE, Q_ENABLE, 0, Q_DISABLE};
  for (size_t i = 0; i < 8; ++i) expected.presetWords[i] = static_cast<uint64_t>(words[i]);
  expected.controlFlagMode = 0x4000000;
  expected.presetWord = 1;
  expected.presetDoubles[0] = expected.presetDoubles[1] = 1.0;
  expected.propertiesReserve = 1;
  EXPECT_EQ(std::memcmp(&b.properties, &expected, sizeof(expected)), 0);
}

// Every word of the block but the class word of the properties, each strip, and the hooks.
TEST(ChannelRecord, CopyTakesWordsSettingsStripsAndHooks) {
  DigChannelRecord from;
  auto& f = from.Block();
  std::memset(&f.properties, 0x5A, sizeof(f.properties));
  for (size_t i = 0; i < kernel::kStripRows; ++i) f.strips[i] = {i + 1, i + 2, 3, {}, i};
  f.digitizerIndex = 7;
  f.hostDigitizer = 8;
  f.kernelDigitizer = 11;
  f.kernelCheck = 12;
  f.reserved32 = 13;
  f.continuousGrab = 1;
  f.signedWord = 14;
  f.lastWord = 15;
  int user = 0;
  from.Hooks().ForHookType(4)->Set(reinterpret_cast<QHOOK_FUNCTION>(1), &user);
  DigChannelRecord to;
  to.Properties().classPointer = 0xBBBB;
  to = from;
  const auto& t = to.Block();
  EXPECT_EQ((std::array<uint64_t, 8>{uint64_t(t.digitizerIndex), uint64_t(t.hostDigitizer),
                                     t.kernelDigitizer, t.kernelCheck, t.reserved32,
                                     t.continuousGrab, uint64_t(t.signedWord), t.lastWord}),
            (std::array<uint64_t, 8>{7, 8, 11, 12, 13, 1, 14, 15}));
  EXPECT_EQ(std::memcmp(t.strips, f.strips, sizeof(f.strips)), 0);
  f.properties.classPointer = 0xBBBB;  // each record keeps its own class word
  EXPECT_EQ(std::memcmp(&t.properties, &f.properties, sizeof(f.properties)), 0);
  EXPECT_EQ(to.Hooks().ForHookType(4)->UserData(), &user);
}

TEST_F(DigitizerRecord, ConstructionSettingsHostIdLocksAndName) {
  EXPECT_EQ(record_.GetGrabErrorReporting(), Q_ENABLE);
  EXPECT_EQ(channel_.Properties().digitizerReserve, 0u);
  EXPECT_EQ(record_.GetInfoType(), 0x20000);
  EXPECT_EQ(record_.GetHostId(), -1);
  record_.SetHostId(0x100005);
  EXPECT_EQ(channel_.Block().hostDigitizer, 0x100005);
  // Channel locks are recursive and indexed.
  record_.LockFirst();
  record_.Lock(0);
  record_.Lock(1);
  record_.Lock(7);  // no such lock: nothing happens
  record_.Unlock(1);
  record_.Unlock(0);
  record_.UnlockFirst();
  // Each lock taken was let go: another thread takes and leaves both.
  std::thread([this] {
    record_.LockFirst();
    record_.Lock(1);
    record_.Unlock(1);
    record_.UnlockFirst();
  }).join();
  record_.SetDeviceName(L"Camera 1");
  EXPECT_EQ(record_.GetDeviceName(), L"Camera 1");
}

TEST_F(DigitizerRecord, TimeoutsAndFrameRateResolve) {
  record_.SetGrabPeriod(40.0);
  record_.SetGrabTimeout(Q_DEFAULT);
  record_.SetGrabTriggerState(Q_DISABLE);
  EXPECT_EQ(record_.GetGrabTimeout(), 2400);
  EXPECT_EQ(record_.SetGrabTriggerState(Q_ENABLE), Q_ENABLE);
  EXPECT_EQ(record_.GetGrabTimeout(), -1);
  record_.SetGrabTimeout(500);
  EXPECT_EQ(record_.GetGrabTimeout(), 500);
  // A zero period has no frame rate.
  record_.SetGrabPeriod(0.0);
  EXPECT_EQ(record_.GetSelectedFrameRate(), 0.0);
  record_.SetGrabPeriod(33.33333);
  EXPECT_NEAR(record_.GetSelectedFrameRate(), 30.0, 1e-3);
  EXPECT_EQ(record_.GetGrabPeriod(), 33);
  // The process timeout is infinite or at least one millisecond.
  const std::pair<int64_t, int64_t> processTimeouts[] = {{Q_DEFAULT, -1}, {-1, -1}, {-2, 1},
                                                         {0, 1},          {1, 1},   {250, 250}};
  for (const auto& [value, kept] : processTimeouts) {
    record_.SetProcessTimeout(value);
    EXPECT_EQ(record_.GetProcessTimeout(), kept) << value;
  }
}

TEST_F(DigitizerRecord, ProcessBuffersSelfAssignmentAndValidation) {
  record_.SetProcessBuffers({{1, 2, 0}, {3, 4, 0}});
  record_.SetProcessBuffers(record_.GetProcessBuffers());
  ASSERT_EQ(record_.GetProcessBuffers().size(), 2u);
  EXPECT_EQ(record_.GetProcessBuffers()[1], (ProcessBufferEntry{3, 4, 0}));
  zor::foundation::CError clean;
  record_.ValidateProcessBuffers(clean);
  EXPECT_EQ(clean.errorSet, 0);
  record_.GetProcessBuffers()[1].flag = 1;
  zor::foundation::CError flagged;
  record_.ValidateProcessBuffers(flagged);
  EXPECT_EQ(flagged.code, 4372u);
  EXPECT_EQ(flagged.subCode, 2u);
}

}  // namespace
