// Per-opcode timing of the commands, booked when the statistics are on.
#pragma once

#include <cstdint>

namespace zor::frame {

struct OpcodeTiming {
  int64_t totalTicks = 0;
  int64_t minimumTicks = 0;  // 0 until a call with a positive time is booked
  int64_t maximumTicks = 0;
  int64_t calls = 0;
};

bool TimingStatisticsOn();
// The board system turns the statistics on from its configuration; nothing
// turns them off.
void EnableTimingStatistics();

// Books one call; opcodes outside the timed groups are not booked.
void RecordOpcodeTiming(uint16_t opcode, uint64_t start, uint64_t end);
// The opcode's record, or zeros when the opcode has none.
OpcodeTiming GetOpcodeTiming(uint16_t opcode);

}  // namespace zor::frame
