// How a digitizer's frame is split into strips for the board, and the
// decimation factors the board supports.
#pragma once

#include <cstdint>

#include "interfaces/kernel/digitizerrecord.h"

namespace zor::board {

// Lays out `count` strips per field over a frame of `height` lines whose sizes
// follow a geometric series of ratio `ratio` (0: equal strips). Counts that do
// not fit the record's rows lay out nothing.
void LayOutStrips(kernel::DigChannelRecord& record, uint64_t height, int count, uint32_t ratio);

// Whether a value is one of 1/n, n = 1 to 16.
bool IsSupportedDecimation(double value);

}  // namespace zor::board
