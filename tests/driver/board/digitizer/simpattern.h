// What the simulated board draws into a frame: a diagonal ramp that moves
// four steps a frame, colour bars on the right and the frame number at (8, 8).
#pragma once

#include <cstdint>

namespace zor::board {

// The frame number drawn into an 8-bit plane that holds the whole frame; -1
// when a cell holds no digit.
int64_t FrameNumber(const uint8_t* plane, uint64_t pitch);

// The ramp's value at (x, y) of the camera frame.
uint8_t Ramp(int64_t frame, uint64_t x, uint64_t y);

}  // namespace zor::board
