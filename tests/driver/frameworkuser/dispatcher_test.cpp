// The dispatcher's status, gate, nesting and error rules.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/os/sync/thread.h"
#include "tests/driver/frameworkuser/support/frameworktest.h"

namespace zor::frame {
namespace {

class DispatcherTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    system_ = AllocSystem();
    ASSERT_EQ(system_, 1);
  }

  int64_t HeldError() { return HeldCodes(system_)[0]; }

  int64_t system_ = 0;
};

TEST_F(DispatcherTest, HandlerSeesThePresetAndItsResultBecomesTheStatus) {
  CommandBuilder command(0x0607, system_);
  uint16_t seen = 0;
  probe().onCall = [&](QDBaseSystem&, SystemOp, const OperationArgs&, QDDriverThreadContext&) {
    seen = command.Record().status;
    return int64_t{0x12345};
  };
  EXPECT_EQ(command.Object(0, 1).Int(1, 2).Int(2, 0).Run(), 0x2345);
  EXPECT_EQ(seen, QD_STATUS_PENDING);
}

TEST_F(DispatcherTest, GateRefusesWithStatusOneButLetsErrorNoticesThrough) {
  probe().onCall = [](QDBaseSystem&, SystemOp, const OperationArgs&, QDDriverThreadContext& ctx) {
    ctx.SetError(4301, 2, 0, 0);
    ctx.Current()->SetGateBits(0);
    return int64_t{1};
  };
  EXPECT_EQ(CommandBuilder(0x0607, system_).Run(), QD_STATUS_ERROR);
  probe().TakeCalls();
  // Refused: no call, the held error is not cleared and turns the status into 2.
  EXPECT_EQ(CommandBuilder(0x0607, system_).Run(), QD_STATUS_ERROR);
  EXPECT_TRUE(probe().TakeCalls().empty());
  EXPECT_EQ(HeldError(), 4301);
}

TEST_F(DispatcherTest, InquireOfTheThreadContextIsAnsweredWithoutTheSystem) {
  QDDriverThreadContext* ctx = ContextOn(0);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->ThreadId(), os::GetCurrentThreadId());
  EXPECT_TRUE(probe().TakeCalls().empty());
}

TEST_F(DispatcherTest, RecordedErrorMakesStatusTwoUntilClearedOrWithdrawnAtAnyDepth) {
  const auto fail = [](QDBaseSystem&, SystemOp, const OperationArgs&, QDDriverThreadContext& ctx) {
    ctx.SetError(4307, 1, 0, 0);
    return int64_t{1};  // whatever the handler returns
  };
  probe().onCall = fail;
  EXPECT_EQ(CommandBuilder(0x0607, system_).Run(), QD_STATUS_ERROR);
  probe().onCall = nullptr;
  // The error stays readable until the next outermost command clears it.
  EXPECT_EQ(HeldError(), 4307);
  EXPECT_EQ(CommandBuilder(0x0607, system_).Run(), QD_STATUS_UNSUPPORTED);
  EXPECT_EQ(HeldError(), 0);

  // An error held from an earlier command is withdrawn, without calling the system.
  probe().onCall = fail;
  EXPECT_EQ(CommandBuilder(0x0607, system_).Run(), QD_STATUS_ERROR);
  probe().onCall = nullptr;
  probe().TakeCalls();
  EXPECT_EQ(CommandBuilder(0x0004, system_).Int(1, 0x833).Int(2, 0).Run(), QD_STATUS_OK);
  EXPECT_TRUE(probe().TakeCalls().empty());
  EXPECT_EQ(HeldError(), 0);

  // Nested, it withdraws the error the outer command recorded before it, which then ends
  // with its handler's own status.
  uint16_t innerStatus = 0;
  int64_t errorAfterInner = -1;
  probe().onCall = [&](QDBaseSystem&, SystemOp op, const OperationArgs&,
                       QDDriverThreadContext& ctx) {
    if (op != SystemOp::DigInquire) return int64_t{-1};
    ctx.SetError(4310, 1, 0, 0);
    innerStatus = CommandBuilder(0x0004, system_).Int(1, 0x833).Int(2, 0).Run();
    errorAfterInner = ctx.ErrorCode();
    return int64_t{1};
  };
  EXPECT_EQ(CommandBuilder(0x0607, system_).Run(), QD_STATUS_OK);
  EXPECT_EQ(innerStatus, QD_STATUS_OK);
  EXPECT_EQ(errorAfterInner, 0);
  EXPECT_EQ(HeldError(), 0);
}

