// Speed of the feature-browser protocol as a client in the process sees it: a set and a get
// through the mailboxes, a snapshot of a large map, and the change notice after a write.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>

#include "tests/driver/frameworkuser/genicam/publisherfixture.h"
#include "tests/driver/frameworkuser/genicam/testbrowserclient.h"
#include "tests/support/testdata/testdata.h"

using zor::genicam::NodeMapPublisher;

namespace {

// A registry and install folder of the bench's own.
void UseOwnRegistry() {
  static const bool done = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorbench.XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) setenv("ZOR_REGISTRY_ROOT", pattern.c_str(), 1);
    return true;
  }();
  (void)done;
}

struct Session {
  explicit Session(int64_t flushDelayMs = zor::genicam::GenICamEventReporter::kFlushDelayMs) {
    UseOwnRegistry();
    genicamtest::TestInstallFolder();
    zor::genicam::PublisherSystem system;
    system.hostId = genicamtest::kTestSystem;
    system.name = "Bench";
    system.flushDelayMs = flushDelayMs;
    publisher = std::make_unique<NodeMapPublisher>(system, L"featurebrowser/featurebrowser.exe");
    map = genicamtest::MakePublishedMap("Cam");
    publisher->AddNodeMap("Cam", "device", genicamtest::DevicePrefixes("Cam"), 0, map, nullptr);
    client = std::make_unique<genicamtest::TestBrowserClient>();
    client->Attach(L"Bench");
    client->Send(NodeMapPublisher::kHello, "");
    client->WaitFor(NodeMapPublisher::kMapsAdded);
  }
  std::unique_ptr<NodeMapPublisher> publisher;
  std::shared_ptr<GenApi::CNodeMapRef> map;
  std::unique_ptr<genicamtest::TestBrowserClient> client;
};

void BM_SetRoundTrip(benchmark::State& state) {
  Session session;
  int64_t width = 16;
  for (auto _ : state) {
    // The server applies a set before the client's write returns.
    session.client->Send(NodeMapPublisher::kSet, "Cam:Width:" + std::to_string(width));
    width = width < 1024 ? width + 1 : 16;
  }
  if (session.client->Take().size() != 0) state.SkipWithError("unexpected reply");
}
BENCHMARK(BM_SetRoundTrip);

void BM_GetRoundTrip(benchmark::State& state) {
  Session session;
  for (auto _ : state) {
    session.client->Send(NodeMapPublisher::kGet, "Cam:Width");
    benchmark::DoNotOptimize(session.client->WaitFor(NodeMapPublisher::kGet));
  }
}
BENCHMARK(BM_GetRoundTrip);

void BM_SnapshotRequest(benchmark::State& state) {
  UseOwnRegistry();
  Session session;
  // The largest real camera file of the test data, as a big device's map.
  struct Device {
    genapitest::MemoryPort port;
    GenApi::CNodeMapRef ref{"Device"};
  };
  auto device = std::make_shared<Device>();
  device->ref._LoadXMLFromFile(
      zortest::TestDataPath("genicam/tucsen-dhyana6060bsi-cxp.xml").c_str());
  device->ref._Connect(&device->port, "Device");
  session.publisher->AddNodeMap("Big", "device", genicamtest::DevicePrefixes("Big"), 0,
                                std::shared_ptr<GenApi::CNodeMapRef>(device, &device->ref),
                                nullptr);
  session.client->Take();
  for (auto _ : state) {
    session.client->Send(NodeMapPublisher::kSnapshot, "Big");
    auto reply = session.client->WaitFor(NodeMapPublisher::kSnapshot);
    if (!reply) state.SkipWithError("no snapshot");
    session.client->Take();
  }
}
BENCHMARK(BM_SnapshotRequest)->Unit(benchmark::kMillisecond);

// From the write of a feature to the notice in the client's mailbox, with the reporter's
// window of 50 ms.
void BM_ChangeNoticeLatency(benchmark::State& state) {
  Session session;
  session.client->Send(NodeMapPublisher::kSubscribe, "Cam");
  int64_t width = 16;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    GenApi::CIntegerPtr(session.map->_GetNode("Width"))->SetValue(width);
    if (!session.client->WaitFor(NodeMapPublisher::kNodesChanged)) state.SkipWithError("none");
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    width = width < 1024 ? width + 1 : 16;
  }
}
BENCHMARK(BM_ChangeNoticeLatency)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
