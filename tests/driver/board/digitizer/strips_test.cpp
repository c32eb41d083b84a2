// Strip counts on both sides of every height bound, strips laid out over both fields, and the
// decimation factors the board takes.
#include "driver/board/digitizer/strips.h"

#include <gtest/gtest.h>

#include <vector>

namespace zor::board {
namespace {

TEST(Strips, CountsFollowTheFrameAndFieldHeights) {
  const struct {
    uint64_t height;
    uint32_t first, second;
  } cases[] = {
      {200, 2, 2},  {201, 3, 2},  {401, 3, 2},   {402, 3, 3},  {600, 3, 3},  {601, 4, 3},
      {1024, 4, 3}, {1025, 5, 3}, {1201, 5, 3},  {1202, 5, 4}, {2048, 5, 4}, {2049, 6, 4},
      {2050, 6, 5}, {3072, 6, 5}, {3073, 7, 5},  {4096, 7, 5}, {4097, 8, 5}, {6144, 8, 5},
      {6145, 9, 5}, {8192, 9, 5}, {8193, 15, 5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StripCounts(c.height), std::make_pair(c.first, c.second)) << c.height;
  }
}

// Each field's strips as (lines, first line), the first field's rows then the second's; a part
// of an even frame height rounds its strips to even line counts, the last strip taking the rest.
TEST(Strips, LayOutCoversBothFields) {
  using Rows = std::vector<std::pair<uint64_t, uint64_t>>;
  const struct {
    uint64_t height;
    int count;
    uint32_t ratio;
    Rows rows;
  } cases[] = {
      {480, 3, 0, {{160, 0}, {160, 160}, {160, 320}, {80, 0}, {80, 80}, {80, 160}}},
      {482,
       4,
       0,
       {{120, 0}, {120, 120}, {120, 240}, {122, 360}, {60, 0}, {60, 60}, {60, 120}, {61, 180}}},
      {102, 2, 0, {{52, 0}, {50, 52}, {25, 0}, {26, 25}}},
      {100, 2, 1, {{60, 0}, {40, 60}, {30, 0}, {20, 30}}},
      {480, 0, 0, {}},
      {480, 8, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.height << " " << c.count);
    kernel::DigChannelRecord record{};
    for (kernel::StripRow& row : record.strips) row.lineCount = row.firstLine = 99;
    LayOutStrips(record, c.height, c.count, c.ratio);
    for (size_t i = 0; i < kernel::kStripRows; ++i) {
      const auto expected =
          i < c.rows.size() ? c.rows[i] : std::make_pair(uint64_t{0}, uint64_t{0});
      EXPECT_EQ(std::make_pair(record.strips[i].lineCount, record.strips[i].firstLine), expected)
          << i;
    }
  }
  kernel::DigChannelRecord most{};
  LayOutStrips(most, 700, 7, 0);
  EXPECT_EQ(most.strips[6].lineCount, 100u) << "seven strips a field still fit";
  EXPECT_EQ(most.strips[13].lineCount, 50u);
}

TEST(Strips, DecimationIsOneOverUpToSixteen) {
  const std::pair<double, double> quantized[] = {{1.0, 1.0},        {0.5, 0.5},
                                                 {0.4, 1.0 / 3},    {1.0 / 15, 1.0 / 15},
                                                 {0.065, 1.0 / 16}, {0.01, 0.01}};
  for (const auto& [ratio, expected] : quantized) EXPECT_EQ(QuantizeDecimation(ratio), expected);
  for (int n = 1; n <= 16; ++n) EXPECT_TRUE(IsSupportedDecimation(1.0 / n)) << n;
  EXPECT_FALSE(IsSupportedDecimation(1.0 / 17));
  EXPECT_FALSE(IsSupportedDecimation(0.4));
}

}  // namespace
}  // namespace zor::board
