// Digitizer reads through libZOR.so on one thread and on eight, each thread
// on a digitizer of its own on one sixteen-channel board. Wall time falls
// with free cores; CPU time per read does not, so the eight threads' CPU per
// read is reported beside the one thread's, and the wall-time speed-up beside
// that.
#include <benchmark/benchmark.h>

#include <atomic>
#include <barrier>
#include <filesystem>
#include <thread>
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

// Reads of one digitizer on its own thread.
struct Reader {
  QID digitizer = 0;
  double cpuUs = 0;
  int64_t reads = 0;

  void Read(int count) {
    QINT64 value = 0;
    const double start = zorbench::Times::Now().cpuUs;
    for (int i = 0; i < count; ++i)
      benchmark::DoNotOptimize(QdigInquire(digitizer, Q_SIZE_X, &value));
    cpuUs += zorbench::Times::Now().cpuUs - start;
    reads += count;
  }
};

// One thread reads alone, then all eight read at once, in turns of a few thousand reads each, so
// that both meet the same machine: CPU per read on eight threads over one thread's, and the wall
// time of a turn of eight over a turn of one (8 on eight free cores, 1 on none).
void BM_DigitizerInquireSizeX(benchmark::State& state) {
  constexpr int kReadsPerTurn = 4000;
  const std::vector<QID>& digitizers = Digitizers();
  if (digitizers.size() != kDigitizers) {
    state.SkipWithError("no digitizers");
    return;
  }
  std::vector<Reader> alone(1), together(kDigitizers);
  for (int i = 0; i < kDigitizers; ++i)
    together[static_cast<size_t>(i)].digitizer = digitizers[static_cast<size_t>(i)];
  alone[0].digitizer = digitizers[0];
  double aloneWallUs = 0;
  double togetherWallUs = 0;
  std::atomic<bool> stop{false};
  std::barrier start(kDigitizers);
  std::barrier finish(kDigitizers);
  std::vector<std::thread> threads;
  for (int i = 1; i < kDigitizers; ++i) {
    threads.emplace_back([&, i] {
      for (;;) {
        start.arrive_and_wait();
        if (stop.load()) return;
        together[static_cast<size_t>(i)].Read(kReadsPerTurn);
        finish.arrive_and_wait();
      }
    });
  }
  for (auto _ : state) {
    const double aloneStart = zorbench::Times::Now().wallUs;
    alone[0].Read(kReadsPerTurn);
    const double togetherStart = zorbench::Times::Now().wallUs;
    aloneWallUs += togetherStart - aloneStart;
    start.arrive_and_wait();
    together[0].Read(kReadsPerTurn);
    finish.arrive_and_wait();
    togetherWallUs += zorbench::Times::Now().wallUs - togetherStart;
  }
  stop = true;
  start.arrive_and_wait();
  for (std::thread& thread : threads) thread.join();
  double togetherCpuUs = 0;
  int64_t togetherReads = 0;
  for (const Reader& reader : together) {
    togetherCpuUs += reader.cpuUs;
    togetherReads += reader.reads;
  }
  const double oneCpuNs = alone[0].cpuUs * 1e3 / static_cast<double>(alone[0].reads);
  const double eightCpuNs = togetherCpuUs * 1e3 / static_cast<double>(togetherReads);
  state.counters["cpu_ns_per_read_1_thread"] = oneCpuNs;
  state.counters["cpu_ns_per_read_8_threads"] = eightCpuNs;
  state.counters["cpu_vs_1_thread"] = eightCpuNs / oneCpuNs;
  // A turn of eight does eight times the reads of a turn of one.
  state.counters["wall_speedup"] = aloneWallUs * kDigitizers / togetherWallUs;
}
BENCHMARK(BM_DigitizerInquireSizeX)->Unit(benchmark::kMillisecond);

}  // namespace
