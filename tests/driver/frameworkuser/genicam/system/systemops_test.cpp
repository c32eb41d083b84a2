// The GenICam layer's system control and inquire through libZOR.so.
#include <gtest/gtest.h>

#include <string>

#include "tests/driver/frameworkuser/genicam/system/genicamsystemfixture.h"

namespace zor::genicam {
namespace {

constexpr QINT64 kLength = 0x50000000000;

using SystemOpsTest = GenICamSystemFixture;

TEST_F(SystemOpsTest, InquiriesGiveTheLayersOwnAnswers) {
  for (QINT64 type : {1079, 4390, 4397}) {
    QINT64 value = 0;
    QsysInquire(system_, type, &value);
    EXPECT_EQ(value, 1) << type;
  }
  QINT64 value = -1;
  QsysInquire(system_, 4402, &value);
  EXPECT_EQ(value, 0);  // no web browser program is installed here
  QsysInquire(system_, 6950, &value);
  EXPECT_EQ(value, 0);
  double version = 0;
  QsysInquire(system_, 7311, &version);
  EXPECT_DOUBLE_EQ(version, 3.1);
  wchar_t manifest[4] = {L'x', L'x', L'x', L'x'};
  QsysInquire(system_, 7707, manifest);
  EXPECT_EQ(manifest[0], L'\0');
  QsysInquire(system_, 7707 + kLength, &value);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(SystemOpsTest, KeepAliveControlModeTakesItsThreeValuesOnly) {
  QINT64 mode = 0;
  QsysInquire(system_, 4813, &mode);
  EXPECT_EQ(mode, 1);
  QsysControl(system_, 4813, 0x20000);
  QsysInquire(system_, 4813, &mode);
  EXPECT_EQ(mode, 0x20000);
  QsysControl(system_, 4813, 7);
  EXPECT_EQ(ErrorCode(), 4307);
  EXPECT_EQ(SubCode(1), 3);
  QsysInquire(system_, 4813, &mode);
  EXPECT_EQ(mode, 0x20000);
  QsysControl(system_, 4813, Q_DEFAULT);
  QsysInquire(system_, 4813, &mode);
  EXPECT_EQ(mode, 1);
}

TEST_F(SystemOpsTest, RegistryIsReadAgainOnlyWithTheDefaultValue) {
  QsysControl(system_, 2005, Q_DEFAULT);
  EXPECT_EQ(ErrorCode(), 0);
  QsysControl(system_, 2005, 1);
  EXPECT_EQ(ErrorCode(), 4307);
  EXPECT_EQ(SubCode(1), 3);
}

// The system's own map is made when the host names the system.
TEST_F(SystemOpsTest, SystemNodeMapAddressFollowsItsErasureAndCreation) {
  QINT64 made = 0;
  QsysInquire(system_, 6951, &made);
  EXPECT_NE(made, 0);
  QINT64 address = -1;
  QsysControl(system_, 1105, system_);  // made already: nothing new
  QsysControl(system_, 1106, 0);        // no object: nothing happens
  QsysInquire(system_, 6951, &address);
  EXPECT_EQ(address, made);
  QsysControl(system_, 1106, system_);
  QsysInquire(system_, 6951, &address);
  EXPECT_EQ(address, 0);
  QsysControl(system_, 1105, system_);
  QsysInquire(system_, 6951, &address);
  EXPECT_NE(address, 0);
  EXPECT_EQ(ErrorCode(), 0);
}

}  // namespace
}  // namespace zor::genicam
