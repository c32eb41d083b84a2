// How a digitizer's frame is split into strips for the board, and the
// decimation factors the board supports.
#pragma once

#include <cstdint>
#include <utility>

#include "interfaces/kernel/digitizerrecord.h"

namespace zor::board {

// Lays out `count` strips per field over a frame of `height` lines whose sizes
// follow a geometric series of ratio `ratio` (0: equal strips). Counts that do
// not fit the record's rows lay out nothing.
void LayOutStrips(kernel::DigChannelRecord& record, uint64_t height, int count, uint32_t ratio);

// The strip counts of the first and second field for a frame height.
std::pair<uint32_t, uint32_t> StripCounts(uint64_t height);

// The largest of 1, 1/2 ... 1/16 that is not above the ratio (the ratio itself
// below 1/16).
double QuantizeDecimation(double ratio);
// Whether a value is one of 1/n, n = 1 to 16.
bool IsSupportedDecimation(double value);

}  // namespace zor::board
