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
// opcodes, and flow as the dump lists them, name, IDCODE and lengths first.
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
}

INSTANTIATE_TEST_SUITE_P(Files, BsdlRealFile,
                         testing::Values("10cl025u256.bsd", "epc4q100_1532.bsd",
                                         "m4a3_64_32_xxvc_1532.bsdl", "sn74bct8244a_sctm002.bsm",
                                         "stm32f469_f479_lqfp176.bsd", "xc2c64a_vq44.bsd"));

TEST(BsdlRealFile, Epc4FlowsProceduresAndActions) {
  MessagePort port;
  BsdlEntity entity;
  ASSERT_TRUE(ParseBsdl(TestDataPath("bsdl/epc4q100_1532.bsd"), entity)) << port.text_;
  // Status, clamp, blank usercode, TCK port and frequency; flows, procedures and actions.
  EXPECT_EQ(std::to_string(entity.iscStatus) + " " + std::to_string(entity.pinBehaviorClamp) + " " +
                entity.blankUsercode + " " + entity.tckPort + " " +
                std::to_string(entity.tckFrequency) + " " + std::to_string(entity.flows.size()) +
                " " + std::to_string(entity.procedures.size()) + " " +
                std::to_string(entity.actions.size()),
            "0 1 " + std::string(32, '1') + " tck 10000000.000000 9 10 7");

  const BsdlFlow& verify =
      entity.flows[static_cast<size_t>(entity.FindFlow("flow_verify", "array"))];
  EXPECT_EQ(verify.repeatCount, 249999);
  EXPECT_GT(verify.dataCount, 0);
  const BsdlActivity& read = verify.phases[kBsdlRepeat].front();
  ASSERT_EQ(read.capture.size(), 2u);
  EXPECT_EQ(read.capture[0].width, 16);
  EXPECT_EQ(read.capture[0].value.kind, kBsdlFieldIscData);
  EXPECT_EQ(read.capture[0].mask.words, std::vector<uint32_t>{0xFFFF});
  EXPECT_EQ(read.capture[1].value.words, std::vector<uint32_t>{2});
  EXPECT_TRUE(read.crc);
  EXPECT_EQ(read.wait.minTck, 1);

  const BsdlFlow& program =
      entity.flows[static_cast<size_t>(entity.FindFlow("flow_program_donebit", ""))];
  EXPECT_FLOAT_EQ(program.phases[kBsdlInitialize][2].wait.minTime, 20.0e-3f);
  // A mask wider than its field is cut to the field.
  const BsdlFlow& blank =
      entity.flows[static_cast<size_t>(entity.FindFlow("flow_blank_check", ""))];
  EXPECT_EQ(blank.phases[kBsdlRepeat][0].capture[0].mask.words, std::vector<uint32_t>{0x3FFFF});

  const BsdlAction& action = entity.actions[static_cast<size_t>(entity.FindAction("program", ""))];
  ASSERT_EQ(action.procedures.size(), 9u);
  EXPECT_EQ(action.procedures[0].setting, kBsdlRecommended);
  EXPECT_EQ(action.procedures[4].name, "proc_program");
  EXPECT_EQ(action.procedures[4].data, "array");
}

TEST(BsdlRealFile, M4a3VariablesLoopsOfDataAndMarks) {
  MessagePort port;
  BsdlEntity entity;
  ASSERT_TRUE(ParseBsdl(TestDataPath("bsdl/m4a3_64_32_xxvc_1532.bsdl"), entity)) << port.text_;
  const BsdlOpcode& privateOp = entity.opcodes[static_cast<size_t>(entity.FindOpcode("private"))];
  EXPECT_TRUE(privateOp.isPrivate);
  EXPECT_EQ(privateOp.patterns.size(), 11u);

  const BsdlFlow& erase =
      entity.flows[static_cast<size_t>(entity.FindFlow("flow_erase_program", ""))];
  ASSERT_FALSE(erase.variables.empty());
  const BsdlVariable& addr = erase.variables[0];
  EXPECT_EQ(addr.name, "addr");
  EXPECT_EQ(addr.width, 80);
  EXPECT_EQ(addr.initial.back(), 0x8000u);  // bit 79 set
  const BsdlActivity& shift = erase.phases[kBsdlRepeat][2];
  EXPECT_EQ(shift.update[0].value.op, ')');
  EXPECT_EQ(shift.update[0].value.count, 1);
  // A 378-bit literal written over two strings is one value.
  const BsdlActivity& data = erase.phases[kBsdlRepeat][0];
  EXPECT_EQ(data.update[0].value.kind, kBsdlFieldLiteral);
  EXPECT_EQ(data.update[0].value.words.size(), 12u);
  EXPECT_LT(data.update[0].value.words.back(), 1u << 26);

  const BsdlFlow& read =
      entity.flows[static_cast<size_t>(entity.FindFlow("flow_read", "array_tdo"))];
  EXPECT_TRUE(read.unprocessed);
  EXPECT_EQ(read.dataCount, 0);
  EXPECT_EQ(read.phases[kBsdlRepeat][1].capture[0].value.mark, '!');

  const BsdlFlow& verify =
      entity.flows[static_cast<size_t>(entity.FindFlow("flow_verify", "idcode"))];
  const BsdlActivity& idcode = verify.phases[kBsdlInitialize][0];
  EXPECT_EQ(idcode.wait.minTck, 3);
  EXPECT_FLOAT_EQ(idcode.wait.minTime, 2.0e-3f);
  EXPECT_EQ(idcode.capture[0].value.words, std::vector<uint32_t>{0x17486157});
  EXPECT_EQ(idcode.capture[0].mask.words, std::vector<uint32_t>{0x0FFFFFFF});

  const BsdlAction& program = entity.actions[static_cast<size_t>(entity.FindAction("program", ""))];
  EXPECT_TRUE(program.proprietary);
  EXPECT_EQ(program.procedures[8].setting, kBsdlOptional);
}

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
  EXPECT_TRUE(port.Saw("Warning:     - IEEE 1149.1 design warnings: ------------"));
  EXPECT_TRUE(port.Saw("Designers must ensure that 1149.1 testing does not corrupt device"));
  EXPECT_TRUE(port.Saw("\n    -------------------------------------------"));
  IscEngineFreeGlobals();
}

}  // namespace
