// A single grab through libZOR.so, the driver and the simulated board into a
// board buffer in host memory, beside a memcpy of the same bytes: a 640 x 480
// mono frame and a 720 x 576 colour frame, with frames a microsecond apart.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

// An image in host memory whose planes follow its bit depth.
constexpr QINT64 kPlanarImage = Q_IMAGE | 0x40000;

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

void RunGrabs(benchmark::State& state, const Target& target) {
  if (target.digitizer == 0 || target.buffer == 0) {
    state.SkipWithError("no digitizer or buffer");
    return;
  }
  for (auto _ : state) {
    QdigGrab(target.digitizer, target.buffer);
    if (QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) != 0) {
      state.SkipWithError("grab failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * target.bytes));
}

void RunMemcpy(benchmark::State& state, size_t bytes) {
  std::vector<uint8_t> from(bytes, 7), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_GrabMono640x480(benchmark::State& state) {
  static const Target target = Make(L"Q_NTSC", 0, 1, 640, 480);
  RunGrabs(state, target);
}
BENCHMARK(BM_GrabMono640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MemcpyMono640x480(benchmark::State& state) { RunMemcpy(state, 640 * 480); }
BENCHMARK(BM_MemcpyMono640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GrabColour720x576(benchmark::State& state) {
  static const Target target = Make(L"Q_PAL", 1, 3, 720, 576);
  RunGrabs(state, target);
}
BENCHMARK(BM_GrabColour720x576)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MemcpyColour720x576(benchmark::State& state) { RunMemcpy(state, 720 * 576 * 3); }
BENCHMARK(BM_MemcpyColour720x576)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
