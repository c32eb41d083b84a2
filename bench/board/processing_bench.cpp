// Sustained grab processing through libZOR.so: 640 x 480 mono frames into a
// ring of 8 buffers with the simulated board writing frames as fast as it
// can and at 1,000 frames a second, sixteen digitizers at 1,000 frames a
// second each, and a board region copy beside memcpy of the same bytes. The
// CPU time of a frame is split between the board's clocks (writing the
// pattern, the simulator's share) and every other thread (driver and host).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "bench/support/threadcpu.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

constexpr QINT64 kWidth = 640;
constexpr QINT64 kHeight = 480;
constexpr QINT64 kRing = 8;
constexpr QINT64 kFrames = 1000;
constexpr QINT64 kSequence = 8;
constexpr QINT64 kSynchronous = 1;
constexpr QINT64 kFramesMissed = 5334;

constexpr QINT64 kDigitizers = 16;
constexpr uint64_t kSixteenChannels = 0x40000;

struct Bench {
  Bench() {
    if (zorbench::MakeBenchEnvironment("zorprocessbench").empty()) return;
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    // The driver library serves this process's boards, whose clock the bench sets.
    boardsim::ShareBoards();
    boardsim::LocalBoards().Find(0)->SetCapabilities(kSixteenChannels);
    system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    if (system == 0) return;
    for (QINT64 channel = 0; channel < kDigitizers; ++channel) {
      digitizers.push_back(QdigAlloc(system, channel, L"Q_NTSC", Q_DEFAULT, nullptr));
      rings.emplace_back();
      for (QINT64 i = 0; i < kRing; ++i) {
        rings.back().push_back(
            QbufAllocColor(system, 1, kWidth, kHeight, 8, Q_IMAGE | Q_GRAB | 0x40000, nullptr));
      }
    }
    digitizer = digitizers.front();
    ring = rings.front();
  }
  QID system = 0;
  QID digitizer = 0;
  std::vector<QID> ring;
  std::vector<QID> digitizers;
  std::vector<std::vector<QID>> rings;
};

Bench& Setup() {
  static Bench* bench = new Bench;  // lives as long as the board
  return *bench;
}

QINT64 CountFrame(QINT64, QID, void* user) {
  ++*static_cast<std::atomic<int64_t>*>(user);
  return 0;
}

