// A double given where an operation takes an integer, and the words an operation is handed.
#include "driver/frameworkuser/dispatch/argumentbuilder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
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

// A double converts as a truncating cast does within int64_t's range; beyond it the value
// saturates, and NaN gives the lowest value, which the controls' range checks refuse. Thread
// control, given a double, takes the same value but for NaN, which it takes as 0.
TEST(ValueRecordTest, ConversionsAtTheEdgesOfInt64) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const double twoTo63 = std::ldexp(1.0, 63);
  struct Case {
    double value;
    int64_t integer;
    int64_t threadControl;
  };
  const Case cases[] = {
      {0.0, 0, 0},
      {-0.0, 0, 0},
      {2.9, 2, 2},
      {-0.5, 0, 0},
      {-1.5, -1, -1},
      {-2.9, -2, -2},
      {std::nextafter(twoTo63, 0.0), kMax - 1023, kMax - 1023},  // the largest double in range
      {twoTo63, kMax, kMax},
      {-twoTo63, kMin, kMin},
      {std::nextafter(-twoTo63, -kInfinity), kMin, kMin},
      {static_cast<double>(kMax), kMax, kMax},
      {static_cast<double>(kMin), kMin, kMin},
      {1e300, kMax, kMax},
      {-1e300, kMin, kMin},
      {kInfinity, kMax, kMax},
      {-kInfinity, kMin, kMin},
      {std::numeric_limits<double>::quiet_NaN(), kMin, 0},
      {-std::numeric_limits<double>::quiet_NaN(), kMin, 0},
  };
  for (const Case& c : cases) {
    const ValueRecord record{std::bit_cast<int64_t>(c.value), kValueDouble};
    EXPECT_EQ(record.AsInteger(), c.integer) << c.value;
    EXPECT_EQ(ThreadControlValue(c.value), c.threadControl) << c.value;
    if (!std::isnan(c.value)) {
      EXPECT_EQ(record.AsDouble(), c.value);
    }
  }
}

TEST(ValueRecordTest, AnIntegerStaysWhatItIs) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  // Converted, never read as the bits of a double (42's bits are a tiny double).
  for (int64_t value :
       {int64_t{0}, int64_t{-1}, int64_t{42}, kMax, std::numeric_limits<int64_t>::min()}) {
    const ValueRecord record{value, kValueInteger};
    EXPECT_EQ(record.AsInteger(), value);
    EXPECT_EQ(record.AsDouble(), static_cast<double>(value));
  }
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
  const ValueRecord beyond = args.Value(OperationArgs::kCapacity);
  EXPECT_EQ((std::pair{beyond.value, beyond.kind}), (std::pair<int64_t, int64_t>{0, 0}));
}

}  // namespace
}  // namespace zor::frame
