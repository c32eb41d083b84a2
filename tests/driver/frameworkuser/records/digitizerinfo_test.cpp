// Digitizer and channel records: construction values and the accessors with rules.
#include <gtest/gtest.h>

#include "driver/frameworkuser/records/qddigitizerinfo.h"

using namespace zor::frame;

namespace {

class DigitizerRecord : public testing::Test {
 protected:
  DigitizerRecord() : dcf_{}, record_(0, L"Ntsc.dcf", 2, Q_DEFAULT, channel_, dcf_) {}
  DigChannelRecord channel_;
  QDDigitizerInfo::DcfBlock dcf_;
  QDDigitizerInfo record_;
};

TEST(ChannelRecord, StartsWithTheConstructedSettings) {
  DigChannelRecord channel;
  const auto& b = channel.Block();
  EXPECT_EQ(b.digitizerIndex, -1);
  EXPECT_EQ(b.hostDigitizer, -1);
  EXPECT_EQ(b.signedWord, Q_DISABLE);
  EXPECT_EQ(b.properties.grabTimeout, Q_DEFAULT);
  EXPECT_EQ(b.properties.grabTriggerState, Q_DISABLE);
  EXPECT_EQ(b.properties.controlFlagMode, 0x4000000u);
  EXPECT_EQ(b.properties.propertiesReserve, 1u);
  EXPECT_DOUBLE_EQ(b.properties.presetDoubles[1], 1.0);
  EXPECT_EQ(b.properties.presetWords[2], static_cast<uint64_t>(Q_DEFAULT));
}

TEST(ChannelRecord, CopyTakesWordsSettingsStripsAndHooks) {
  DigChannelRecord from;
  from.Block().kernelDigitizer = 11;
  from.Block().strips[3].lineCount = 240;
  from.Block().continuousGrab = 1;
  from.Properties().sourceWidth = 320;
  from.Properties().classPointer = 0xAAAA;
  int user = 0;
  from.Hooks().ForHookType(4)->Set(reinterpret_cast<QHOOK_FUNCTION>(1), &user);
  DigChannelRecord to;
  to.Properties().classPointer = 0xBBBB;
  to = from;
  EXPECT_EQ(to.Block().kernelDigitizer, 11u);
  EXPECT_EQ(to.Block().strips[3].lineCount, 240u);
  EXPECT_EQ(to.Block().continuousGrab, 1);
  EXPECT_EQ(to.Properties().sourceWidth, 320u);
  EXPECT_EQ(to.Properties().classPointer, 0xBBBBu) << "each record keeps its own class word";
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
  record_.SetProcessTimeout(Q_DEFAULT);
  EXPECT_EQ(record_.GetProcessTimeout(), -1);
  record_.SetProcessTimeout(0);
  EXPECT_EQ(record_.GetProcessTimeout(), 1);
  record_.SetProcessTimeout(250);
  EXPECT_EQ(record_.GetProcessTimeout(), 250);
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
