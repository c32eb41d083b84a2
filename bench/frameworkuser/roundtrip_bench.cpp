// Round trip of an unserved command from the host API to the driver's decoder
// and back, beside a bare indirect call, on one and on several threads.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>

#include "interfaces/hostcommand/commandrecord.h"
#include "platform/host/zor.h"
#include "tests/driver/frameworkuser/support/frameworkprobe.h"

namespace {

// An inquire type that no system serves.
constexpr QINT64 kUnservedType = 987654;

QID System() {
  static const QID system = [] {
    setenv("ZOR_DRIVER_DRAVIONLYN", ZOR_TEST_DRIVER_LIBRARY, 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    const QID allocated = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    // The test driver's systems stop recording what they are asked.
    void* library = dlopen(ZOR_TEST_DRIVER_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (library != nullptr) {
      auto probe =
          reinterpret_cast<zor::frame::FrameworkProbe* (*)()>(dlsym(library, "FrameworkTestProbe"));
      if (probe != nullptr) probe()->recording = false;
      dlclose(library);
    }
    return allocated;
  }();
  return system;
}

__attribute__((noinline)) QINT64 Callee(QINT64 value) { return value + 1; }
QINT64 (*volatile g_callee)(QINT64) = Callee;

void BareIndirectCall(benchmark::State& state) {
  QINT64 value = 0;
  for (auto _ : state) {
    value = g_callee(value);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BareIndirectCall)->Threads(1)->Threads(8)->UseRealTime();

void UnservedCommandThroughHost(benchmark::State& state) {
  const QID system = System();
  if (system == 0) {
    state.SkipWithError("no system");
    return;
  }
  QINT64 value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(QsysInquire(system, kUnservedType, &value));
  }
}
BENCHMARK(UnservedCommandThroughHost)->Threads(1)->Threads(8)->UseRealTime();

// The driver's share of the round trip: the record straight to the decoder.
void UnservedCommandAtDecoder(benchmark::State& state) {
  const QID system = System();
  void* library = dlopen(ZOR_TEST_DRIVER_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  auto decoder =
      library != nullptr
          ? reinterpret_cast<QDCommandDecoderFunction>(dlsym(library, "QDDravionLynCommandDecoder"))
          : nullptr;
  if (system == 0 || decoder == nullptr) {
    state.SkipWithError("no driver");
    return;
  }
  QINT64 value = 0;
  QDCommandRecord record{};
  record.header = QD_RECORD_HEADER;
  record.systemIndex = 1;
  record.operation = 0x0003;
  record.paramCount = 3;
  record.params[1].type = QD_TYPE_INT64;
  record.params[1].value.integer = kUnservedType;
  record.params[2].type = QD_TYPE_ADDRESS;
  record.params[2].value.pointer = &value;
  for (auto _ : state) {
    decoder(&record);
    benchmark::DoNotOptimize(record.status);
  }
  dlclose(library);
}
BENCHMARK(UnservedCommandAtDecoder)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace
