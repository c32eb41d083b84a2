// Every kernel request of the driver goes through one DeviceIoControl.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/event.h"

namespace {

class EchoDevice : public os::Device {
 public:
  void Control(std::shared_ptr<os::IoRequest> request) override {
    request->Complete(os::ERROR_SUCCESS, request->outputSize());
  }
};

class EchoProvider : public os::DeviceProvider {
 public:
  std::shared_ptr<os::Device> Open(uint32_t) override { return std::make_shared<EchoDevice>(); }
};

void BM_DeviceIoControl(benchmark::State& state) {
  os::RegisterDeviceProvider(L"BENCH", std::make_shared<EchoProvider>());
  os::Handle device =
      os::CreateFile(L"\\\\.\\BENCH_0", 0, 0, os::OPEN_EXISTING, os::FILE_FLAG_OVERLAPPED);
  os::Overlapped overlapped;
  overlapped.hEvent = os::CreateEvent(true, false);
  std::vector<unsigned char> record(static_cast<size_t>(state.range(0)));
  uint32_t bytes = 0;
  for (auto _ : state) {
    os::DeviceIoControl(device, 0xD8A42FEC, record.data(), static_cast<uint32_t>(record.size()),
                        record.data(), static_cast<uint32_t>(record.size()), &bytes, &overlapped);
    benchmark::DoNotOptimize(bytes);
  }
  os::CloseHandle(overlapped.hEvent);
  os::CloseHandle(device);
  os::UnregisterDeviceProvider(L"BENCH");
}
BENCHMARK(BM_DeviceIoControl)->Arg(112)->Arg(4096);

}  // namespace
