// Speed of the STAPL player on the simulated chain: TCK cycles per second of a long scan loop,
// and the parse-and-run time of the largest real program.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "driver/firmware/boardjtagport.h"
#include "driver/firmware/stapl/staplexecute.h"
#include "driver/firmware/staplporthost.h"
#include "platform/boardsim/jtag/simjtagchain.h"
#include "tests/support/testdata/testdata.h"

using zor::firmware::CBoardJtagPort;
using zor::firmware::CStaplPortHost;
using zor::firmware::kStaplSuccess;
using zor::firmware::StaplExecute;

namespace {

class CSilentHost : public CStaplPortHost {
 public:
  using CStaplPortHost::CStaplPortHost;
  void StaplMessage(const char*) override {}
  void StaplExport(const char*, int64_t) override {}
  void StaplExportBits(const char*, const uint32_t*, int64_t) override {}
  // The bench measures the player, not the program's waits.
  void StaplDelay(int64_t) override {}
};

std::unique_ptr<boardsim::CSimJtagChain> MakeChain(int devices, uint32_t idcode, int irLength) {
  auto chain = std::make_unique<boardsim::CSimJtagChain>();
  for (int i = 0; i < devices; ++i) {
    boardsim::SimJtagDeviceConfig config;
    config.irLength = irLength;
    config.idcode = idcode;
    config.idcodeOpcode = 0x0F;
    chain->AddDevice(std::make_unique<boardsim::CSimJtagDevice>(config));
  }
  return chain;
}

int Run(boardsim::CSimJtagChain& chain, const std::string& program, const char* action) {
  CBoardJtagPort port(&chain);
  CSilentHost host(program.data(), static_cast<int32_t>(program.size()), port);
  int32_t line = 0, exitCode = 0;
  return StaplExecute(host, action, nullptr, &line, &exitCode);
}

void BM_ScanLoop(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const std::string program = "ACTION SCAN = LOOP;\nPROCEDURE LOOP;\n BOOLEAN DATA[" +
                              std::to_string(bits) + "];\n BOOLEAN CAPTURED[" +
                              std::to_string(bits) + "];\n INTEGER I;\n IRSCAN 16, $FFFF;\n" +
                              " FOR I = 1 TO 100;\n  DRSCAN " + std::to_string(bits) +
                              ", DATA[], CAPTURE CAPTURED[];\n" + " NEXT I;\nENDPROC;\n";
  auto chain = MakeChain(2, 0x0F8031CF, 8);
  for (auto _ : state) {
    if (Run(*chain, program, "SCAN") != kStaplSuccess) state.SkipWithError("program failed");
  }
  state.counters["TCK"] =
      benchmark::Counter(static_cast<double>(chain->ClockCount()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScanLoop)->Arg(64)->Arg(4096)->Unit(benchmark::kMillisecond);

std::string ReadRealProgram() { return zortest::ReadTestData("stapl/sf2_m2s010_mss_sys.stp"); }

void BM_RealProgram(benchmark::State& state, const char* action) {
  const std::string program = ReadRealProgram();
  auto chain = MakeChain(1, 0x0F8031CF, 8);
  for (auto _ : state) {
    if (Run(*chain, program, action) != kStaplSuccess) state.SkipWithError("program failed");
  }
  state.counters["TCK"] =
      benchmark::Counter(static_cast<double>(chain->ClockCount()), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_RealProgram, READ_IDCODE, "READ_IDCODE")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RealProgram, ERASE, "ERASE")->Unit(benchmark::kMillisecond);
// Polls a million times for an answer the simulated device never gives.
BENCHMARK_CAPTURE(BM_RealProgram, DEVICE_INFO, "DEVICE_INFO")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Reads every data block, the 4,633,600-bit compressed bit stream included.
void BM_RealProgramAllData(benchmark::State& state) {
  std::string program = ReadRealProgram();
  program.insert(program.find("ACTION ERASE"), "ACTION ALL_DATA = READ_ALL_DATA;\n");
  program.insert(program.rfind("CRC "),
                 "PROCEDURE READ_ALL_DATA USES PARAMETERS, GV, CONSTBLOCK, BITSTREAM, SHA256;\n"
                 "ENDPROC;\n");
  auto chain = MakeChain(1, 0x0F8031CF, 8);
  for (auto _ : state) {
    if (Run(*chain, program, "ALL_DATA") != kStaplSuccess) state.SkipWithError("program failed");
  }
}
BENCHMARK(BM_RealProgramAllData)->Unit(benchmark::kMillisecond);

}  // namespace
