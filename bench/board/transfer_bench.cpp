// A scaled transfer through libZOR.so: 640 x 480 out of a colour device-memory
// buffer into a 320 x 240 mono host buffer by the simulated board, beside the
// same decimation done with a plain loop on the host.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

constexpr QINT64 kWidth = 640;
constexpr QINT64 kHeight = 480;
constexpr QINT64 kBoardTransfer = 0x2000000;

struct Bench {
  Bench() {
    if (zorbench::MakeBenchEnvironment("zortransferbench").empty()) return;
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    boardsim::ShareBoards();
    system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    if (system == 0) return;
    source = QbufAllocColor(system, 3, kWidth, kHeight, 8, Q_IMAGE | 0x80000, nullptr);
    destination =
        QbufAllocColor(system, 1, kWidth / 2, kHeight / 2, 8, Q_IMAGE | 0x8 | 0x200000, nullptr);
  }
  QID system = 0;
  QID source = 0;
  QID destination = 0;
};

Bench& Setup() {
  static Bench* bench = new Bench;  // lives as long as the board
  return *bench;
}

void BM_BoardScaledTransfer640x480To320x240(benchmark::State& state) {
  Bench& bench = Setup();
  if (bench.source == 0 || bench.destination == 0) {
    state.SkipWithError("no buffers");
    return;
  }
  for (auto _ : state) {
    QbufTransfer(bench.source, bench.destination, 0, 0, kWidth, kHeight, -1, 0, 0, kWidth / 2,
                 kHeight / 2, -1, Q_DEFAULT, kBoardTransfer, Q_DEFAULT, nullptr);
  }
  if (QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) != 0) state.SkipWithError("transfer refused");
  state.SetItemsProcessed(state.iterations() * (kWidth / 2) * (kHeight / 2));
}
BENCHMARK(BM_BoardScaledTransfer640x480To320x240)->Unit(benchmark::kMicrosecond);

void BM_HostLoopDecimation640x480To320x240(benchmark::State& state) {
  std::vector<uint8_t> from(static_cast<size_t>(kWidth * kHeight), 7);
  std::vector<uint8_t> to(from.size() / 4);
  for (auto _ : state) {
    for (QINT64 y = 0; y < kHeight / 2; ++y) {
      const uint8_t* in = from.data() + y * 2 * kWidth;
      uint8_t* out = to.data() + y * (kWidth / 2);
      for (QINT64 x = 0; x < kWidth / 2; ++x) out[x] = in[x * 2];
    }
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (kWidth / 2) * (kHeight / 2));
}
BENCHMARK(BM_HostLoopDecimation640x480To320x240)->Unit(benchmark::kMicrosecond);

}  // namespace
