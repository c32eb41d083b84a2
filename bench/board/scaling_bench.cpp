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

// Time and reads of one kind of turn.
struct Tally {
  double cpuUs = 0;
  double wallUs = 0;
  int64_t reads = 0;
};

// A digitizer's thread and what it read alone and with the seven others; a line of its own, as
// every thread adds to its tallies at the end of each turn.
struct alignas(64) Reader {
  QID digitizer = 0;
  Tally alone;
  Tally together;

  void Read(int count, Tally& tally) const {
    QINT64 value = 0;
    const zorbench::Times start = zorbench::Times::Now();
    for (int i = 0; i < count; ++i)
      benchmark::DoNotOptimize(QdigInquire(digitizer, Q_SIZE_X, &value));
    const zorbench::Times end = zorbench::Times::Now();
    tally.cpuUs += end.cpuUs - start.cpuUs;
    tally.wallUs += end.wallUs - start.wallUs;
    tally.reads += count;
  }
};

Tally Sum(const std::vector<Reader>& readers, Tally Reader::*kind) {
  Tally sum;
  for (const Reader& reader : readers) {
    sum.cpuUs += (reader.*kind).cpuUs;
    sum.wallUs += (reader.*kind).wallUs;
    sum.reads += (reader.*kind).reads;
  }
  return sum;
}

// In each turn one thread reads alone, then all eight read at once, a few thousand reads each, so
// that both meet the same machine: CPU per read on eight threads over one thread's, and the wall
// time of a turn of eight over a turn of one (8 on eight free cores, 1 on none). The lone reader
// goes round the threads: every thread waits out the lone turns of the others, and a thread that
// never waited, on a core of its own, would make the one-thread figure that of its core alone.
void BM_DigitizerInquireSizeX(benchmark::State& state) {
  constexpr int kReadsPerTurn = 4000;
  const std::vector<QID>& digitizers = Digitizers();
  if (digitizers.size() != kDigitizers) {
    state.SkipWithError("no digitizers");
    return;
  }
  std::vector<Reader> readers(kDigitizers);
  for (size_t i = 0; i < readers.size(); ++i) readers[i].digitizer = digitizers[i];
  double togetherWallUs = 0;
  std::atomic<bool> stop{false};
  std::barrier start(kDigitizers);
  std::barrier loneDone(kDigitizers);
  std::barrier finish(kDigitizers);
  // The lone turn of `number`, then every thread waits for its end.
  const auto turn = [&](int64_t number, size_t reader) {
    if (number % kDigitizers == static_cast<int64_t>(reader))
      readers[reader].Read(kReadsPerTurn, readers[reader].alone);
    loneDone.arrive_and_wait();
  };
  std::vector<std::thread> threads;
  for (size_t i = 1; i < kDigitizers; ++i) {
    threads.emplace_back([&, i] {
      for (int64_t number = 0;; ++number) {
        start.arrive_and_wait();
        if (stop.load()) return;
        turn(number, i);
        readers[i].Read(kReadsPerTurn, readers[i].together);
        finish.arrive_and_wait();
      }
    });
  }
  // The main thread is reader 0 and keeps the wall time of the turns of eight.
  int64_t number = 0;
  for (auto _ : state) {
    start.arrive_and_wait();
    turn(number++, 0);
    const double togetherStart = zorbench::Times::Now().wallUs;
    readers[0].Read(kReadsPerTurn, readers[0].together);
    finish.arrive_and_wait();
    togetherWallUs += zorbench::Times::Now().wallUs - togetherStart;
  }
  stop = true;
  start.arrive_and_wait();
  for (std::thread& thread : threads) thread.join();
  const Tally alone = Sum(readers, &Reader::alone);
  const Tally together = Sum(readers, &Reader::together);
  const double oneCpuNs = alone.cpuUs * 1e3 / static_cast<double>(alone.reads);
  const double eightCpuNs = together.cpuUs * 1e3 / static_cast<double>(together.reads);
  state.counters["cpu_ns_per_read_1_thread"] = oneCpuNs;
  state.counters["cpu_ns_per_read_8_threads"] = eightCpuNs;
  state.counters["cpu_vs_1_thread"] = eightCpuNs / oneCpuNs;
  // Reads per wall time on eight threads over one thread's.
  state.counters["wall_speedup"] = alone.wallUs / static_cast<double>(alone.reads) *
                                   static_cast<double>(together.reads) / togetherWallUs;
}
BENCHMARK(BM_DigitizerInquireSizeX)->Unit(benchmark::kMillisecond);

}  // namespace
