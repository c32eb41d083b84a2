#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/genapi/genapi.h"
#include "platform/genapi/xml/zipdata.h"
#include "tests/support/testdata/testdata.h"

using namespace GenApi;

namespace {

class ArrayPort : public IPort {
 public:
  EAccessMode GetAccessMode() const override { return RW; }
  void Read(void* buffer, int64_t address, int64_t length) override {
    std::memcpy(buffer, memory.data() + address, static_cast<size_t>(length));
  }
  void Write(const void* buffer, int64_t address, int64_t length) override {
    std::memcpy(memory.data() + address, buffer, static_cast<size_t>(length));
  }
  std::vector<uint8_t> memory = std::vector<uint8_t>(0x10000, 0);
};

const char* const kFiles[] = {"aravis-arv-v4l2.xml", "aravis-tests-genicam.xml",
                              "avt-mako-g030b.xml", "pgr-flea3-ge-28s4c.xml",
                              "tucsen-dhyana6060bsi-cxp.xml"};

std::string FileText(const char* file) {
  return zortest::ReadTestData(std::string("genicam/") + file);
}

void BM_LoadFile(benchmark::State& state) {
  const std::string xml = FileText(kFiles[state.range(0)]);
  for (auto _ : state) {
    CNodeMapRef ref;
    ref._LoadXMLFromString(xml.c_str());
    benchmark::DoNotOptimize(ref._Ptr);
  }
  state.SetLabel(kFiles[state.range(0)]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
}
BENCHMARK(BM_LoadFile)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// About 1 MB of registers, integers, formulas and enumerations.
std::string LargeXml() {
  std::string xml = "<RegisterDescription ModelName='Big'><Port Name='Device'/>";
  for (int i = 0; xml.size() < 1'000'000; ++i) {
    const std::string n = std::to_string(i);
    xml += "<Integer Name='Feature" + n + "'><ToolTip>Feature number " + n +
           "</ToolTip><pValue>Reg" + n + "</pValue><Min>0</Min><pMax>Max" + n +
           "</pMax></Integer><IntReg Name='Reg" + n + "'><Address>" +
           std::to_string(4 * (i % 4000)) +
           "</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>"
           "<Endianess>BigEndian</Endianess></IntReg><IntSwissKnife Name='Max" +
           n + "'><pVariable Name='R'>Reg" + n +
           "</pVariable><Formula>(R + 16) * 2</Formula>"
           "</IntSwissKnife><Enumeration Name='Mode" +
           n +
           "'><EnumEntry Name='Off'><Value>0</Value></EnumEntry><EnumEntry Name='On'><Value>1"
           "</Value></EnumEntry><pValue>Reg" +
           n + "</pValue></Enumeration>";
  }
  return xml + "</RegisterDescription>";
}

void BM_LoadOneMegabyte(benchmark::State& state) {
  const std::string xml = LargeXml();
  for (auto _ : state) {
    CNodeMapRef ref;
    ref._LoadXMLFromString(xml.c_str());
    benchmark::DoNotOptimize(ref._Ptr);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
}
BENCHMARK(BM_LoadOneMegabyte)->Unit(benchmark::kMillisecond);

const char* kRegisters =
    "<RegisterDescription ModelName='M'><Port Name='Device'/>"
    "<Integer Name='Width'><pValue>WidthReg</pValue></Integer>"
    "<IntReg Name='WidthReg'><Address>0x100</Address><Length>4</Length><AccessMode>RW</AccessMode>"
    "<pPort>Device</pPort><Endianess>BigEndian</Endianess></IntReg>"
    "<IntReg Name='Live'><Address>0x200</Address><Length>4</Length><AccessMode>RO</AccessMode>"
    "<pPort>Device</pPort><Cachable>NoCache</Cachable></IntReg>"
    "</RegisterDescription>";

void BM_CachedIntegerRead(benchmark::State& state) {
  CNodeMapRef ref;
  ref._LoadXMLFromString(kRegisters);
  ArrayPort port;
  ref._Connect(&port);
  CIntegerPtr width(ref._GetNode("Width"));
  width->GetValue();
  for (auto _ : state) benchmark::DoNotOptimize(width->GetValue());
}
BENCHMARK(BM_CachedIntegerRead);

void BM_UncachedReadThroughPort(benchmark::State& state) {
  CNodeMapRef ref;
  ref._LoadXMLFromString(kRegisters);
  ArrayPort port;
  ref._Connect(&port);
  CIntegerPtr live(ref._GetNode("Live"));
  for (auto _ : state) benchmark::DoNotOptimize(live->GetValue());
}
BENCHMARK(BM_UncachedReadThroughPort);

void BM_FormulaHeavyRead(benchmark::State& state) {
  CNodeMapRef ref;
  ref._LoadXMLFromString(FileText("aravis-tests-genicam.xml").c_str());
  CIntegerPtr knife(ref._GetNode("IntSwissKnifeBug699228"));  // 16 nested ?: with 48 tests
  for (auto _ : state) benchmark::DoNotOptimize(knife->GetValue());
}
BENCHMARK(BM_FormulaHeavyRead);

}  // namespace
