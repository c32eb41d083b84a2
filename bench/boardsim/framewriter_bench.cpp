// Frames per second that the simulated board writes into host memory, beside
// a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/boardsim/framewriter.h"

namespace {

void WriteFrames(benchmark::State& state) {
  const uint64_t width = state.range(0), height = state.range(1);
  std::vector<uint8_t> pixels(width * height);
  boardsim::FrameTarget target;
  target.planes[0] = pixels.data();
  target.width = width;
  target.height = height;
  target.pitchBytes = width;
  boardsim::SourceWindow window;
  window.fullWidth = window.width = width;
  window.fullHeight = window.height = height;
  boardsim::Adv7180 decoder;
  uint64_t frame = 0;
  for (auto _ : state) {
    boardsim::WriteFrame(decoder, ++frame, window, target);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["frames/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * width * height);
}

void CopyFrames(benchmark::State& state) {
  const uint64_t bytes = state.range(0) * state.range(1);
  std::vector<uint8_t> source(bytes, 0x55), pixels(bytes);
  for (auto _ : state) {
    std::memcpy(pixels.data(), source.data(), bytes);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.counters["frames/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK(WriteFrames)->Args({640, 480})->Args({720, 576});
BENCHMARK(CopyFrames)->Args({640, 480})->Args({720, 576});

}  // namespace
