// Checks and defaults of the BSDL parser, on variants of the example device's file.
#include "driver/ieee1532/bsdl/bsdlparser.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <utility>

#include "driver/ieee1532/text/enginestop.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

std::string ExampleBsdl() { return ReadText(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.bsd"); }

struct Parsed {
  bool ok = false;
  std::string messages;
  BsdlEntity entity;
};

Parsed ParseText(const std::string& text) {
  ScratchFolder folder;
  MessagePort port;
  Parsed parsed;
  parsed.ok = ParseBsdl(folder.Write("device.bsd", text), parsed.entity);
  parsed.messages = port.text_;
  return parsed;
}

TEST(BsdlParser, ExampleDeviceParsesCleanly) {
  Parsed parsed = ParseText(ExampleBsdl());
  ASSERT_TRUE(parsed.ok) << parsed.messages;
  EXPECT_EQ(parsed.messages.find("Warning"), std::string::npos) << parsed.messages;
  const BsdlEntity& entity = parsed.entity;
  EXPECT_EQ(entity.edition, 2001);
  EXPECT_EQ(entity.ports[static_cast<size_t>(entity.FindPort("d"))].elements[1].pin, "6");
  EXPECT_EQ(entity.ports[static_cast<size_t>(entity.FindPort("d"))].elements[0].outputCell, 3);
  EXPECT_EQ(entity.cells[3].controlCell, 2);
  EXPECT_EQ(entity.cells[3].disableResult, kBsdlZ);
  EXPECT_EQ(entity.RegisterLength(entity.FindOpcode("isc_program")), 32);
  EXPECT_EQ(entity.RegisterLength(entity.idcode), 32);  // the standard DEVICE_ID default
  EXPECT_EQ(entity.iscStatus, 1);
  // The dump names the control cell of each cell that has one, cell 0 among them.
  MessagePort port;
  BsdlDumpInfo(entity);
  EXPECT_EQ(Missing(port.text_, {"Safe[X] Dv[0] C [    0]", "Safe[X] Dv[0] C [    2]"}), "");
  // A standard opcode the file leaves out joins its register, the first one too.
  Parsed first = ParseText(
      Replace(ExampleBsdl(), "\"ISC_DEFAULT[1]", "\"BOUNDARY[4] (EXTEST), \" & \"ISC_DEFAULT[1]"));
  ASSERT_TRUE(first.ok) << first.messages;
  EXPECT_EQ(first.entity.opcodes[static_cast<size_t>(first.entity.sample)].dataRegister, 0);
  // Every cell function by its name in the dump.
  std::string cells = Replace(ExampleBsdl(), "*,    control, 0), \" &\n    \"1",
                              "*,    controlr, 0), \" &\n    \"1");
  cells = Replace(cells, "1 (BC_1, D(1), bidir,   X, 0, 0, Z)", "1 (BC_1, D(1), observe_only, X)");
  Parsed reset = ParseText(cells);
  ASSERT_TRUE(reset.ok) << reset.messages;
  MessagePort dump;
  BsdlDumpInfo(reset.entity);
  EXPECT_EQ(Missing(dump.text_, {"] controlr Safe[0]", "] observe Safe[X]", "] bidir Safe[X]"}),
            "");
  // An opcode without a register, the first one too, is named in the error.
  first.entity.opcodes[0].dataRegister = -1;
  MessagePort errors;
  EXPECT_THROW(BsdlRegisterForOpcode(first.entity, 0), EngineStop);
  EXPECT_TRUE(errors.Saw("No data register for opcode [" + first.entity.opcodes[0].name + "]"));
}

// Each standard opcode left out, under both editions: the mandatory ones warn from their edition
// on.
TEST(BsdlParser, StandardOpcodesAreMandatorySinceTheirEdition) {
  const std::array<std::string, 3> cases[] = {{"BYPASS", "[BYPASS]", "[BYPASS]"},
                                              {"EXTEST", "[EXTEST]", "[EXTEST]"},
                                              {"SAMPLE", "[SAMPLE]", "[SAMPLE]"},
                                              {"PRELOAD", "", "[PRELOAD]"}};
  std::string base = Replace(ExampleBsdl(), "(BYPASS WAIT", "(ISC_DISABLE WAIT");
  for (const auto& [opcode, old, modern] : cases) {
    std::string text = base;
    size_t line = text.find("\"" + opcode + " ");
    text.erase(line, text.find('\n', line) - line);
    for (const auto& [edition, expected] : {std::pair{"1994", old}, std::pair{"2001", modern}}) {
      Parsed parsed =
          ParseText(Replace(text, "STD_1149_1_2001", std::string("STD_1149_1_") + edition));
      EXPECT_TRUE(parsed.ok) << parsed.messages;
      EXPECT_EQ(parsed.entity.edition, std::stoi(edition));
      std::string warnings;
      for (size_t at = 0;
           (at = parsed.messages.find("Mandatory opcode [", at)) != std::string::npos;) {
        at += 17;
        warnings += parsed.messages.substr(at, parsed.messages.find(']', at) + 1 - at);
      }
      EXPECT_EQ(warnings, expected) << opcode << " " << edition << "\n" << parsed.messages;
    }
  }
}

// The edits of the example's text in the data file: the text replaced, its replacement and the
// message the parse stops with, tab-separated, "\n" standing for a line break.
std::vector<std::array<std::string, 3>> StopCases() {
  std::istringstream lines(ReadText(TestDataPath("ieee1532/bsdl-edits.tsv")));
  std::vector<std::array<std::string, 3>> cases;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("--", 0) == 0) continue;
    for (size_t at; (at = line.find("\\n")) != std::string::npos;) line.replace(at, 2, "\n");
    std::istringstream row(line);
    std::array<std::string, 3>& c = cases.emplace_back();
    for (std::string& field : c) std::getline(row, field, '\t');
  }
  return cases;
}

