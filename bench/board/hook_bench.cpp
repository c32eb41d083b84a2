// The latency from a board event to the user's hook function through
// libZOR.so, the driver's hook thread and the simulated board.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "interfaces/kernel/deviceevent.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr QINT64 kFrameStart = 13;
constexpr uint64_t kFrameStartEvent = 0x10090000;

std::atomic<int64_t> g_arrived{0};

QINT64 OnFrameStart(QINT64, QID, void*) {
  g_arrived.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
  return 0;
}

QID HookedDigitizer() {
  static const QID digitizer = [] {
    const std::filesystem::path folder = zorbench::MakeBenchEnvironment("zorhookbench");
    if (folder.empty()) return QID{0};
    boardsim::ShareBoards();
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    QID dig = 0;
    QdigAlloc(system, 0, L"Q_NTSC", Q_DEFAULT, &dig);
    QdigHookFunction(dig, kFrameStart, &OnFrameStart, nullptr);
    return dig;
  }();
  return digitizer;
}

void BM_BoardEventToHookFunction(benchmark::State& state) {
  if (HookedDigitizer() == 0) {
    state.SkipWithError("no digitizer");
    return;
  }
  boardsim::Board& board = *boardsim::LocalBoards().Find(0);
  zor::kernel::BoardEventPayload payload{};
  payload.size = zor::kernel::kBoardEventSize;
  for (auto _ : state) {
    g_arrived.store(0, std::memory_order_relaxed);
    const Clock::time_point raised = Clock::now();
    board.RaiseEvent(kFrameStartEvent, payload);
    int64_t arrived = 0;
    while ((arrived = g_arrived.load(std::memory_order_acquire)) == 0) {
    }
    const auto latency = Clock::duration(arrived) - raised.time_since_epoch();
    state.SetIterationTime(std::chrono::duration<double>(latency).count());
  }
}
BENCHMARK(BM_BoardEventToHookFunction)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ComputeStatistics("median", [](const std::vector<double>& v) {
      std::vector<double> sorted = v;
      std::sort(sorted.begin(), sorted.end());
      return sorted[sorted.size() / 2];
    });

}  // namespace
