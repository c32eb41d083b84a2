// Digitizer reads through libZOR.so on one thread and on eight, each thread
// on a digitizer of its own on one sixteen-channel board. Wall time falls
// with free cores; CPU time per read does not, so the eight-thread run
// reports its CPU per read beside the one-thread run's, and its wall-time
// ratio beside that.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "bench/support/times.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

constexpr int kDigitizers = 8;
constexpr uint64_t kSixteenChannels = 0x40000;

std::vector<QID> Digitizers() {
  static const std::vector<QID> digitizers = [] {
    std::vector<QID> made;
    if (zorbench::MakeBenchEnvironment("zorscalingbench").empty()) return made;
    boardsim::ShareBoards();
    boardsim::LocalBoards().Find(0)->SetCapabilities(kSixteenChannels);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    for (QINT64 channel = 0; system != 0 && channel < kDigitizers; ++channel) {
      const QID digitizer = QdigAlloc(system, channel, L"Q_NTSC", Q_DEFAULT, nullptr);
      if (digitizer == 0) return std::vector<QID>{};
      made.push_back(digitizer);
    }
    return made;
  }();
  return digitizers;
}

// The one-thread run's figures, the reference of the eight-thread run.
std::atomic<double> g_oneThreadCpuNs{0};
std::atomic<double> g_oneThreadWallNs{0};

void BM_DigitizerInquireSizeX(benchmark::State& state) {
  const std::vector<QID>& digitizers = Digitizers();
  if (digitizers.size() != kDigitizers) {
    state.SkipWithError("no digitizers");
    return;
  }
  const QID digitizer = digitizers[static_cast<size_t>(state.thread_index()) % kDigitizers];
  QINT64 value = 0;
  const zorbench::Times start = zorbench::Times::Now();
  for (auto _ : state) benchmark::DoNotOptimize(QdigInquire(digitizer, Q_SIZE_X, &value));
  const zorbench::Times perRead =
      zorbench::Times::Now().Per(start, static_cast<double>(state.iterations()));
  const double cpuPerRead = perRead.cpuUs * 1000;
  const double wallPerRead = perRead.wallUs * 1000;
  state.SetItemsProcessed(state.iterations());
  // Averaged over the threads: each ran as many reads.
  state.counters["cpu_ns_per_read"] =
      benchmark::Counter(cpuPerRead, benchmark::Counter::kAvgThreads);
  state.counters["wall_ns_per_read"] =
      benchmark::Counter(wallPerRead, benchmark::Counter::kAvgThreads);
  if (state.threads() == 1) {
    g_oneThreadCpuNs = cpuPerRead;
    g_oneThreadWallNs = wallPerRead;
  } else if (g_oneThreadCpuNs > 0) {
    state.counters["cpu_vs_1_thread"] =
        benchmark::Counter(cpuPerRead / g_oneThreadCpuNs, benchmark::Counter::kAvgThreads);
    state.counters["wall_vs_1_thread"] =
        benchmark::Counter(wallPerRead / g_oneThreadWallNs, benchmark::Counter::kAvgThreads);
  }
}
BENCHMARK(BM_DigitizerInquireSizeX)->Threads(1)->Threads(kDigitizers)->UseRealTime();

}  // namespace
