// Fixture of the tests that run commands through the decoder on a test driver.
#pragma once

#include <gtest/gtest.h>

#include <array>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
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

  // Allocates a test system through opcode 0x0001, which ends with the status given; returns
  // its index.
  static int64_t AllocSystem(uint16_t status = QD_STATUS_OK) {
    int64_t index = -1;
    EXPECT_EQ(CommandBuilder(0x0001)
                  .Int(0, 0)
                  .WideText(1, L"Q_SYSTEM_DRAVIONLYN")
                  .Int(2, 0)
                  .Int(3, 0)
                  .Pointer(4, &index)
                  .Run(),
              status);
    probe().TakeCalls();
    return index;
  }

  // How many of the calls recorded since the last look were of the operation.
  static int CountCalls(SystemOp op) {
    int count = 0;
    for (const RecordedCall& call : probe().TakeCalls()) count += call.op == op;
    return count;
  }

  // The thread's error as the host reads it: opcode 0x1802 of the given kind into four places.
  static void GetError(int64_t system, int64_t kind, const std::array<void*, 4>& places) {
    CommandBuilder(0x1802, system)
        .Int(0, kind)
        .Pointer(1, places[0])
        .Pointer(2, places[1])
        .Pointer(3, places[2])
        .Pointer(4, places[3])
        .Int(5, 0)
        .Run();
  }
  static std::array<int64_t, 4> HeldCodes(int64_t system) {
    std::array<int64_t, 4> codes{};
    GetError(system, 1, {&codes[0], &codes[1], &codes[2], &codes[3]});
    return codes;
  }

  // The thread context, asked of the driver the way the GenICam layer does.
  static QDDriverThreadContext* ContextOn(int64_t system) {
    QDDriverThreadContext* ctx = nullptr;
    EXPECT_EQ(CommandBuilder(0x0003, system).Int(1, 0x814).Pointer(2, &ctx).Run(), 1);
    return ctx;
  }
};

}  // namespace zor::frame
