// A host system, the owner of the GenICam controls of a test.
#pragma once

#include <gtest/gtest.h>

#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "platform/host/zor.h"

namespace zor::genicam {

class HostSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    system_ = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_HOST", 0, Q_DEFAULT, nullptr);
    ASSERT_NE(system_, 0);
    facts_.hostSystemId = system_;
  }
  void TearDown() override {
    QsysFree(system_);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
  }

  QID system_ = 0;
  GenICamSystemFacts facts_;
};

}  // namespace zor::genicam
