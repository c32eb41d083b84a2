// The JSON documents of the board's own system and digitizer maps pass the same checks as those of
// the real camera files.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "tests/driver/board/genicam/ownnodemapsfixture.h"
#include "tests/driver/frameworkuser/genicam/nodedocumentcheck.h"

namespace zor::board {
namespace {

class OwnNodeMapsJsonTest : public OwnNodeMapsFixture {
 protected:
  // Snapshot of the whole map, then every document of every node.
  static void CheckEveryDocument(genicam::GenICamControl& control, const std::string& device) {
    genicam::NodeMapJsonWriter writer;
    genicamtest::CheckSnapshot(writer.WriteNodeMap(device, "Own", *control.NodeMap()->_Ptr), device,
                               "Own");
    GenApi::NodeList_t nodes;
    control.NodeMap()->_GetNodes(nodes);
    genicamtest::DocumentCounts counts;
    for (GenApi::INode* node : nodes) genicamtest::CheckNodeDocuments(node, counts);
    EXPECT_GT(counts.statesChecked, 10);
    // Every feature of the own maps reads, so no entry is cut short.
    EXPECT_EQ(counts.descriptionsCut, 0);
  }
};

TEST_F(OwnNodeMapsJsonTest, EveryDocumentOfSystemAndDigitizerMapsIsValidInProtocolOrder) {
  std::shared_ptr<genicam::GenICamControl> system = Control(system_, L"QsysControl");
  ASSERT_NE(system, nullptr);
  {
    SCOPED_TRACE("system");
    CheckEveryDocument(*system, "System");
  }
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  std::shared_ptr<genicam::GenICamControl> own = Control(digitizer, L"QdigControl");
  ASSERT_NE(own, nullptr);
  {
    SCOPED_TRACE("digitizer");
    CheckEveryDocument(*own, "Digitizer");
  }
  QdigFree(digitizer);
}

}  // namespace
}  // namespace zor::board
