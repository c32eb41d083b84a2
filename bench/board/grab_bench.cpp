// A single grab through the driver and the simulated board into a host buffer,
// beside a memcpy of the same bytes: a 640 x 480 mono frame and a 720 x 576
// colour frame, with frames a microsecond apart.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"
#include "platform/os/sync/thread.h"

namespace {

namespace fs = std::filesystem;
using zor::frame::OperationArgs;

class BenchSystem : public zor::board::QDHwSpecSystem {
 public:
  using QDHwSpecSystem::QDHwSpecSystem;
  int64_t AddBuffer(QID hostBuffer) {
    auto record = std::make_shared<zor::frame::QDBufferInfo>(0, this);
    zor::frame::FillKernelBufferDescriptor(*record, hostBuffer);
    const int64_t index = buffers_.Add(record);
    record->SetIndex(index);
    return index;
  }
};

// The system, made once for the process, with one digitizer and buffer per frame format.
struct GrabSetup {
  GrabSetup() {
    std::string pattern = (fs::temp_directory_path() / "zorgrabbench.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    fs::create_directories(fs::path(pattern) / "registry");
    fs::create_directories(fs::path(pattern) / "genicam" / "v3_1");
    setenv("ZOR_REGISTRY_ROOT", (fs::path(pattern) / "registry").c_str(), 1);
    setenv("ZOR_GENICAM_PATH", (fs::path(pattern) / "genicam").c_str(), 1);
    setenv("ZOR_XML_REPOSITORY", pattern.c_str(), 1);
    setenv("DRAVIONLYNDCF", ZOR_STANDARD_DCF_DIR, 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    boardsim::LocalBoards().Find(0)->SetFrameTime(1);
    auto* driver = zor::frame::CQDDeviceDriverWrapper::Instance().GetDriver();
    ctx = std::make_unique<zor::frame::QDDriverThreadContext>(*driver, os::GetCurrentThreadId());
    int64_t status = -1;
    system = std::make_unique<BenchSystem>(L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, status, *ctx);
    caller = std::make_unique<zor::frame::QDZorThreadContext>(*ctx, system->Index());
    ctx->SetCurrent(caller.get());
  }

  struct Target {
    int64_t digitizer = 0;
    int64_t buffer = 0;
    size_t bytes = 0;
  };

  Target Make(const wchar_t* dcf, int64_t channel, QINT64 bands, QINT64 width, QINT64 height) {
    Target target;
    OperationArgs args;
    args.Push(reinterpret_cast<intptr_t>(dcf));
    args.Push(channel);
    args.Push(Q_DEFAULT);
    args.Push(reinterpret_cast<intptr_t>(&target.digitizer));
    system->DigAlloc(args, *ctx);
    const QID host =
        QbufAllocColor(Q_DEFAULT, bands, width, height, 8, Q_IMAGE | Q_GRAB | 0x40000, nullptr);
    target.buffer = system->AddBuffer(host);
    target.bytes = static_cast<size_t>(bands * width * height);
    return target;
  }

  bool Grab(const Target& target) {
    OperationArgs args;
    args.Push(target.digitizer);
    args.Push(target.buffer);
    args.Push(1);
    system->DigGrab(args, *ctx);
    return ctx->ErrorCode() == 0;
  }

  std::unique_ptr<zor::frame::QDDriverThreadContext> ctx;
  std::unique_ptr<BenchSystem> system;
  std::unique_ptr<zor::frame::QDZorThreadContext> caller;
};

GrabSetup& Setup() {
  static auto* setup = new GrabSetup;  // lives as long as the board
  return *setup;
}

void RunGrabs(benchmark::State& state, const GrabSetup::Target& target) {
  for (auto _ : state) {
    if (!Setup().Grab(target)) {
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
  static const GrabSetup::Target target = Setup().Make(L"Q_NTSC", 0, 1, 640, 480);
  RunGrabs(state, target);
}
BENCHMARK(BM_GrabMono640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MemcpyMono640x480(benchmark::State& state) { RunMemcpy(state, 640 * 480); }
BENCHMARK(BM_MemcpyMono640x480)->Unit(benchmark::kMicrosecond);

void BM_GrabColour720x576(benchmark::State& state) {
  static const GrabSetup::Target target = Setup().Make(L"Q_PAL", 1, 3, 720, 576);
  RunGrabs(state, target);
}
BENCHMARK(BM_GrabColour720x576)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MemcpyColour720x576(benchmark::State& state) { RunMemcpy(state, 720 * 576 * 3); }
BENCHMARK(BM_MemcpyColour720x576)->Unit(benchmark::kMicrosecond);

}  // namespace
