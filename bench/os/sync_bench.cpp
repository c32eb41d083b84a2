// Hook threads and waits hand work over through events.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace {

void BM_EventPingPong(benchmark::State& state) {
  os::Handle ping = os::CreateEvent(false, false);
  os::Handle pong = os::CreateEvent(false, false);
  std::atomic<bool> stop = false;
  std::thread partner([&] {
    while (os::WaitForSingleObject(ping, os::INFINITE) == os::WAIT_OBJECT_0 && !stop) {
      os::SetEvent(pong);
    }
  });
  for (auto _ : state) {
    os::SetEvent(ping);
    os::WaitForSingleObject(pong, os::INFINITE);
  }
  stop = true;
  os::SetEvent(ping);
  partner.join();
  os::CloseHandle(ping);
  os::CloseHandle(pong);
}
BENCHMARK(BM_EventPingPong);

void BM_WaitAllSignalled(benchmark::State& state) {
  std::vector<os::Handle> events(static_cast<size_t>(state.range(0)));
  for (os::Handle& event : events) event = os::CreateEvent(true, true);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        os::WaitForMultipleObjects(static_cast<uint32_t>(events.size()), events.data(), true, 0));
  }
  for (os::Handle event : events) os::CloseHandle(event);
}
BENCHMARK(BM_WaitAllSignalled)->Arg(1)->Arg(64);

}  // namespace
