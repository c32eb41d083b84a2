// The per-opcode timing records, laid out by opcode group, and the statistics switch.
#include "driver/frameworkuser/timing/opcodetiming.h"

#include <array>
#include <atomic>
#include <mutex>

#include "driver/frameworkuser/driver/driverwrapper.h"

namespace zor::frame {
namespace {

constexpr int kGroupCount = 128;

// Records per opcode group (bits 9 to 15); groups with 0 are not timed.
constexpr std::array<int64_t, kGroupCount> BuildGroupCounts() {
  std::array<int64_t, kGroupCount> counts{};
  constexpr int64_t kCounts[][2] = {
      {0x0000, 8}, {0x0200, 51}, {0x0400, 14}, {0x0600, 17}, {0x0800, 34}, {0x0A00, 5},
      {0x0C00, 6}, {0x0E00, 13}, {0x1000, 17}, {0x1200, 11}, {0x1400, 5},  {0x1600, 3},
      {0x1800, 5}, {0x1A00, 19}, {0x1C00, 3},  {0x2000, 5},  {0x2200, 6},  {0x2800, 14},
      {0x2C00, 5}, {0x8000, 19}, {0x8200, 14}, {0x8400, 19}, {0x8600, 9},  {0x8800, 20},
      {0x8A00, 1}, {0x8C00, 30}, {0x8E00, 14}, {0x9400, 12}};
  for (const auto& group : kCounts) counts[group[0] >> 9] = group[1];
  return counts;
}
constexpr std::array<int64_t, kGroupCount> kGroupCounts = BuildGroupCounts();

constexpr std::array<int64_t, kGroupCount + 1> BuildOffsets() {
  std::array<int64_t, kGroupCount + 1> offsets{};
  for (int i = 0; i < kGroupCount; ++i) offsets[i + 1] = offsets[i] + kGroupCounts[i];
  return offsets;
}
constexpr std::array<int64_t, kGroupCount + 1> kOffsets = BuildOffsets();

std::array<OpcodeTiming, kOffsets[kGroupCount]> g_timings ZOR_GUARDED_BY(GlobalDriverLock()){};
std::atomic<bool> g_statisticsOn{false};

// The opcode's record, or null when its group does not time it.
OpcodeTiming* Find(uint16_t opcode) ZOR_REQUIRES(GlobalDriverLock()) {
  const int group = (opcode >> 9) & 0x7F;
  const int64_t index = opcode & 0x1FF;
  if (index >= kGroupCounts[group]) return nullptr;
  return &g_timings[static_cast<std::size_t>(kOffsets[group] + index)];
}

}  // namespace

bool TimingStatisticsOn() { return g_statisticsOn.load(std::memory_order_relaxed); }

void EnableTimingStatistics() { g_statisticsOn.store(true, std::memory_order_relaxed); }

void RecordOpcodeTiming(uint16_t opcode, uint64_t start, uint64_t end) {
  const int64_t elapsed = static_cast<int64_t>(end - start);
  foundation::ScopedLock lock(GlobalDriverLock());
  OpcodeTiming* timing = Find(opcode);
  if (timing == nullptr) return;
  timing->totalTicks += elapsed;
  if (elapsed > timing->maximumTicks) timing->maximumTicks = elapsed;
  // 0 stands for "none yet", so a call too short to measure cannot become the
  // minimum: it would read as unset and be replaced by the next longer call.
  if (elapsed > 0 && (timing->minimumTicks == 0 || elapsed < timing->minimumTicks)) {
    timing->minimumTicks = elapsed;
  }
  ++timing->calls;
}

OpcodeTiming GetOpcodeTiming(uint16_t opcode) {
  foundation::ScopedLock lock(GlobalDriverLock());
  const OpcodeTiming* timing = Find(opcode);
  return timing != nullptr ? *timing : OpcodeTiming{};
}

}  // namespace zor::frame
