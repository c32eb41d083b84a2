// A single grab through libZOR.so, the driver and the simulated board into a
// board buffer in host memory, beside a memcpy of the same bytes timed in the
// same run: a 640 x 480 mono frame and a 720 x 576 colour frame, with frames
// a microsecond apart. The long run grabs 24,000 frames in one go and
// reports its first and its last 2,000 grabs apart, so that a grab that gets
// slower the longer a process grabs shows.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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

// One memcpy of a frame, from this run's memcpy benchmarks, which run first.
zorbench::Times g_memcpyMono;
zorbench::Times g_memcpyColour;

void RunMemcpy(benchmark::State& state, size_t bytes, Times& perCopy) {
  const zorbench::Pages from = zorbench::PageAligned(bytes, 7),
                        to = zorbench::PageAligned(bytes, 0);
  const Times start = Times::Now();
  for (auto _ : state) {
    std::memcpy(to.get(), from.get(), bytes);
    benchmark::DoNotOptimize(to.get());
    benchmark::ClobberMemory();
  }
  perCopy = Times::Now().Per(start, static_cast<double>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_MemcpyMono640x480(benchmark::State& state) { RunMemcpy(state, 640 * 480, g_memcpyMono); }
BENCHMARK(BM_MemcpyMono640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MemcpyColour720x576(benchmark::State& state) {
  RunMemcpy(state, 720 * 576 * 3, g_memcpyColour);
}
BENCHMARK(BM_MemcpyColour720x576)->Unit(benchmark::kMicrosecond)->UseRealTime();

bool Grab(const Target& target) {
  QdigGrab(target.digitizer, target.buffer);
  return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) == 0;
}

// A grab's wall and CPU time beside memcpy's, as name_us, name_cpu_us and their ratios.
void ReportAgainstMemcpy(benchmark::State& state, const std::string& name, const Times& grab,
                         const Times& memcpy) {
  state.counters[name + "_us"] = grab.wallUs;
  state.counters[name + "_cpu_us"] = grab.cpuUs;
  state.counters["memcpy_us"] = memcpy.wallUs;
  state.counters["memcpy_cpu_us"] = memcpy.cpuUs;
  if (memcpy.wallUs > 0) state.counters[name + "_vs_memcpy"] = grab.wallUs / memcpy.wallUs;
  if (memcpy.cpuUs > 0) state.counters[name + "_cpu_vs_memcpy"] = grab.cpuUs / memcpy.cpuUs;
}

void RunGrabs(benchmark::State& state, const Target& target, const Times& memcpy) {
  if (target.digitizer == 0 || target.buffer == 0) {
    state.SkipWithError("no digitizer or buffer");
    return;
  }
  const Times start = Times::Now();
  for (auto _ : state) {
    if (!Grab(target)) {
      state.SkipWithError("grab failed");
      return;
    }
  }
  const Times perGrab = Times::Now().Per(start, static_cast<double>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * target.bytes));
  ReportAgainstMemcpy(state, "grab", perGrab, memcpy);
}

// Right after memcpy, so that its first grabs are the process's first. One pass of 24,000 grabs:
// the first and the last 2,000 of them, each beside memcpy.
void BM_GrabMono640x480LongRun(benchmark::State& state) {
  const Target& target = Mono();
  if (target.digitizer == 0 || target.buffer == 0) {
    state.SkipWithError("no digitizer or buffer");
    return;
  }
  std::vector<Times> marks;
  for (auto _ : state) {
    for (int64_t grab = 0; grab < kLongRun; ++grab) {
      if (grab == 0 || grab == kLongRunWindow || grab == kLongRun - kLongRunWindow) {
        marks.push_back(Times::Now());
      }
      if (!Grab(target)) {
        state.SkipWithError("grab failed");
        return;
      }
    }
    marks.push_back(Times::Now());
  }
  state.SetItemsProcessed(state.iterations() * kLongRun);
  const double window = static_cast<double>(kLongRunWindow);
  ReportAgainstMemcpy(state, "first", marks[1].Per(marks[0], window), g_memcpyMono);
  ReportAgainstMemcpy(state, "last", marks[3].Per(marks[2], window), g_memcpyMono);
}
BENCHMARK(BM_GrabMono640x480LongRun)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrabMono640x480(benchmark::State& state) { RunGrabs(state, Mono(), g_memcpyMono); }
BENCHMARK(BM_GrabMono640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GrabColour720x576(benchmark::State& state) { RunGrabs(state, Colour(), g_memcpyColour); }
BENCHMARK(BM_GrabColour720x576)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
