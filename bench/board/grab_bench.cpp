// A single grab through libZOR.so, the driver and the simulated board into a
// board buffer in host memory, beside a memcpy of the same bytes: a 640 x 480
// mono frame and a 720 x 576 colour frame, with frames a microsecond apart.
// Grabs and memcpys take turns of a batch each, so that both meet the same
// machine. The long run grabs 24,000 frames in one go and reports its first
// and its last 2,000 grabs apart, so that a grab that gets slower the longer a
// process grabs shows.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "bench/support/benchenvironment.h"
#include "bench/support/pagealigned.h"
#include "bench/support/times.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

using zorbench::Times;

// The buffer an application grabs into: the ordinary grab buffer in mono, planes in colour (a
// colour grab buffer is packed, four bytes a pixel, which memcpy of three planes would not match).
constexpr QINT64 Attributes(QINT64 bands) {
  return bands == 1 ? Q_IMAGE + Q_GRAB + Q_PROC : Q_IMAGE + Q_PLANAR;
}
constexpr int64_t kLongRun = 24000;
constexpr int64_t kLongRunWindow = 2000;
// Grabs, then memcpys, in a turn (a divisor of the window): long enough that each runs as it
// does on its own, with the caches its own, and short enough that both meet the same machine.
constexpr int64_t kBatch = 500;

// The system, made once for the process, with frames as close together as the board allows.
QID System() {
  static const QID system = [] {
    const std::filesystem::path folder = zorbench::MakeBenchEnvironment("zorgrabbench");
    if (folder.empty()) return QID{0};
    boardsim::ShareBoards();
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    const QID id = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    if (id != 0) boardsim::LocalBoards().Find(0)->SetFrameTime(1);
    return id;
  }();
  return system;
}

struct Target {
  QID digitizer = 0;
  QID buffer = 0;
  size_t bytes = 0;
};

Target Make(const wchar_t* dcf, QINT64 channel, QINT64 bands, QINT64 width, QINT64 height) {
  Target target;
  if (System() == 0) return target;
  QdigAlloc(System(), channel, dcf, Q_DEFAULT, &target.digitizer);
  QbufAllocColor(System(), bands, width, height, 8, Attributes(bands), &target.buffer);
  target.bytes = static_cast<size_t>(bands * width * height);
  return target;
}

const Target& Mono() {
  static const Target target = Make(L"Q_NTSC", 0, 1, 640, 480);
  return target;
}

const Target& Colour() {
  static const Target target = Make(L"Q_PAL", 1, 3, 720, 576);
  return target;
}

bool Grab(const Target& target) {
  QdigGrab(target.digitizer, target.buffer);
  return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) == 0;
}

// One frame's memcpy between page-aligned buffers: what a grab is set against.
class FrameCopy {
 public:
  explicit FrameCopy(size_t bytes)
      : bytes_(bytes),
        from_(zorbench::PageAligned(bytes, 7)),
        to_(zorbench::PageAligned(bytes, 0)) {}
  void operator()() const {
    std::memcpy(to_.get(), from_.get(), bytes_);
    benchmark::DoNotOptimize(to_.get());
    benchmark::ClobberMemory();
  }

 private:
  size_t bytes_;
  zorbench::Pages from_, to_;
};

// Time spent by grabs and by memcpys in turns, and how many of each.
struct Turns {
  Times grabs;
  Times copies;
  int64_t count = 0;

  // A batch of grabs, then as many memcpys; false when a grab fails.
  bool Take(const Target& target, const FrameCopy& copy, int64_t batch) {
    const Times start = Times::Now();
    for (int64_t i = 0; i < batch; ++i) {
      if (!Grab(target)) return false;
    }
    const Times middle = Times::Now();
    for (int64_t i = 0; i < batch; ++i) copy();
    const Times end = Times::Now();
    Add(grabs, start, middle);
    Add(copies, middle, end);
    count += batch;
    return true;
  }

 private:
  static void Add(Times& sum, const Times& from, const Times& to) {
    sum.wallUs += to.wallUs - from.wallUs;
    sum.cpuUs += to.cpuUs - from.cpuUs;
  }
};

// The grabs' wall and CPU time per grab beside memcpy's, as name_us, name_cpu_us, copy_us,
// copy_cpu_us and their ratios name_vs_memcpy and name_cpu_vs_memcpy; a run that reports several
// sets of turns names each set's memcpy apart.
void Report(benchmark::State& state, const std::string& name, const Turns& turns,
            const std::string& copy = "memcpy") {
  const Times zero;
  const double count = static_cast<double>(turns.count);
  const Times grab = turns.grabs.Per(zero, count), memcpy = turns.copies.Per(zero, count);
  state.counters[name + "_us"] = grab.wallUs;
  state.counters[name + "_cpu_us"] = grab.cpuUs;
  state.counters[copy + "_us"] = memcpy.wallUs;
  state.counters[copy + "_cpu_us"] = memcpy.cpuUs;
  if (memcpy.wallUs > 0) state.counters[name + "_vs_memcpy"] = grab.wallUs / memcpy.wallUs;
  if (memcpy.cpuUs > 0) state.counters[name + "_cpu_vs_memcpy"] = grab.cpuUs / memcpy.cpuUs;
}

void RunGrabs(benchmark::State& state, const Target& target) {
  if (target.digitizer == 0 || target.buffer == 0) {
    state.SkipWithError("no digitizer or buffer");
    return;
  }
  const FrameCopy copy(target.bytes);
  Turns turns;
  for (auto _ : state) {
    if (!turns.Take(target, copy, kBatch)) {
      state.SkipWithError("grab failed");
      return;
    }
  }
  state.SetItemsProcessed(turns.count);
  Report(state, "grab", turns);
}

// First, so that its first grabs are the process's first. One pass of 24,000 grabs: the first
// and the last 2,000 of them, each in turns with memcpy, and the grabs between on their own.
void BM_GrabMono640x480LongRun(benchmark::State& state) {
  const Target& target = Mono();
  if (target.digitizer == 0 || target.buffer == 0) {
    state.SkipWithError("no digitizer or buffer");
    return;
  }
  const FrameCopy copy(target.bytes);
  for (auto _ : state) {
    Turns first, last;
    for (int64_t grab = 0; grab < kLongRunWindow; grab += kBatch) {
      if (!first.Take(target, copy, kBatch)) return state.SkipWithError("grab failed");
    }
    for (int64_t grab = first.count; grab < kLongRun - kLongRunWindow; ++grab) {
      if (!Grab(target)) return state.SkipWithError("grab failed");
    }
    for (int64_t grab = 0; grab < kLongRunWindow; grab += kBatch) {
      if (!last.Take(target, copy, kBatch)) return state.SkipWithError("grab failed");
    }
    Report(state, "first", first, "first_memcpy");
    Report(state, "last", last, "last_memcpy");
  }
  state.SetItemsProcessed(state.iterations() * kLongRun);
}
BENCHMARK(BM_GrabMono640x480LongRun)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrabMono640x480(benchmark::State& state) { RunGrabs(state, Mono()); }
BENCHMARK(BM_GrabMono640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrabColour720x576(benchmark::State& state) { RunGrabs(state, Colour()); }
BENCHMARK(BM_GrabColour720x576)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
