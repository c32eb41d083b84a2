// Fixture of the tests that run commands through the decoder on a test driver.
#pragma once

#include <gtest/gtest.h>

#include "tests/driver/frameworkuser/support/commandbuilder.h"
#include "tests/driver/frameworkuser/support/testdriver.h"

namespace zor::frame {

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe().Reset();
    InstallTestDriver();
  }
  // The steering of the probe goes first: the test's handlers must not run
  // while the driver is taken down.
  void TearDown() override {
    probe().Reset();
    InstallTestDriver();
  }

  static FrameworkProbe& probe() { return *FrameworkTestProbe(); }

  // Allocates a test system through opcode 0x0001; returns its index.
  static int64_t AllocSystem() {
    int64_t index = -1;
    CommandBuilder(0x0001)
        .Int(0, 0)
        .WideText(1, L"Q_SYSTEM_DRAVIONLYN")
        .Int(2, 0)
        .Int(3, 0)
        .Pointer(4, &index)
        .Run();
    probe().TakeCalls();
    return index;
  }
};

}  // namespace zor::frame
