// Frames per second that the simulated board writes into host memory, beside
// a plain copy of the same bytes between page-aligned buffers, which runs
// first so that the writer reports its time against it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <map>

#include "bench/support/pagealigned.h"
#include "platform/boardsim/framewriter.h"

namespace {

using Clock = std::chrono::steady_clock;

using zorbench::PageAligned;
using zorbench::Pages;

// Nanoseconds of one copy of a frame of that many bytes, from CopyFrames.
std::map<uint64_t, double> g_copyNs;

double NsPerIteration(Clock::time_point start, const benchmark::State& state) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
         static_cast<double>(state.iterations());
}

void CopyFrames(benchmark::State& state) {
  const uint64_t bytes = state.range(0) * state.range(1);
  const Pages source = PageAligned(bytes, 0x55), pixels = PageAligned(bytes, 0);
  const Clock::time_point start = Clock::now();
  for (auto _ : state) {
    std::memcpy(pixels.get(), source.get(), bytes);
    benchmark::DoNotOptimize(pixels.get());
    benchmark::ClobberMemory();
  }
  g_copyNs[bytes] = NsPerIteration(start, state);
  state.counters["frames/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * bytes);
}

void WriteFrames(benchmark::State& state) {
  const uint64_t width = state.range(0), height = state.range(1);
  const Pages pixels = PageAligned(width * height, 0);
  boardsim::FrameTarget target;
  target.planes[0] = pixels.get();
  target.width = width;
  target.height = height;
  target.pitchBytes = width;
  boardsim::SourceWindow window;
  window.fullWidth = window.width = width;
  window.fullHeight = window.height = height;
  boardsim::Adv7180 decoder;
  uint64_t frame = 0;
  const Clock::time_point start = Clock::now();
  for (auto _ : state) {
    boardsim::WriteFrame(decoder, ++frame, window, target);
    benchmark::DoNotOptimize(pixels.get());
  }
  const double ns = NsPerIteration(start, state);
  state.counters["frames/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * width * height);
  const double copyNs = g_copyNs[width * height];
  if (copyNs > 0) state.counters["vs_memcpy"] = ns / copyNs;
}

BENCHMARK(CopyFrames)->Args({640, 480})->Args({720, 576});
BENCHMARK(WriteFrames)->Args({640, 480})->Args({720, 576});

}  // namespace
