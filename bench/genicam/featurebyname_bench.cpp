// An integer feature read by name through libZOR.so (QdigInquireFeature, end
// to end through the driver's routing, GenApi and the transport layer) beside
// the read of the same feature from a node map of the digitizer in this
// process, on one thread and on eight threads over eight digitizers. Two
// further reads bound the cost of the name routing: a by-name inquiry that
// reads no register (the feature's natural type) and a plain digitizer
// inquire (one command with no name).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/czortransportlayer.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

constexpr int kDigitizers = 8;
constexpr QINT64 kGrabTimeout = 4127;
constexpr QINT64 kNaturalType = 0x040000;
constexpr const wchar_t* kFeature = L"QdigControl:Q_GRAB_TIMEOUT";

// Two board systems with eight digitizers, a registry root and a GenICam
// installation of the bench's own; the same digitizer's node map in this
// process for each.
struct Setup {
  Setup() {
    if (zorbench::MakeBenchEnvironment("zorfeaturebench").empty()) return;
    setenv("ZOR_BOARDSIM_BOARDS", "2", 1);
    boardsim::ShareBoards();
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    for (QINT64 board = 0; board < 2; ++board) {
      systems[board] = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", board, Q_DEFAULT, nullptr);
      if (systems[board] == 0) return;
    }
    std::vector<zor::genicam::GenICamXmlResource> resources;
    zor::genicam::LoadGenICamXmlResources(resources);
    const zor::genicam::GenICamXmlResource* digitizerXml = nullptr;
    for (const auto& resource : resources) {
      if (resource.name == L"_DIG_ZORID") digitizerXml = &resource;
    }
    if (digitizerXml == nullptr) return;
    for (int i = 0; i < kDigitizers; ++i) {
      QID digitizer = 0;
      // One digitizer on each of the four channels of each board.
      QdigAlloc(systems[i / 4], i % 4, L"Q_NTSC", Q_DEFAULT, &digitizer);
      if (digitizer == 0) return;
      QdigControl(digitizer, kGrabTimeout, 100 + i);
      digitizers.push_back(digitizer);
      auto port =
          std::make_unique<zor::genicam::CZorTransportLayer<zor::genicam::QdigTLProxy>>(digitizer);
      auto map = std::make_unique<GenApi::CNodeMapRef>("Device");
      map->_LoadXMLFromZIPData(digitizerXml->data, digitizerXml->size);
      map->_Connect(port.get(), "Device");
      ports.push_back(std::move(port));
      maps.push_back(std::move(map));
    }
    ready = true;
  }
  QID systems[2] = {0, 0};
  std::vector<QID> digitizers;
  std::vector<std::unique_ptr<zor::genicam::CZorTransportLayer<zor::genicam::QdigTLProxy>>> ports;
  std::vector<std::unique_ptr<GenApi::CNodeMapRef>> maps;
  bool ready = false;
};

Setup& TheSetup() {
  static Setup* setup = new Setup;  // lives as long as the board
  return *setup;
}

void BM_InquireFeatureByName(benchmark::State& state) {
  Setup& setup = TheSetup();
  if (!setup.ready) return state.SkipWithError("no board system");
  const QID digitizer = setup.digitizers[static_cast<size_t>(state.thread_index()) % kDigitizers];
  QINT64 value = 0;
  for (auto _ : state) {
    QdigInquireFeature(digitizer, Q_FEATURE_VALUE, kFeature, Q_TYPE_INT64, &value, 0);
    benchmark::DoNotOptimize(value);
  }
  if (value != 100 + state.thread_index() % kDigitizers) state.SkipWithError("wrong value");
}
BENCHMARK(BM_InquireFeatureByName)->Threads(1)->Threads(8)->UseRealTime();

void BM_NodeMapRead(benchmark::State& state) {
  Setup& setup = TheSetup();
  if (!setup.ready) return state.SkipWithError("no board system");
  GenApi::CIntegerPtr feature =
      setup.maps[static_cast<size_t>(state.thread_index()) % kDigitizers]->_GetNode(
          "Q_GRAB_TIMEOUT");
  int64_t value = 0;
  for (auto _ : state) {
    value = feature->GetValue();
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_NodeMapRead)->Threads(1)->Threads(8)->UseRealTime();

// Routing and node look-up by name, with no register read.
void BM_InquireNaturalTypeByName(benchmark::State& state) {
  Setup& setup = TheSetup();
  if (!setup.ready) return state.SkipWithError("no board system");
  QINT64 value = 0;
  for (auto _ : state) {
    QdigInquireFeature(setup.digitizers[0], kNaturalType, kFeature, Q_TYPE_INT64, &value, 0);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_InquireNaturalTypeByName);

// One digitizer command without a name: the floor under both.
void BM_PlainDigitizerInquire(benchmark::State& state) {
  Setup& setup = TheSetup();
  if (!setup.ready) return state.SkipWithError("no board system");
  QINT64 value = 0;
  for (auto _ : state) {
    QdigInquire(setup.digitizers[0], kGrabTimeout, &value);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_PlainDigitizerInquire);

}  // namespace
