// A board system's allocation and free through libZOR.so, and one kernel
// request's round trip (wrapper, transport, device, simulated board and back)
// beside a direct call of the simulated board's request handler.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/transport/llsysalloc.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/thread.h"

namespace {

using zor::frame::LLsysHandlePair;

// A registry root and a GenICam installation of the bench's own.
void PrepareEnvironment() {
  static const bool prepared = [] {
    const std::filesystem::path folder = zorbench::MakeBenchEnvironment("zorboardbench");
    if (folder.empty()) return false;
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    return true;
  }();
  (void)prepared;
}

void BM_SystemAllocAndFree(benchmark::State& state) {
  PrepareEnvironment();
  for (auto _ : state) {
    const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    if (system == 0) {
      state.SkipWithError("no system");
      break;
    }
    QsysFree(system);
  }
}
BENCHMARK(BM_SystemAllocAndFree)->Unit(benchmark::kMicrosecond);

// A kernel system on board 0 of this process, opened as the driver opens it.
struct KernelSystem {
  KernelSystem() {
    PrepareEnvironment();
    driver = zor::frame::CQDDeviceDriverWrapper::Instance().GetDriver();
    ctx = std::make_unique<zor::frame::QDDriverThreadContext>(*driver, os::GetCurrentThreadId());
    pair.device =
        os::HandleValue(os::CreateFile(L"\\\\.\\DRAVIONLYN_0", os::GENERIC_READ | os::GENERIC_WRITE,
                                       0, os::OPEN_EXISTING, os::FILE_FLAG_OVERLAPPED));
    zor::foundation::CError error;
    zor::frame::LLsysAllocate(0, 0, pair, nullptr, nullptr, error, ctx.get());
  }
  zor::frame::QDDeviceDriver* driver = nullptr;
  std::unique_ptr<zor::frame::QDDriverThreadContext> ctx;
  LLsysHandlePair pair;
};

KernelSystem& Kernel() {
  static KernelSystem* kernel = new KernelSystem;  // lives as long as the board
  return *kernel;
}

void BM_KernelRequestRoundTrip(benchmark::State& state) {
  KernelSystem& kernel = Kernel();
  for (auto _ : state) {
    zor::kernel::SysRequest record{};
    zor::foundation::CError error;
    record.header = zor::frame::FreshHeader(error);
    record.requestWord = zor::kernel::kSysRequestCapabilities;
    zor::frame::DeviceRequest(kernel.pair, 0, record, error, kernel.ctx.get());
    benchmark::DoNotOptimize(record.value);
  }
}
BENCHMARK(BM_KernelRequestRoundTrip);

// A request that completes where it is made, as the board's handler sees it.
class DirectRequest : public os::IoRequest {
 public:
  DirectRequest(const void* record, uint32_t size) : data_(size) {
    std::memcpy(data_.data(), record, size);
  }
  Kind kind() const override { return Kind::kControl; }
  uint32_t code() const override { return zor::kernel::ControlCode(zor::kernel::kSysRequest); }
  void* buffer() override { return data_.data(); }
  uint32_t inputSize() const override { return static_cast<uint32_t>(data_.size()); }
  uint32_t outputSize() const override { return static_cast<uint32_t>(data_.size()); }
  void Complete(uint32_t, uint32_t) override { done_ = true; }
  bool IsDone() const override { return done_; }

 private:
  std::vector<uint8_t> data_;
  bool done_ = false;
};

class NoEvents : public boardsim::EventPort {
 public:
  void Set(uint64_t) override {}
  void Reset(uint64_t) override {}
  bool IsSet(uint64_t) override { return false; }
};

void BM_SimulatorRequestHandler(benchmark::State& state) {
  KernelSystem& kernel = Kernel();
  boardsim::Board& board = *boardsim::LocalBoards().Find(0);
  const auto port = std::make_shared<NoEvents>();
  zor::kernel::SysRequest record{};
  record.header.deviceHandle = kernel.pair.device;
  record.header.systemId = kernel.pair.systemId;
  record.requestWord = zor::kernel::kSysRequestCapabilities;
  for (auto _ : state) {
    auto request = std::make_shared<DirectRequest>(&record, sizeof(record));
    board.Control(request, port);
    benchmark::DoNotOptimize(request->IsDone());
  }
}
BENCHMARK(BM_SimulatorRequestHandler);

}  // namespace
