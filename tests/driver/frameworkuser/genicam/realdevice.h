// A real camera file of the test data over memory-backed registers.
#pragma once

#include <string>

#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/memoryport.h"
#include "tests/support/testdata/testdata.h"

namespace genicamtest {

inline const char* const kRealFiles[] = {"aravis-arv-v4l2.xml", "aravis-tests-genicam.xml",
                                         "avt-mako-g030b.xml", "pgr-flea3-ge-28s4c.xml",
                                         "tucsen-dhyana6060bsi-cxp.xml"};

struct RealDevice {
  explicit RealDevice(const std::string& file) {
    ref._LoadXMLFromFile(zortest::TestDataPath("genicam/" + file).c_str());
    ref._Connect(&port, "Device");
  }
  GenApi::INodeMap& Map() { return *ref._Ptr; }
  GenApi::node_vector Nodes() {
    GenApi::node_vector nodes;
    ref._GetNodes(nodes);
    return nodes;
  }
  GenApi::INode* Node(const char* name) { return ref._GetNode(name); }

  GenApi::CNodeMapRef ref;
  genapitest::MemoryPort port;
};

}  // namespace genicamtest
