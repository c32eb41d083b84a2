// Lays a frame out in strips for the board and checks and rounds decimation factors.
#include "driver/board/digitizer/strips.h"

#include <cmath>

#include "driver/foundation/integerchecks.h"

namespace zor::board {

namespace {

constexpr int kMostDecimation = 16;

// Lines of strip k (counted down from n) of a part of `total` lines.
double StripSize(uint32_t ratio, uint64_t total, int k, int n) {
  if (ratio == 0) return static_cast<double>(total / static_cast<uint64_t>(n));
  const double q = static_cast<double>(ratio) / n;
  return std::trunc(q * static_cast<double>(total) * std::pow(1 + q, k - 1) /
                    (std::pow(1 + q, n) - 1));
}

void LayOutPart(kernel::DigChannelRecord& record, size_t firstRow, uint64_t total, int count,
                uint32_t ratio, bool roundToEven) {
  uint64_t sum = 0;
  for (int i = 0; i < count; ++i) {
    uint64_t size =
        foundation::TruncateSaturated<uint64_t>(StripSize(ratio, total, count - i, count), 0);
    if (roundToEven && size % 2 != 0) ++size;
    kernel::StripRow& row = record.strips[firstRow + static_cast<size_t>(i)];
    row.lineCount = size;
    row.firstLine = sum;
    sum += size;
  }
  if (count > 0 && sum != total) {
    kernel::StripRow& last = record.strips[firstRow + static_cast<size_t>(count) - 1];
    last.lineCount += total - sum;  // unsigned wrap gives the difference either way
  }
}

}  // namespace

void LayOutStrips(kernel::DigChannelRecord& record, uint64_t height, int count, uint32_t ratio) {
  for (kernel::StripRow& row : record.strips) row = {};
  if (count < 1 || static_cast<size_t>(2 * count) > kernel::kStripRows) return;
  LayOutPart(record, 0, height, count, ratio, height % 2 == 0);
  LayOutPart(record, static_cast<size_t>(count), height / 2, count, ratio, (height & 2) == 0);
}

std::pair<uint32_t, uint32_t> StripCounts(uint64_t height) {
  uint32_t first = 15;
  if (height < 201) {
    first = 2;
  } else if (height < 601) {
    first = 3;
  } else if (height < 1025) {
    first = 4;
  } else if (height < 2049) {
    first = 5;
  } else if (height < 3073) {
    first = 6;
  } else if (height < 4097) {
    first = 7;
  } else if (height < 6145) {
    first = 8;
  } else if (height <= 8192) {
    first = 9;
  }
  const uint64_t half = height / 2;
  const uint32_t second = half < 201 ? 2 : half < 601 ? 3 : half <= 1024 ? 4 : 5;
  return {first, second};
}

double QuantizeDecimation(double ratio) {
  for (int n = 1; n < kMostDecimation; ++n) {
    if (1.0 / n <= ratio) return 1.0 / n;
  }
  return ratio > 1.0 / kMostDecimation ? 1.0 / kMostDecimation : ratio;
}

bool IsSupportedDecimation(double value) {
  for (int n = 1; n <= kMostDecimation; ++n) {
    if (value == 1.0 / n) return true;
  }
  return false;
}

}  // namespace zor::board
