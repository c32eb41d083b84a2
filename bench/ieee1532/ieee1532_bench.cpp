// Parsing speed of BSDL files and programming throughput of the engine on the simulated chain.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/firmware/boardjtagport.h"
#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "platform/boardsim/jtag/chainfile.h"
#include "tests/support/testdata/testdata.h"

using zor::firmware::CBoardJtagPort;
using zor::isc::BsdlEntity;
using zor::isc::BsdlParseFile;
using zor::isc::InputFileInit;
using zor::isc::InputFileReopen;
using zor::isc::IscEngineFreeGlobals;
using zor::isc::IscEngineInitGlobals;
using zor::isc::IscEngineMain;
using zor::isc::IscInputFile;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("iscbench_" + name)).string();
}

void ParseFile(benchmark::State& state, const std::string& path) {
  CBoardJtagPort port(nullptr);
  port.commandSource_ = 1;
  for (auto _ : state) {
    IscEngineInitGlobals();
    BsdlEntity entity;
    IscInputFile input;
    InputFileInit(input, path);
    InputFileReopen(input, "r");
    benchmark::DoNotOptimize(BsdlParseFile(entity, input));
  }
  IscEngineFreeGlobals();
}

void BM_ParseLargestRealBsdl(benchmark::State& state) {
  ParseFile(state, zortest::TestDataPath("bsdl/m4a3_64_32_xxvc_1532.bsdl"));
}
BENCHMARK(BM_ParseLargestRealBsdl)->Unit(benchmark::kMillisecond);

// The example device with a boundary register of 4,900 cells, one a line: about 5,000 lines.
void BM_Parse5000LineBsdl(benchmark::State& state) {
  std::string text = ReadText(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.bsd");
  std::string cells;
  for (int i = 4899; i >= 0; --i) {
    cells += "    \"" + std::to_string(i) + " (BC_1, *, internal, X)" + (i > 0 ? ", \" &\n" : "\"");
  }
  size_t from = text.find("  attribute BOUNDARY_REGISTER");
  size_t to = text.find(";", from);
  text.replace(from, to - from, "  attribute BOUNDARY_REGISTER of ZORFLASH : entity is\n" + cells);
  text = Replace(text, "entity is 4;", "entity is 4900;");
  std::string path = TempPath("5000.bsd");
  std::ofstream(path, std::ios::binary) << text;
  state.counters["lines"] = static_cast<double>(std::count(text.begin(), text.end(), '\n'));
  ParseFile(state, path);
  std::filesystem::remove(path);
}
BENCHMARK(BM_Parse5000LineBsdl)->Unit(benchmark::kMillisecond);

// The example device with state.range(0) more ports, each on a pin of its own and in a boundary
// cell: the parse time should grow in proportion to the ports.
void BM_ParseManyPorts(benchmark::State& state) {
  const int64_t ports = state.range(0);
  std::string text = ReadText(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.bsd");
  std::string declared, pins, cells;
  for (int64_t i = 0; i < ports; ++i) {
    const std::string name = "P" + std::to_string(i);
    declared += "    " + name + " : inout bit;\n";
    pins += "    \", " + name + " : " + std::to_string(100 + i) + "\" &\n";
    cells += "    \"" + std::to_string(i + 4) + " (BC_1, " + name + ", bidir, X), \" &\n";
  }
  text = Replace(text, "    GND           : linkage bit",
                 declared + "    GND           : linkage bit");
  text =
      Replace(text, "\"D : (5, 6), GND : 8\"", "\"D : (5, 6), GND : 8\" &\n" + pins + "    \"\"");
  text = Replace(text, "    \"3 (BC_1, D(0)", cells + "    \"3 (BC_1, D(0)");
  text = Replace(text, "BOUNDARY_LENGTH of ZORFLASH : entity is 4;",
                 "BOUNDARY_LENGTH of ZORFLASH : entity is " + std::to_string(ports + 4) + ";");
  std::string path = TempPath(std::to_string(ports) + "ports.bsd");
  std::ofstream(path, std::ios::binary) << text;
  state.counters["ports"] = static_cast<double>(ports);
  ParseFile(state, path);
  std::filesystem::remove(path);
}
BENCHMARK(BM_ParseManyPorts)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond);

// Program and verify 4,096 words of 32 bits between two bypassed devices. The engine's whole run
// is measured (reading the files, programming, verifying); the payload is the words' bits.
void BM_ProgramThroughput(benchmark::State& state) {
  const int words = 4096;
  std::string folder = std::filesystem::temp_directory_path().string() + "/";
  std::string bsdl = ReadText(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.bsd");
  bsdl = Replace(bsdl, "repeat 64", "repeat " + std::to_string(words));
  bsdl = Replace(bsdl, "ISC_ADDRESS[6]", "ISC_ADDRESS[12]");
  bsdl = Replace(bsdl, "6:0 WAIT", "12:000 WAIT");
  std::ofstream(TempPath("big.bsd"), std::ios::binary) << bsdl;
  std::string data =
      "IEEE_1532_Data\n(Header (STD_Version STD_1532_2001 Creation_Date 20261207.0900"
      " Entity zorflash)\n DATA array ( repeat (\n";
  for (int i = 0; i < words; ++i) {
    char row[16];
    snprintf(row, sizeof(row), "%08X%s\n", static_cast<unsigned>(i * 2654435761u),
             i + 1 < words ? "," : "");
    data += row;
  }
  data += ")))\n";
  std::ofstream(TempPath("big.isc"), std::ios::binary) << data;
  uint64_t clocks = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto chain = boardsim::ParseChainJson(
        R"({"devices": [{"name": "b", "irLength": 4},
           {"name": "f", "type": "isc", "irLength": 8, "idcode": "0x01234567", "boundaryLength": 4,
            "words": 4096, "wordBits": 32},
           {"name": "a", "irLength": 6}]})");
    CBoardJtagPort port(chain.get());
    port.bsdlFolder_.Assign(folder.c_str());
    port.lines_[0].Assign("a -i6;");
    port.lines_[1].Assign(
        ("f -b\"iscbench_big.bsd\" -d\"" + TempPath("big.isc") + "\" -a\"program\";").c_str());
    port.lines_[2].Assign("b -i4;");
    std::string arguments[] = {"rurura", "-checkinpfiles", "-i", ""};
    char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(),
                    arguments[3].data()};
    state.ResumeTiming();
    IscEngineMain(4, argv);
    state.PauseTiming();
    if (port.failure_ != 0) state.SkipWithError("programming failed");
    clocks += chain->ClockCount();
    state.ResumeTiming();
  }
  state.counters["payload_bits_per_s"] =
      benchmark::Counter(static_cast<double>(words) * 32 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["shifted_bits_per_s"] =
      benchmark::Counter(static_cast<double>(clocks), benchmark::Counter::kIsRate);
  std::filesystem::remove(TempPath("big.bsd"));
  std::filesystem::remove(TempPath("big.isc"));
}
BENCHMARK(BM_ProgramThroughput)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
