// A whole programming run of the grab module's firmware on the simulated chain: chain discovery
// through the STAPL player, then the IEEE 1532 engine on the pin layer, the board JTAG port and
// the simulated devices. Reports the TCK cycles (bits shifted) per second of the whole run and
// the share of the run spent outside the engine.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "driver/firmware/boardjtagport.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "platform/boardsim/jtag/simgrabmodule.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kFolder = ZOR_FIRMWARE_DIR;

// The port finds its folders in the registry; the bench sets them itself in a root of its own.
void UseOwnRegistry() {
  if (getenv("ZOR_REGISTRY_ROOT") != nullptr) return;
  std::string root = (std::filesystem::temp_directory_path() / "zorbench.XXXXXX").string();
  if (mkdtemp(root.data()) != nullptr) setenv("ZOR_REGISTRY_ROOT", root.c_str(), 1);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_ProgramGrabModule(benchmark::State& state) {
  UseOwnRegistry();
  double whole = 0, engine = 0;
  uint64_t clocks = 0;
  for (auto _ : state) {
    state.PauseTiming();
    boardsim::CSimGrabModule module(0);
    zor::firmware::CBoardJtagPort port(&module.Chain());
    port.firmwareFolder_.Assign(kFolder.c_str());
    port.bsdlFolder_.Assign((kFolder + "/bsdl_1532").c_str());
    state.ResumeTiming();
    const Clock::time_point start = Clock::now();
    const int result =
        port.Program("jtag_file.inf", (kFolder + "/DravionLyn.firmware").c_str(), nullptr);
    whole += Seconds(Clock::now() - start);
    state.PauseTiming();
    if (result != 0) state.SkipWithError("programming failed");
    clocks += module.Chain().ClockCount();
    // The engine alone, on the command lines the run wrote.
    const uint64_t before = module.Chain().ClockCount();
    std::string arguments[] = {"rurura", "-checkinpfiles", "-i", ""};
    char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(),
                    arguments[3].data()};
    const Clock::time_point engineStart = Clock::now();
    zor::isc::IscEngineMain(4, argv);
    engine += Seconds(Clock::now() - engineStart);
    if (port.failure_ != 0 || module.Chain().ClockCount() == before) {
      state.SkipWithError("engine run failed");
    }
    state.ResumeTiming();
  }
  state.counters["shifted_bits_per_s"] = static_cast<double>(clocks) / whole;
  state.counters["bits_per_run"] = static_cast<double>(clocks) / state.iterations();
  state.counters["share_outside_engine"] = whole > 0 ? 1.0 - engine / whole : 0;
}
BENCHMARK(BM_ProgramGrabModule)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
