// A board system's allocation and free through libZOR.so on one board and on
// several, and one kernel request's round trip (wrapper, transport, device,
// simulated board and back) beside a direct call of the simulated board's
// request handler. Each prints its reference from the same run as counters.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "bench/support/times.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/transport/llsysalloc.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/thread.h"

namespace {

using zor::frame::LLsysHandlePair;

constexpr int kBoards = 4;

// A registry root and a GenICam installation of the bench's own, and four boards.
void PrepareEnvironment() {
  static const bool prepared = [] {
    const std::filesystem::path folder = zorbench::MakeBenchEnvironment("zorboardbench");
    if (folder.empty()) return false;
    setenv(boardsim::kBoardCountVariable, std::to_string(kBoards).c_str(), 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    return true;
  }();
  (void)prepared;
}

// Hook and host threads work for an allocation too: the process's CPU time counts them.
zorbench::Times ProcessTimes() { return zorbench::Times::Now(CLOCK_PROCESS_CPUTIME_ID); }

// Allocates a system on each of the first `boards` boards, then frees them all.
bool AllocateAndFree(int boards) {
  QID systems[kBoards] = {};
  bool allocated = true;
  for (int board = 0; board < boards; ++board) {
    systems[board] = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", board, Q_DEFAULT, nullptr);
    allocated = allocated && systems[board] != 0;
  }
  for (int board = 0; board < boards; ++board) {
    if (systems[board] != 0) QsysFree(systems[board]);
  }
  return allocated;
}

// Per system: wall and process CPU microseconds and their ratio, and the same for one board
// measured in the same run, so that growth with the boards shows as a ratio.
void BM_SystemAllocAndFree(benchmark::State& state) {
  PrepareEnvironment();
  const int boards = static_cast<int>(state.range(0));
  const zorbench::Times start = ProcessTimes();
  for (auto _ : state) {
    if (!AllocateAndFree(boards)) {
      state.SkipWithError("no system");
      return;
    }
  }
  const auto systems = static_cast<double>(state.iterations()) * boards;
  const zorbench::Times spent = ProcessTimes().Per(start, systems);
  const zorbench::Times oneStart = ProcessTimes();
  for (int64_t i = 0; i < state.iterations(); ++i) AllocateAndFree(1);
  const zorbench::Times one = ProcessTimes().Per(oneStart, static_cast<double>(state.iterations()));
  state.counters["wall_us"] = spent.wallUs;
  state.counters["cpu_us"] = spent.cpuUs;
  state.counters["wall_per_cpu"] = spent.wallUs / spent.cpuUs;
  state.counters["one_board_wall_us"] = one.wallUs;
  state.counters["one_board_cpu_us"] = one.cpuUs;
  state.counters["wall_per_one_board"] = spent.wallUs / one.wallUs;
}
BENCHMARK(BM_SystemAllocAndFree)->Arg(1)->Arg(2)->Arg(kBoards)->Unit(benchmark::kMicrosecond);

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

// Calls the board's request handler directly with the capabilities request.
class BareHandler {
 public:
  explicit BareHandler(const KernelSystem& kernel)
      : board_(*boardsim::LocalBoards().Find(0)), port_(std::make_shared<NoEvents>()) {
    record_.header.deviceHandle = kernel.pair.device;
    record_.header.systemId = kernel.pair.systemId;
    record_.requestWord = zor::kernel::kSysRequestCapabilities;
  }
  bool Serve() {
    auto request = std::make_shared<DirectRequest>(&record_, sizeof(record_));
    board_.Control(request, port_);
    return request->IsDone();
  }

 private:
  boardsim::Board& board_;
  const std::shared_ptr<boardsim::EventPort> port_;
  zor::kernel::SysRequest record_{};
};

// The round trip and the bare handler in turns of a batch each, so that both meet the same
// machine; per_handler is the round trip's thread CPU time over the handler's. Thread CPU time:
// everything of a request that completes at once runs on the caller, and CPU time leaves out
// the waits for a processor on a busy machine.
void BM_KernelRequestRoundTrip(benchmark::State& state) {
  constexpr int kBatch = 256;
  KernelSystem& kernel = Kernel();
  BareHandler handler(kernel);
  double roundTripUs = 0;
  double handlerUs = 0;
  for (auto _ : state) {
    const double start = zorbench::Times::Now().cpuUs;
    for (int i = 0; i < kBatch; ++i) {
      zor::kernel::SysRequest record{};
      zor::foundation::CError error;
      record.header = zor::frame::FreshHeader(error);
      record.requestWord = zor::kernel::kSysRequestCapabilities;
      zor::frame::DeviceRequest(kernel.pair, 0, record, error, kernel.ctx.get());
      benchmark::DoNotOptimize(record.value);
    }
    const double middle = zorbench::Times::Now().cpuUs;
    for (int i = 0; i < kBatch; ++i) benchmark::DoNotOptimize(handler.Serve());
    handlerUs += zorbench::Times::Now().cpuUs - middle;
    roundTripUs += middle - start;
  }
  const double requests = static_cast<double>(state.iterations()) * kBatch;
  state.counters["round_trip_ns"] = roundTripUs * 1e3 / requests;
  state.counters["handler_ns"] = handlerUs * 1e3 / requests;
  state.counters["per_handler"] = roundTripUs / handlerUs;
}
BENCHMARK(BM_KernelRequestRoundTrip);

void BM_SimulatorRequestHandler(benchmark::State& state) {
  BareHandler handler(Kernel());
  for (auto _ : state) benchmark::DoNotOptimize(handler.Serve());
}
BENCHMARK(BM_SimulatorRequestHandler);

}  // namespace
