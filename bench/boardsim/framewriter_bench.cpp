// Frames per second that the simulated board writes into host memory, beside
// a plain copy of the same bytes between page-aligned buffers, which runs
// first so that the writer reports its time against it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>

#include "bench/support/pagealigned.h"
#include "bench/support/times.h"
#include "platform/boardsim/framewriter.h"

namespace {

using zorbench::PageAligned;
using zorbench::Pages;

// One copy of a frame of that many bytes, from CopyFrames.
std::map<uint64_t, zorbench::Times> g_copy;

void CopyFrames(benchmark::State& state) {
  const uint64_t bytes = state.range(0) * state.range(1);
  const Pages source = PageAligned(bytes, 0x55), pixels = PageAligned(bytes, 0);
  const zorbench::Times start = zorbench::Times::Now();
  for (auto _ : state) {
    std::memcpy(pixels.get(), source.get(), bytes);
    benchmark::DoNotOptimize(pixels.get());
    benchmark::ClobberMemory();
  }
  g_copy[bytes] = zorbench::Times::Now().Per(start, static_cast<double>(state.iterations()));
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
  const zorbench::Times start = zorbench::Times::Now();
  for (auto _ : state) {
    boardsim::WriteFrame(decoder, ++frame, window, target);
    benchmark::DoNotOptimize(pixels.get());
  }
  const zorbench::Times write =
      zorbench::Times::Now().Per(start, static_cast<double>(state.iterations()));
  state.counters["frames/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * width * height);
  const zorbench::Times copy = g_copy[width * height];
  if (copy.wallUs > 0) state.counters["vs_memcpy"] = write.wallUs / copy.wallUs;
  if (copy.cpuUs > 0) state.counters["cpu_vs_memcpy"] = write.cpuUs / copy.cpuUs;
}

BENCHMARK(CopyFrames)->Args({640, 480})->Args({720, 576});
BENCHMARK(WriteFrames)->Args({640, 480})->Args({720, 576});

}  // namespace
