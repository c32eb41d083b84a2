#include <gtest/gtest.h>

#include <string>

#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/memoryport.h"

using namespace GenApi;

namespace {

const char* const kFiles[] = {"aravis-arv-v4l2.xml", "aravis-tests-genicam.xml",
                              "avt-mako-g030b.xml", "pgr-flea3-ge-28s4c.xml",
                              "tucsen-dhyana6060bsi-cxp.xml"};

std::string PathOf(const char* file) { return std::string(GENICAM_TESTDATA_DIR) + "/" + file; }

}  // namespace

TEST(RealFiles, LoadAndReadEveryNodeWithoutCrashing) {
  for (const char* file : kFiles) {
    SCOPED_TRACE(file);
    CNodeMapRef map;
    ASSERT_NO_THROW(map._LoadXMLFromFile(PathOf(file)));
    genapitest::MemoryPort port;
    EXPECT_TRUE(map._Connect(&port, "Device"));
    NodeList_t nodes;
    map._GetNodes(nodes);
    EXPECT_GT(nodes.size(), 10u);
    int failures = 0;
    for (INode* node : nodes) {
      try {
        CValuePtr value(node);
        if (value.IsValid() && IsReadable(value) &&
            node->GetPrincipalInterfaceType() != intfICommand) {
          value->ToString();
        }
      } catch (const GenICam::GenericException& e) {
        ++failures;
        std::printf("%s: %s\n", node->GetName().c_str(), e.GetDescription());
      }
    }
    std::printf("%s: %zu nodes, %d failures\n", file, nodes.size(), failures);
  }
}