TEST_F(DispatcherTest, NestedCommandsShareTheErrorAndKeepTheOuterFlags) {
  uint16_t innerStatus = 0;
  int64_t outerExtendedAfterInner = -1;
  probe().onCall = [&](QDBaseSystem&, SystemOp op, const OperationArgs&,
                       QDDriverThreadContext& ctx) {
    if (op == SystemOp::DigInquire) {
      innerStatus = CommandBuilder(0x0003, system_).Int(1, 5).Run();
      outerExtendedAfterInner = ctx.Command().extended;
      EXPECT_EQ(ctx.Nesting(), 1);
      return int64_t{1};
    }
    ctx.SetError(4320, 2, 0, 0);  // the inner system inquire fails
    return int64_t{1};
  };
  EXPECT_EQ(CommandBuilder(0x0607, system_).Flags(QD_FLAG_EXTENDED | QD_FLAG_NO_OP).Run(),
            QD_STATUS_ERROR);
  EXPECT_EQ(innerStatus, QD_STATUS_ERROR);
  EXPECT_EQ(outerExtendedAfterInner, int64_t{QD_FLAG_EXTENDED});
  QDDriverThreadContext* ctx = ContextOn(0);
  EXPECT_EQ(ctx->Command().extended, 0);
  EXPECT_EQ(ctx->Nesting(), 0);
}

TEST_F(DispatcherTest, EndOfCommandWaitFollowsEveryCommandButSystemFree) {
  probe().endOfCommandMode = 1;
  const int64_t waiting = AllocSystem();
  CommandBuilder(0x0607, waiting).Run();
  std::vector<RecordedCall> calls = probe().TakeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].op, SystemOp::ThreadWait);
  OperationArgs wait;
  for (int64_t word : {0, 0x1000000, 0}) wait.Push(word);
  EXPECT_TRUE(calls[1].args == wait);
  // A command flagged to do nothing skips the wait.
  CommandBuilder(0x0607, waiting).Flags(QD_FLAG_NO_OP).Run();
  EXPECT_EQ(probe().TakeCalls().size(), 1u);
  CommandBuilder(0x0002, waiting).Run();
  calls = probe().TakeCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].op, SystemOp::SysFree);
}

TEST_F(DispatcherTest, DriverLevelCommandsAndANullRecord) {
  QDDravionLynCommandDecoder(nullptr);  // answered without touching memory
  double answer = 0;                    // the driver goes on serving
  EXPECT_EQ(CommandBuilder(0x1803).Int(0, 0).Int(1, 15001).Pointer(2, &answer).Run(), 1);
  EXPECT_EQ(answer, 10.0);
  // The version, two flags, and a type the driver leaves alone.
  for (const auto& [type, answered] :
       std::vector<std::pair<int64_t, int64_t>>{{2159, 1000}, {2183, 1}, {2184, 0}, {9999, 77}}) {
    int64_t value = 77;
    EXPECT_EQ(CommandBuilder(0x1803).Int(0, 0).Int(1, type).Pointer(2, &value).Run(), 1);
    EXPECT_EQ(value, answered) << type;
  }
  EXPECT_EQ(CommandBuilder(0x1805).Object(0, 3).Int(1, 4).Run(), 1);
  EXPECT_EQ(CommandBuilder(0x0238, system_).Run(), QD_STATUS_UNSUPPORTED);
  EXPECT_TRUE(probe().TakeCalls().empty());
}

TEST_F(DispatcherTest, UnknownOrFreedSystemsAnswerMinusOne) {
  for (int64_t index : {int64_t{-1}, int64_t{0}, int64_t{99}}) {
    EXPECT_EQ(CommandBuilder(0x0607, index).Run(), QD_STATUS_UNSUPPORTED);
  }
  EXPECT_EQ(CommandBuilder(0x0002, system_).Run(), 1);
  EXPECT_EQ(CommandBuilder(0x0607, system_).Run(), QD_STATUS_UNSUPPORTED);
  EXPECT_EQ(CommandBuilder(0x0002, system_).Run(), QD_STATUS_UNSUPPORTED);
  std::vector<RecordedCall> calls = probe().TakeCalls();
  ASSERT_EQ(calls.size(), 1u);  // the first free only
  EXPECT_EQ(calls[0].op, SystemOp::SysFree);
}

}  // namespace
}  // namespace zor::frame