// Nested loops are read recursively: a file must not be able to exhaust the stack.
TEST(BsdlParser, StructuralErrorsStopWithTheirMessage) {
  std::vector<std::array<std::string, 3>> cases = StopCases();
  ASSERT_EQ(cases.size(), 53u);
  std::string loops;
  for (int i = 0; i < 20000; ++i) loops += "(loop max 1 ";
  cases.push_back(
      {"flow_erase initialize (ISC_ERASE WAIT TCK 120)",
       "flow_erase initialize " + loops + "(ISC_ERASE WAIT TCK 120)" + std::string(20000, ')'),
       "Activity lists nested deeper than 64 levels"});
  for (const auto& [from, to, message] : cases) {
    Parsed parsed = ParseText(Replace(ExampleBsdl(), from, to));
    EXPECT_FALSE(parsed.ok) << message;
    EXPECT_NE(parsed.messages.find(message), std::string::npos) << parsed.messages;
    EXPECT_NE(parsed.messages.find("Error  : "), std::string::npos);
    EXPECT_NE(parsed.messages.find("*** Program stopped at"), std::string::npos);
  }
}

TEST(BsdlParser, ControlCellBesideAnInputCellIsAccepted) {
  Parsed parsed = ParseText(
      Replace(ExampleBsdl(), "\"0 (BC_1, *,    control, 0)\"", "\"0 (BC_1, D(0), control, 0)\""));
  EXPECT_TRUE(parsed.ok) << parsed.messages;
}

TEST(BsdlParser, EveryDisableResultIsReadByName) {
  const std::pair<const char*, int> results[] = {{"Z", kBsdlZ},         {"PULL0", kBsdlPull0},
                                                 {"PULL1", kBsdlPull1}, {"WEAK0", kBsdlWeak0},
                                                 {"WEAK1", kBsdlWeak1}, {"KEEPER", kBsdlKeeper}};
  for (const auto& [name, result] : results) {
    Parsed parsed =
        ParseText(Replace(ExampleBsdl(), "X, 2, 0, Z)", std::string("X, 2, 0, ") + name + ")"));
    ASSERT_TRUE(parsed.ok) << parsed.messages;
    EXPECT_EQ(parsed.entity.cells[3].disableResult, result) << name;
    EXPECT_EQ(parsed.messages.find("unknown disable result"), std::string::npos) << name;
  }
}

