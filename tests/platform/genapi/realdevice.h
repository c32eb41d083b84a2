#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/testmap.h"
#include "tests/support/testdata/testdata.h"

namespace genapitest {

inline const char* const kFiles[] = {"aravis-arv-v4l2.xml", "aravis-tests-genicam.xml",
                                     "avt-mako-g030b.xml", "pgr-flea3-ge-28s4c.xml",
                                     "tucsen-dhyana6060bsi-cxp.xml"};

// A real device file over memory-backed registers.
struct Device {
  explicit Device(const char* file) {
    ref._LoadXMLFromFile(zortest::TestDataPath(std::string("genicam/") + file).c_str());
    EXPECT_TRUE(ref._Connect(&port, "Device"));
  }
  GenApi::INode* Node(const char* name) {
    GenApi::INode* node = ref._GetNode(name);
    EXPECT_NE(node, nullptr) << name;
    return node;
  }
  int64_t Address(const char* registerNode) {
    return GenApi::CRegisterPtr(Node(registerNode))->GetAddress();
  }
  void Put32(const char* registerNode, uint32_t value) {
    port.Put32(Address(registerNode), value, true);
  }

  GenApi::CNodeMapRef ref;
  MemoryPort port;
};

}  // namespace genapitest
