// The device makers' own BSDL files parse and give what their text states.
#include <gtest/gtest.h>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

class BsdlRealFile : public testing::TestWithParam<const char*> {};

// Its warnings, and every port, cell, opcode with its patterns, register with its length and
// opcodes, and flow as the dump lists them, name, IDCODE and lengths first; then every activity
// of every flow whole, with the settings of each action.
TEST_P(BsdlRealFile, DumpsWhatItsTextStates) {
  MessagePort port;
  BsdlEntity entity;
  const std::string path = TestDataPath(std::string("bsdl/") + GetParam());
  ASSERT_TRUE(ParseBsdl(path, entity)) << port.text_;
  BsdlDumpInfo(entity);
  BsdlDumpFlows(entity);
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  for (size_t at; (at = port.text_.find(folder)) != std::string::npos;)
    port.text_.erase(at, folder.size());
  EXPECT_EQ(port.text_, ReadText(path + ".dump"));
  EXPECT_EQ(DescribeFlows(entity), ReadText(path + ".flows"));
}

INSTANTIATE_TEST_SUITE_P(Files, BsdlRealFile,
                         testing::Values("10cl025u256.bsd", "epc4q100_1532.bsd",
                                         "m4a3_64_32_xxvc_1532.bsdl", "sn74bct8244a_sctm002.bsm",
                                         "stm32f469_f479_lqfp176.bsd", "xc2c64a_vq44.bsd"));

TEST(BsdlRealFile, DesignWarningsShowOnlyWhenAskedFor) {
  MessagePort port;
  BsdlEntity quiet;
  ASSERT_TRUE(ParseBsdl(TestDataPath("bsdl/epc4q100_1532.bsd"), quiet));
  EXPECT_FALSE(port.Saw("design warnings"));

  IscEngineInitGlobals();
  IscGetSettings().bsdlWarnings = true;
  IscGetSettings().bufferedRead = false;  // read a character at a time
  BsdlEntity entity;
  IscInputFile input;
  InputFileInit(input, TestDataPath("bsdl/epc4q100_1532.bsd"));
  InputFileReopen(input, "r");
  ASSERT_EQ(BsdlParseFile(entity, input), 1);
  ExpectRun(port.text_, "design-warnings.txt");
  IscEngineFreeGlobals();
}

}  // namespace