TEST(BsdlParser, MissingMandatoryProceduresOnlyWarn) {
  std::string text = Replace(ExampleBsdl(), "\"proc_error_exit      = (flow_disable), \" &", "");
  text = Replace(text, "\"proc_program_done    = (flow_done)\"", "\"proc_done = (flow_done)\"");
  text = Replace(text, "proc_disable, proc_program_done)", "proc_disable, proc_done)");
  Parsed parsed = ParseText(text);
  EXPECT_TRUE(parsed.ok) << parsed.messages;
  EXPECT_NE(parsed.messages.find("Mandatory proc_error_exit not defined"), std::string::npos);
  EXPECT_NE(parsed.messages.find("Mandatory proc_program_done not defined"), std::string::npos);
  // Found wherever they stand, first in the list too.
  std::string first = Replace(ExampleBsdl(), "\"proc_error_exit      = (flow_disable), \" &", "");
  first = Replace(
      first, "\"proc_verify(idcode)  = (flow_verify(idcode)), \" &",
      "\"proc_error_exit = (flow_disable), proc_verify(idcode) = (flow_verify(idcode)), \" &");
  Parsed front = ParseText(first);
  EXPECT_TRUE(front.ok) << front.messages;
  EXPECT_EQ(front.messages.find("Mandatory"), std::string::npos) << front.messages;
}

TEST(BsdlParser, LoopsKeepTheirCountsAndGetABoundWithoutMax) {
  Parsed parsed =
      ParseText(Replace(ExampleBsdl(), "flow_erase initialize (ISC_ERASE WAIT TCK 120)",
                        "flow_erase initialize (loop min 1 max 5 (ISC_ERASE WAIT TCK 120)"
                        "(ISC_DISABLE WAIT TCK 2147483647, 3600.0 MAX TCK 7)) "
                        "(loop min 2 (ISC_ERASE WAIT 1.5e-3))"));
  ASSERT_TRUE(parsed.ok) << parsed.messages;
  const BsdlFlow& flow =
      parsed.entity.flows[static_cast<size_t>(parsed.entity.FindFlow("flow_erase", ""))];
  ASSERT_EQ(flow.phases[kBsdlInitialize].size(), 2u);
  const BsdlActivity& bounded = flow.phases[kBsdlInitialize][0];
  EXPECT_TRUE(bounded.isLoop);
  EXPECT_EQ(bounded.minLoop, 1);
  EXPECT_EQ(bounded.maxLoop, 5);
  ASSERT_EQ(bounded.loop.size(), 2u);
  // Both bounds of a wait are accepted at their limits.
  EXPECT_EQ(bounded.loop[1].wait.minTck, INT32_MAX);
  EXPECT_FLOAT_EQ(bounded.loop[1].wait.minTime, 3600);
  EXPECT_EQ(bounded.loop[1].wait.maxTck, 7);
  const BsdlActivity& open = flow.phases[kBsdlInitialize][1];
  EXPECT_EQ(open.maxLoop, 2 + 1024);
  EXPECT_FLOAT_EQ(open.loop[0].wait.minTime, 1.5e-3f);
}

TEST(BsdlParser, VariableOperatorsAreRecorded) {
  Parsed parsed = ParseText(
      Replace(ExampleBsdl(), "flow_done initialize (BYPASS WAIT TCK 1)",
              "flow_done initialize (ISC_ADDRESS_SHIFT 6:$a=3F WAIT TCK 1) "
              "(ISC_ADDRESS_SHIFT 6:$a<<2 WAIT TCK 1)(ISC_ADDRESS_SHIFT 6:$a+3 WAIT TCK 1)"
              "(ISC_ADDRESS_SHIFT 6:$a~ WAIT TCK 1)(ISC_ADDRESS_SHIFT 6:$a WAIT TCK 1)"));
  ASSERT_TRUE(parsed.ok) << parsed.messages;
  const BsdlFlow& flow =
      parsed.entity.flows[static_cast<size_t>(parsed.entity.FindFlow("flow_done", ""))];
  const auto& list = flow.phases[kBsdlInitialize];
  EXPECT_EQ(flow.variables[0].initial, std::vector<uint32_t>{0x3F});
  std::string ops;
  for (const BsdlActivity& activity : list) ops += activity.update.at(0).value.op;
  EXPECT_EQ(ops, "=(+~.");
  EXPECT_EQ(list[1].update[0].value.count, 2);
}

TEST(BsdlParser, CutFilesStopCleanly) {
  for (const auto& [text, step] :
       {std::pair{ExampleBsdl(), size_t{37}},
        std::pair{ReadText(TestDataPath("bsdl/m4a3_64_32_xxvc_1532.bsdl")), size_t{701}}}) {
    for (size_t length = 0; length < text.size(); length += step) {
      Parsed parsed = ParseText(text.substr(0, length));
      EXPECT_FALSE(parsed.ok) << length;
      EXPECT_NE(parsed.messages.find("*** Program stopped at"), std::string::npos) << length;
    }
  }
}

}  // namespace
