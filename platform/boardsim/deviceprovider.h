// The simulated boards as devices of the operating-system layer:
// "\\.\DRAVIONLYN_n" opens board n.
#pragma once

#include <cstdint>

#include "platform/boardsim/board.h"

namespace boardsim {

// Environment: the number of boards (default 1, at most 16), a frame period
// for every board in microseconds (default: the video standard's), and the
// boards another module of the process shares (see ShareBoards).
inline constexpr const char* kBoardCountVariable = "ZOR_BOARDSIM_BOARDS";
inline constexpr const char* kFrameTimeVariable = "ZOR_BOARDSIM_FRAME_US";
inline constexpr const char* kSharedBoardsVariable = "ZOR_BOARDSIM_HUB";

class BoardSet {
 public:
  virtual ~BoardSet() = default;
  // Null when the unit does not exist.
  virtual Board* Find(uint32_t unit) = 0;
};

// This module's boards, made on first use; they live as long as the process,
// as the kernel driver would.
BoardSet& LocalBoards();

// Registers the device name with this module's operating-system layer. The
// simulator also does it when the module loads.
void RegisterBoardDevices();

// Makes every module of the process that opens a board open this module's
// boards, so a test reaches the boards that a driver library uses.
void ShareBoards();

}  // namespace boardsim