// Argument: the board's frame period in microseconds (1: as fast as it can).
void BM_ProcessMonoFramesIntoRingOf8(benchmark::State& state) {
  Bench& bench = Setup();
  if (bench.digitizer == 0) {
    state.SkipWithError("no digitizer");
    return;
  }
  boardsim::LocalBoards().Find(0)->SetFrameTime(static_cast<uint32_t>(state.range(0)));
  std::atomic<int64_t> frames{0};
  int64_t lost = 0;
  int64_t missed = 0;
  const zorbench::ThreadCpu before = zorbench::ProcessThreadCpu(boardsim::kClockThreadName);
  for (auto _ : state) {
    frames = 0;
    QdigProcess(bench.digitizer, bench.ring.data(), kRing, kSequence + (kFrames << 5), kSynchronous,
                &CountFrame, &frames);
    lost += kFrames - frames.load();
    QINT64 notGrabbed = 0;
    QdigInquire(bench.digitizer, kFramesMissed, &notGrabbed);
    missed += notGrabbed;
  }
  const zorbench::ThreadCpu after = zorbench::ProcessThreadCpu(boardsim::kClockThreadName);
  boardsim::LocalBoards().Find(0)->SetFrameTime(1);
  state.SetItemsProcessed(state.iterations() * kFrames);
  const double frameCount = static_cast<double>(state.iterations() * kFrames);
  state.counters["host_driver_cpu_us"] =
      static_cast<double>(after.others - before.others) / 1000.0 / frameCount;
  state.counters["board_cpu_us"] =
      static_cast<double>(after.named - before.named) / 1000.0 / frameCount;
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations() * kFrames),
                                             benchmark::Counter::kIsRate);
  state.counters["us_per_frame"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kFrames),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["lost"] = static_cast<double>(lost);
  state.counters["missed"] = static_cast<double>(missed);
}
BENCHMARK(BM_ProcessMonoFramesIntoRingOf8)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
// 1000 frames per second: every frame the board makes is processed.
BENCHMARK(BM_ProcessMonoFramesIntoRingOf8)
    ->Arg(1000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// When each frame of one digitizer's run reaches its processing function.
struct Arrivals {
  std::vector<std::chrono::steady_clock::time_point> times;
};

QINT64 RecordArrival(QINT64, QID, void* user) {
  static_cast<Arrivals*>(user)->times.push_back(std::chrono::steady_clock::now());
  return 0;
}

// Frames that reached the application more than a frame period after their
// place in a schedule that starts with the run's first frame.
int64_t LateFrames(const Arrivals& arrivals, std::chrono::microseconds period) {
  int64_t late = 0;
  for (size_t i = 1; i < arrivals.times.size(); ++i) {
    const auto due = arrivals.times.front() + period * static_cast<int64_t>(i);
    if (arrivals.times[i] > due + period) ++late;
  }
  return late;
}

// Sixteen digitizers of one board, each processed by a thread of its own at
// 1,000 frames a second: every frame arrives, and on time.
void BM_Process16DigitizersAt1000Fps(benchmark::State& state) {
  Bench& bench = Setup();
  const auto index = static_cast<size_t>(state.thread_index());
  if (bench.digitizers.size() != kDigitizers || bench.digitizers[index] == 0) {
    state.SkipWithError("no digitizers");
    return;
  }
  constexpr auto kPeriod = std::chrono::microseconds(1000);
  if (state.thread_index() == 0) {
    boardsim::LocalBoards().Find(0)->SetFrameTime(static_cast<uint32_t>(kPeriod.count()));
  }
  int64_t lost = 0;
  int64_t late = 0;
  for (auto _ : state) {
    Arrivals arrivals;
    arrivals.times.reserve(kFrames);
    QdigProcess(bench.digitizers[index], bench.rings[index].data(), kRing,
                kSequence + (kFrames << 5), kSynchronous, &RecordArrival, &arrivals);
    lost += kFrames - static_cast<int64_t>(arrivals.times.size());
    late += LateFrames(arrivals, kPeriod);
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  state.counters["lost"] = static_cast<double>(lost);
  state.counters["late"] = static_cast<double>(late);
}
BENCHMARK(BM_Process16DigitizersAt1000Fps)
    ->Threads(kDigitizers)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BoardRegionCopy(benchmark::State& state) {
  Bench& bench = Setup();
  const QID source =
      QbufAllocColor(bench.system, 1, kWidth / 2, kHeight / 2, 8, Q_IMAGE | 0x80000, nullptr);
  const QID destination = QbufAllocColor(bench.system, 1, kWidth / 2, kHeight / 2, 8,
                                         Q_IMAGE | 0x200 | 0x200000, nullptr);
  if (source == 0 || destination == 0) {
    state.SkipWithError("no buffers");
    return;
  }
  for (auto _ : state) QbufCopy(source, destination);
  state.SetBytesProcessed(state.iterations() * (kWidth / 2) * (kHeight / 2));
  QbufFree(source);
  QbufFree(destination);
}
BENCHMARK(BM_BoardRegionCopy)->Unit(benchmark::kMicrosecond);

void BM_MemcpyOfTheSameBytes(benchmark::State& state) {
  std::vector<uint8_t> from(static_cast<size_t>(kWidth / 2 * kHeight / 2), 7);
  std::vector<uint8_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(from.size()));
}
BENCHMARK(BM_MemcpyOfTheSameBytes)->Unit(benchmark::kMicrosecond);

}  // namespace
