// A double given where an operation takes an integer, and the words an operation is handed.
#include "driver/frameworkuser/dispatch/argumentbuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "driver/frameworkuser/command/commandwrapper.h"

namespace zor::frame {
namespace {

// The value thread control receives when the host sends it as a double.
int64_t ThreadControlValue(double value) {
  QDCommandRecord record{};
  record.header = QD_RECORD_HEADER;
  record.operation = 0x2E02;
  record.paramCount = 3;
  record.params[2].type = QD_TYPE_DOUBLE;
  record.params[2].value.real = value;
  QDCommandWrapper command(&record);
  const OpcodeEntry* entry = FindOpcodeEntry(command, false);
  if (entry == nullptr) {
    ADD_FAILURE() << "no entry for thread control";
    return 0;
  }
  return BuildArguments(*entry, command).Int(2);
}

TEST(ArgumentBuilder, DoubleIsTruncatedAndClampedToTheIntegerRange) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(ThreadControlValue(2.9), 2);
  EXPECT_EQ(ThreadControlValue(-2.9), -2);
  EXPECT_EQ(ThreadControlValue(-9223372036854775808.0), kMin);
  // No integer holds these; converting them would be undefined.
  EXPECT_EQ(ThreadControlValue(9223372036854775808.0), kMax);
  EXPECT_EQ(ThreadControlValue(1e300), kMax);
  EXPECT_EQ(ThreadControlValue(-1e300), kMin);
  EXPECT_EQ(ThreadControlValue(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(ThreadControlValue(-std::numeric_limits<double>::infinity()), kMin);
  EXPECT_EQ(ThreadControlValue(std::numeric_limits<double>::quiet_NaN()), 0);
}

// The arguments an operation is handed hold at most kCapacity words; more are dropped, and a
// word beyond the count reads as 0.
TEST(OperationArgs, WordsBeyondTheCapacityAreDropped) {
  OperationArgs args;
  for (int64_t i = 0; i <= static_cast<int64_t>(OperationArgs::kCapacity); ++i) args.Push(100 + i);
  EXPECT_EQ(args.Count(), OperationArgs::kCapacity);
  EXPECT_EQ(args.Int(OperationArgs::kCapacity - 1),
            99 + static_cast<int64_t>(OperationArgs::kCapacity));
  EXPECT_EQ(args.Int(OperationArgs::kCapacity), 0);
  EXPECT_EQ(args.Value(OperationArgs::kCapacity).value, 0);
  EXPECT_EQ(args.Value(OperationArgs::kCapacity).kind, 0);
}

}  // namespace
}  // namespace zor::frame
