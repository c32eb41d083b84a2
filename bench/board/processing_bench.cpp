// Sustained grab processing through libZOR.so: 640 x 480 mono frames into a
// ring of 8 buffers with the simulated board writing frames as fast as it
// can, and a board region copy beside memcpy of the same bytes. The
// simulator's own share of a frame, writing the pattern, is bench/boardsim's
// WriteFrames/640/480; the driver's share is the time per frame less that.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/benchenvironment.h"
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

struct Bench {
  Bench() {
    if (zorbench::MakeBenchEnvironment("zorprocessbench").empty()) return;
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    // The driver library serves this process's boards, whose clock the bench sets.
    boardsim::ShareBoards();
    system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    if (system == 0) return;
    digitizer = QdigAlloc(system, 0, L"Q_NTSC", Q_DEFAULT, nullptr);
    for (QINT64 i = 0; i < kRing; ++i) {
      ring.push_back(
          QbufAllocColor(system, 1, kWidth, kHeight, 8, Q_IMAGE | Q_GRAB | 0x40000, nullptr));
    }
  }
  QID system = 0;
  QID digitizer = 0;
  std::vector<QID> ring;
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
  for (auto _ : state) {
    frames = 0;
    QdigProcess(bench.digitizer, bench.ring.data(), kRing, kSequence + (kFrames << 5), kSynchronous,
                &CountFrame, &frames);
    lost += kFrames - frames.load();
    QINT64 notGrabbed = 0;
    QdigInquire(bench.digitizer, kFramesMissed, &notGrabbed);
    missed += notGrabbed;
  }
  boardsim::LocalBoards().Find(0)->SetFrameTime(1);
  state.SetItemsProcessed(state.iterations() * kFrames);
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
