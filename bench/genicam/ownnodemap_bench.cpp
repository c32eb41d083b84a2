// A feature read through the node map of a board digitizer, end to end: the
// GenApi node, the transport-layer port, libZOR.so, the nested command and
// the digitizer's inquire. One thread, and eight threads on eight digitizers;
// and the snapshot document of a digitizer's whole map.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "driver/frameworkuser/decoder/commanddecoder.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/errorexports.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/driverseam.h"
#include "platform/host/zor.h"

namespace {

constexpr int kDigitizers = 8;
constexpr uint32_t kSixteenChannels = 0x40000;

void* InProcessDriver(const char* symbol) {
  if (std::strcmp(symbol, "QDDravionLynCommandDecoder") == 0) {
    return reinterpret_cast<void*>(&QDDravionLynCommandDecoder);
  }
  if (std::strcmp(symbol, "GetErrorRange") == 0) return reinterpret_cast<void*>(&GetErrorRange);
  if (std::strcmp(symbol, "GetErrorMessage") == 0) {
    return reinterpret_cast<void*>(&GetErrorMessage);
  }
  return nullptr;
}

zor::frame::QDGeniCamDeviceSystem* DriverSystem(QID system) {
  zor::frame::QDDeviceDriver* driver = zor::frame::CQDDeviceDriverWrapper::Instance().GetDriver();
  for (int64_t index = 1; driver != nullptr && index < 16; ++index) {
    auto* candidate =
        dynamic_cast<zor::frame::QDGeniCamDeviceSystem*>(driver->Systems().GetAt(index).get());
    if (candidate != nullptr && candidate->GetHostObjectId() == system) return candidate;
  }
  return nullptr;
}

// The own node maps of eight digitizers on one sixteen-channel board.
const std::vector<std::shared_ptr<zor::genicam::GenICamControl>>& DigitizerMaps() {
  using Controls = std::vector<std::shared_ptr<zor::genicam::GenICamControl>>;
  static const Controls controls = [] {
    Controls found;
    const std::filesystem::path folder = zorbench::MakeBenchEnvironment("zornodemapbench");
    if (folder.empty()) return found;
    HostUseDriverForTests(L"Q_SYSTEM_DRAVIONLYN", &InProcessDriver);
    boardsim::ShareBoards();
    boardsim::LocalBoards().Find(0)->SetCapabilities(kSixteenChannels);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    zor::frame::QDGeniCamDeviceSystem* driverSystem = DriverSystem(system);
    if (driverSystem == nullptr) return found;
    for (int channel = 0; channel < kDigitizers; ++channel) {
      QID digitizer = 0;
      QdigAlloc(system, channel, L"Q_NTSC", Q_DEFAULT, &digitizer);
      auto control = driverSystem->NodeMaps().Get(digitizer, L"QdigControl");
      if (control == nullptr) return Controls{};
      found.push_back(std::move(control));
    }
    return found;
  }();
  return controls;
}

// The start-mode feature of each digitizer.
const std::vector<GenApi::CEnumerationPtr>& StartModes() {
  static const std::vector<GenApi::CEnumerationPtr> features = [] {
    std::vector<GenApi::CEnumerationPtr> found;
    for (const auto& control : DigitizerMaps()) {
      found.emplace_back(control->NodeMap()->_GetNode("Q_GRAB_START_MODE"));
    }
    return found;
  }();
  return features;
}

void BM_DigitizerFeatureRead(benchmark::State& state) {
  const std::vector<GenApi::CEnumerationPtr>& features = StartModes();
  if (features.size() != kDigitizers) {
    state.SkipWithError("no digitizers");
    return;
  }
  GenApi::IEnumeration* feature = features[static_cast<size_t>(state.thread_index())];
  for (auto _ : state) benchmark::DoNotOptimize(feature->GetIntValue());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DigitizerFeatureRead)
    ->Unit(benchmark::kMicrosecond)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();

// The snapshot document of one digitizer's own map, every node read through libZOR.so.
void BM_SnapshotOfDigitizerOwnMap(benchmark::State& state) {
  if (DigitizerMaps().empty()) {
    state.SkipWithError("no digitizers");
    return;
  }
  GenApi::INodeMap& map = *DigitizerMaps().front()->NodeMap()->_Ptr;
  for (auto _ : state) {
    zor::genicam::NodeMapJsonWriter writer;
    const std::string text = writer.WriteNodeMap("Digitizer", "Digitizer", map);
    benchmark::DoNotOptimize(text.data());
  }
  const auto nodes = static_cast<int64_t>(map.GetNumNodes());
  state.SetItemsProcessed(state.iterations() * nodes);
  state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(BM_SnapshotOfDigitizerOwnMap)->Unit(benchmark::kMillisecond);

}  // namespace
