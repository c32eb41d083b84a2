// The road of a feature by name: from QdigInquireFeature and
// QdigControlFeature through the driver's routing and GenApi to the
// digitizer and the simulated board, and back.
#include <gtest/gtest.h>

#include "tests/driver/frameworkuser/genicam/features/featurefixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kGrabTimeout = 4127;
constexpr QINT64 kBrightnessReference = 6657;

using FeatureRoad = FeatureFixture;

TEST_F(FeatureRoad, AValueWrittenByNameReachesTheDigitizerAndReadsBack) {
  const QINT64 timeout = 1234;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_GRAB_TIMEOUT").c_str(), Q_TYPE_INT64,
                     &timeout);
  ExpectError(0, 0, "write");
  EXPECT_EQ(Inquire(digitizer_, kGrabTimeout), 1234);
  QdigControl(digitizer_, kGrabTimeout, 777);
  EXPECT_EQ(InquireInt(Dig("Q_GRAB_TIMEOUT")), 777);
}

TEST_F(FeatureRoad, AFloatWrittenByNameReachesTheBoard) {
  const double level = 100.0;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_BRIGHTNESS_REF").c_str(), Q_TYPE_DOUBLE,
                     &level);
  ExpectError(0, 0, "write");
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, kBrightnessReference), 100.0);
  double back = 0;
  QdigInquireFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_BRIGHTNESS_REF").c_str(), Q_DEFAULT, &back,
                     0);
  EXPECT_DOUBLE_EQ(back, 100.0);
}

TEST_F(FeatureRoad, TheSystemsFeaturesAnswerThroughEitherObject) {
  QINT64 fromDigitizer = -1;
  QdigInquireFeature(digitizer_, Q_FEATURE_VALUE, Sys("Q_DIGITIZER_ALLOCATED_NUM").c_str(),
                     Q_TYPE_INT64, &fromDigitizer, 0);
  ExpectError(0, 0, "through the digitizer");
  EXPECT_EQ(fromDigitizer, 1);
  QINT64 fromSystem = -1;
  QsysInquireFeature(system_, Q_FEATURE_VALUE, Sys("Q_DIGITIZER_ALLOCATED_NUM").c_str(),
                     Q_TYPE_INT64, &fromSystem, 0);
  ExpectError(0, 0, "through the system");
  EXPECT_EQ(fromSystem, 1);
}

}  // namespace
}  // namespace zor::board
