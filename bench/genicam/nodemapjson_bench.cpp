// Speed of the node-map JSON: snapshots of a real camera file and of a 4,000-node map, and the
// description document of one node.
#include <benchmark/benchmark.h>

#include <string>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/memoryport.h"
#include "tests/support/testdata/testdata.h"

using namespace GenApi;
using zor::genicam::NodeMapJsonWriter;

namespace {

struct Device {
  Device() = default;
  void LoadFile(const char* file) {
    ref._LoadXMLFromFile(zortest::TestDataPath(std::string("genicam/") + file).c_str());
    ref._Connect(&port, "Device");
  }
  void LoadText(const std::string& xml) {
    ref._LoadXMLFromString(xml.c_str());
    ref._Connect(&port, "Device");
  }
  CNodeMapRef ref;
  genapitest::MemoryPort port;
};

// 74 categories of 20 features: integers, floats and enumerations of three entries, each on a
// register of its own; about 4,000 nodes in all.
std::string LargeMapXml() {
  std::string root = "<Category Name='Root'>";
  std::string body;
  int address = 0;
  for (int c = 0; c < 74; ++c) {
    const std::string category = "Category" + std::to_string(c);
    root += "<pFeature>" + category + "</pFeature>";
    body += "<Category Name='" + category + "'>";
    std::string features;
    for (int f = 0; f < 20; ++f) {
      const std::string name = "F" + std::to_string(c) + "_" + std::to_string(f);
      body += "<pFeature>" + name + "</pFeature>";
      const std::string reg = "<Address>" + std::to_string(address) +
                              "</Address><Length>4</Length><AccessMode>RW</AccessMode>"
                              "<pPort>Device</pPort><Endianess>BigEndian</Endianess>";
      address += 4;
      if (f % 3 == 0) {
        features += "<Integer Name='" + name + "'><pValue>" + name + "_Reg</pValue>" +
                    "<Min>0</Min><Max>1000</Max></Integer><IntReg Name='" + name + "_Reg'>" + reg +
                    "</IntReg>";
      } else if (f % 3 == 1) {
        features += "<Float Name='" + name + "'><pValue>" + name + "_Reg</pValue>" +
                    "<Min>0</Min><Max>100</Max><Unit>ms</Unit></Float><FloatReg Name='" + name +
                    "_Reg'>" + reg + "</FloatReg>";
      } else {
        features += "<Enumeration Name='" + name + "'>";
        for (int e = 0; e < 3; ++e) {
          features += "<EnumEntry Name='E" + std::to_string(e) + "'><Value>" + std::to_string(e) +
                      "</Value></EnumEntry>";
        }
        features += "<pValue>" + name + "_Reg</pValue></Enumeration><IntReg Name='" + name +
                    "_Reg'>" + reg + "</IntReg>";
      }
    }
    body += "</Category>" + features;
  }
  root += "</Category>";
  return "<RegisterDescription ModelName='Large' VendorName='Bench'><Port Name='Device'/>" + root +
         body + "</RegisterDescription>";
}

void Snapshot(benchmark::State& state, Device& device) {
  size_t bytes = 0;
  for (auto _ : state) {
    NodeMapJsonWriter writer;
    const std::string text = writer.WriteNodeMap("Device", "Device", *device.ref._Ptr);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  const auto nodes = static_cast<int64_t>(device.ref._Ptr->GetNumNodes());
  state.SetItemsProcessed(state.iterations() * nodes);
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["json_bytes"] = static_cast<double>(bytes);
}

void BM_SnapshotLargestRealFile(benchmark::State& state) {
  Device device;
  device.LoadFile("avt-mako-g030b.xml");
  Snapshot(state, device);
}
BENCHMARK(BM_SnapshotLargestRealFile)->Unit(benchmark::kMillisecond);

void BM_SnapshotOf4000NodeMap(benchmark::State& state) {
  Device device;
  device.LoadText(LargeMapXml());
  Snapshot(state, device);
}
BENCHMARK(BM_SnapshotOf4000NodeMap)->Unit(benchmark::kMillisecond);

void BM_DescriptionOfOneNode(benchmark::State& state) {
  Device device;
  device.LoadFile("avt-mako-g030b.xml");
  INode* node = device.ref._GetNode("PixelFormat");
  for (auto _ : state) {
    NodeMapJsonWriter writer;
    writer.SetDeviceName("Device");
    writer.SetMode(NodeMapJsonWriter::kDescriptionDocument);
    const std::string text = writer.WriteNodeList({node}, false);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_DescriptionOfOneNode)->Unit(benchmark::kMicrosecond);

}  // namespace
