// A single grab through libZOR.so, the driver and the simulated board into a
// board buffer in host memory, beside a memcpy of the same bytes timed in the
// same run: a 640 x 480 mono frame and a 720 x 576 colour frame, with frames
// a microsecond apart. The long run grabs 24,000 frames in one go and
// reports its first and its last 2,000 grabs apart, so that a grab that gets
// slower the longer a process grabs shows.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "bench/support/pagealigned.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

using Clock = std::chrono::steady_clock;

// An image in host memory whose planes follow its bit depth.
constexpr QINT64 kPlanarImage = Q_IMAGE | 0x40000;
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
  QbufAllocColor(System(), bands, width, height, 8, kPlanarImage, &target.buffer);
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

// Microseconds of one memcpy of a frame, from this run's memcpy benchmarks,
// which run first; 0 until they ran.
double g_memcpyMonoUs = 0;
double g_memcpyColourUs = 0;

void RunMemcpy(benchmark::State& state, size_t bytes, double& perCopyUs) {
  const zorbench::Pages from = zorbench::PageAligned(bytes, 7),
                        to = zorbench::PageAligned(bytes, 0);
  const Clock::time_point start = Clock::now();
  for (auto _ : state) {
    std::memcpy(to.get(), from.get(), bytes);
    benchmark::DoNotOptimize(to.get());
    benchmark::ClobberMemory();
  }
  perCopyUs = std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
              static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_MemcpyMono640x480(benchmark::State& state) { RunMemcpy(state, 640 * 480, g_memcpyMonoUs); }
BENCHMARK(BM_MemcpyMono640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MemcpyColour720x576(benchmark::State& state) {
  RunMemcpy(state, 720 * 576 * 3, g_memcpyColourUs);
}
BENCHMARK(BM_MemcpyColour720x576)->Unit(benchmark::kMicrosecond)->UseRealTime();

bool Grab(const Target& target) {
  QdigGrab(target.digitizer, target.buffer);
  return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) == 0;
}

void ReportAgainstMemcpy(benchmark::State& state, const char* name, double grabUs,
                         double memcpyUs) {
  state.counters[name] = grabUs;
  state.counters["memcpy_us"] = memcpyUs;
  state.counters[std::string(name) + "_vs_memcpy"] = grabUs / memcpyUs;
}

void RunGrabs(benchmark::State& state, const Target& target, double memcpyUs) {
  if (target.digitizer == 0 || target.buffer == 0) {
    state.SkipWithError("no digitizer or buffer");
    return;
  }
  const Clock::time_point start = Clock::now();
  for (auto _ : state) {
    if (!Grab(target)) {
      state.SkipWithError("grab failed");
      return;
    }
  }
  const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * target.bytes));
  ReportAgainstMemcpy(state, "grab_us", us / static_cast<double>(state.iterations()), memcpyUs);
}

// Right after memcpy, so that its first grabs are the process's first. One pass of 24,000 grabs:
// the first and the last 2,000 of them, each beside memcpy.
void BM_GrabMono640x480LongRun(benchmark::State& state) {
  const Target& target = Mono();
  if (target.digitizer == 0 || target.buffer == 0) {
    state.SkipWithError("no digitizer or buffer");
    return;
  }
  std::vector<Clock::time_point> marks;
  for (auto _ : state) {
    for (int64_t grab = 0; grab < kLongRun; ++grab) {
      if (grab == 0 || grab == kLongRunWindow || grab == kLongRun - kLongRunWindow) {
        marks.push_back(Clock::now());
      }
      if (!Grab(target)) {
        state.SkipWithError("grab failed");
        return;
      }
    }
    marks.push_back(Clock::now());
  }
  auto windowUs = [&](size_t from) {
    return std::chrono::duration<double, std::micro>(marks[from + 1] - marks[from]).count() /
           static_cast<double>(kLongRunWindow);
  };
  state.SetItemsProcessed(state.iterations() * kLongRun);
  ReportAgainstMemcpy(state, "first_us", windowUs(0), g_memcpyMonoUs);
  state.counters["last_us"] = windowUs(2);
  state.counters["last_us_vs_memcpy"] = windowUs(2) / state.counters["memcpy_us"];
}
BENCHMARK(BM_GrabMono640x480LongRun)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrabMono640x480(benchmark::State& state) { RunGrabs(state, Mono(), g_memcpyMonoUs); }
BENCHMARK(BM_GrabMono640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GrabColour720x576(benchmark::State& state) { RunGrabs(state, Colour(), g_memcpyColourUs); }
BENCHMARK(BM_GrabColour720x576)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
