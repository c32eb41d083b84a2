// A firmware update of one digitizer from a GUF file through libZOR.so: the
// file checked, the digitizer allocated, its firmware streamed through its
// node map eight bytes at a time, the device reset and found again. The fixed
// five-second wait after the reset is left out (ZOR_SLEEP_PERCENT=0).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "platform/genapi/genapi.h"
#include "platform/host/zor.h"

namespace {

namespace fs = std::filesystem;

QID System() {
  static const QID system = [] {
    const std::filesystem::path folder = zorbench::MakeBenchEnvironment("zorgufbench");
    if (folder.empty()) return QID{0};
    setenv("ZOR_SLEEP_PERCENT", "0", 1);
    setenv("TMPDIR", folder.c_str(), 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    return QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
  }();
  return system;
}

std::wstring GufOf(size_t bytes) {
  GenICam::CFirmwareUpdateInfo info;
  info.name = "Digitizer firmware";
  info.version = "1.0";
  info.models = {"QdigControl"};
  info.payload = "firmware.bin";
  info.targetRegister = "FirmwareData";
  std::string payload(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) payload[i] = static_cast<char>(i * 31 + 7);
  const fs::path path = fs::temp_directory_path() / ("bench" + std::to_string(bytes) + ".guf");
  GenICam::WriteGufFile(path.string(), {info}, {payload});
  return path.wstring();
}

void BM_GufUpdateOfOneDigitizer(benchmark::State& state) {
  const QID system = System();
  if (system == 0) {
    state.SkipWithError("no system");
    return;
  }
  const size_t bytes = static_cast<size_t>(state.range(0));
  const std::wstring guf = GufOf(bytes);
  for (auto _ : state) {
    QsysControl(system, 7798 + 0x10000, reinterpret_cast<QINT64>(guf.c_str()));
    if (QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) != 0) {
      state.SkipWithError("update failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_GufUpdateOfOneDigitizer)
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
