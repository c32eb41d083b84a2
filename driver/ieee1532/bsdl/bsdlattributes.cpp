// BsdlParseAttribute: the BSDL attributes of an entity, from opcodes and TAP clock to ISC status.
#include <cstdlib>
#include <string>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/bsdl/bsdlparsing.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

void Once(IscInputFile& file, bool& defined, const char* message) {
  if (defined) BsdlError(file, "%s", message);
  defined = true;
}

constexpr const char* kUnknownTapScanClock = "Unknown TAP_SCAN_CLK format";

void ParseTapScanClock(BsdlEntity& entity, IscInputFile& value, const std::string& target) {
  Once(value, entity.tckDefined, "TAP_SCAN_CLK already specified");
  entity.tckPort = target;
  BsdlNext(value);
  if (!BsdlIsChar(value, '(')) BsdlError(value, kUnknownTapScanClock);
  double real = 0;
  int64_t integer = 0;
  if (InputFileReadNumber(value, real, integer) == kIscNumberSemicolon) {
    BsdlError(value, kUnknownTapScanClock);
  }
  entity.tckFrequency = static_cast<float>(real);
  BsdlExpect(value, ',');
  BsdlNext(value);
  if (!BsdlIs(value, "low") && !BsdlIs(value, "both")) BsdlError(value, "Expecting LOW or BOTH");
  BsdlExpect(value, ')');
}

void ParseIscStatus(BsdlEntity& entity, IscInputFile& value) {
  Once(value, entity.statusDefined, "ISC_STATUS already defined");
  BsdlNext(value);
  bool negated = BsdlIs(value, "not");
  if (negated) BsdlNext(value);
  if (!BsdlIs(value, "implemented")) BsdlError(value, "expecting [NOT] IMPLEMENTED");
  entity.iscStatus = negated ? 0 : 1;
}

void ParseLength(IscInputFile& value, int64_t& length, const char* message) {
  if (length != 0) BsdlError(value, "%s", message);
  length = BsdlRegisterLength(value);
}

struct StandardOpcode {
  const char* name;
  int BsdlEntity::*index;
};

constexpr StandardOpcode kStandardOpcodes[] = {
    {"sample", &BsdlEntity::sample},     {"extest", &BsdlEntity::extest},
    {"bypass", &BsdlEntity::bypass},     {"idcode", &BsdlEntity::idcode},
    {"usercode", &BsdlEntity::usercode}, {"user1", &BsdlEntity::user1},
    {"user2", &BsdlEntity::user2},
};

// Opcode names are unique (ParseOpcodes refuses a repeated one), so each index is set once.
void MarkStandardOpcode(BsdlEntity& entity, const std::string& name, int index) {
  for (const StandardOpcode& standard : kStandardOpcodes) {
    if (name == standard.name) entity.*standard.index = index;
  }
}

// The opcode's patterns up to its ')'; the '(' is read already.
void ReadOpcodePatterns(const BsdlEntity& entity, IscInputFile& value, BsdlOpcode& opcode) {
  while (true) {
    BsdlNext(value);
    std::string pattern = value.token;
    if (!BsdlOnlyChars(pattern, "01xX")) {
      BsdlError(value, "[%s] must contain only chars [%s]", pattern.c_str(), "01xX");
    }
    if (entity.instructionLength != 0 &&
        static_cast<int64_t>(pattern.size()) != entity.instructionLength) {
      BsdlError(value, "Opcode (%s) != specified IR length [%ld]", pattern.c_str(),
                static_cast<long>(entity.instructionLength));
    }
    opcode.patterns.push_back(pattern);
    BsdlNext(value);
    if (BsdlIsChar(value, ')')) return;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "Expecting ',' or ')'");
  }
}

void ParseOpcodes(BsdlEntity& entity, IscInputFile& value) {
  if (!entity.opcodes.empty()) BsdlError(value, "Instruction_opcode(s) already defined");
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    if (!BsdlIsName(value)) BsdlError(value, "Expecting instr name");
    if (entity.FindOpcode(value.lowerToken) >= 0) {
      BsdlError(value, "Opcode [%s] already defined", value.token.c_str());
    }
    BsdlOpcode opcode;
    opcode.name = value.lowerToken;
    MarkStandardOpcode(entity, opcode.name, static_cast<int>(entity.opcodes.size()));
    BsdlExpect(value, '(');
    ReadOpcodePatterns(entity, value, opcode);
    entity.AddOpcode(opcode);
    BsdlNext(value);
    if (value.eof) break;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "Expecting ',' or ';'");
  }
}

// Reads a list of instruction names and hands each opcode index to use.
template <typename Use>
void ParseInstructionList(BsdlEntity& entity, IscInputFile& value, const char* nameExpected,
                          Use use) {
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    if (BsdlIsChar(value, ',')) continue;
    if (!BsdlIsName(value)) BsdlError(value, "%s", nameExpected);
    int index = entity.FindOpcode(value.lowerToken);
    if (index < 0) BsdlError(value, "Opcode [%s] undefined", value.token.c_str());
    use(index);
  }
}

void ParsePrivate(BsdlEntity& entity, IscInputFile& value) {
  if (entity.opcodes.empty()) BsdlError(value, "Instruction opcodes not yet defined");
  Once(value, entity.privateDefined, "Instruction_private attribute already read");
  ParseInstructionList(entity, value, "Expecting private instruction", [&](int index) {
    BsdlOpcode& opcode = entity.opcodes[static_cast<size_t>(index)];
    if (opcode.isPrivate) {
      BsdlError(value, "[%s] private attribute already specified", opcode.name.c_str());
    }
    opcode.isPrivate = true;
  });
}

void ParseIllegalExit(BsdlEntity& entity, IscInputFile& value) {
  if (entity.opcodes.empty()) BsdlError(value, "No instructions defined yet");
  ParseInstructionList(entity, value, "Expecting instr name", [&](int index) {
    entity.illegalExit.push_back(entity.opcodes[static_cast<size_t>(index)].name);
  });
}

void ParsePinBehavior(BsdlEntity& entity, IscInputFile& value) {
  if (entity.pinBehaviorDefined) {
    BsdlWarn(value, "ISC_PIN_BEHAVIOR already defined as [%s]", entity.pinBehaviorOpcode.c_str());
  }
  entity.pinBehaviorDefined = true;
  BsdlNext(value);
  std::string instruction;
  if (!BsdlIs(value, "highz") && !BsdlIs(value, "clamp")) {
    // An instruction named before the behaviour must exist.
    if (entity.FindOpcode(value.lowerToken) < 0) {
      BsdlError(value, "Opcode [%s] undefined", value.token.c_str());
    }
    instruction = value.lowerToken;
    BsdlNext(value);
  }
  if (!BsdlIs(value, "highz") && !BsdlIs(value, "clamp")) {
    BsdlError(value, "Expected HIGHZ or CLAMP only");
  }
  entity.pinBehaviorClamp = BsdlIs(value, "clamp");
  if (instruction.empty() && entity.FindOpcode(value.lowerToken) >= 0)
    instruction = value.lowerToken;
  entity.pinBehaviorOpcode = instruction;
  BsdlNext(value);
  if (!value.eof) BsdlError(value, "Expecting ';'");
}

void ParseCode(IscInputFile& value, std::string& pattern, const char* what,
               const char* opcodeMessage, int opcode) {
  if (!pattern.empty()) BsdlError(value, "%s already defined", what);
  std::string text;
  for (char c : value.memory) {
    if (c != ' ') text += c;
  }
  if (!BsdlOnlyChars(text, "01xX")) {
    BsdlError(value, "[%s] must contain only chars [%s]", text.c_str(), "01xX");
  }
  if (text.size() > 32) BsdlError(value, "%s can only be 32 bits long", what);
  if (text.size() < 32) {
    BsdlError(value, "Only [%ld] of 32 %s bits specified", static_cast<long>(text.size()), what);
  }
  if (opcode < 0) BsdlError(value, "%s", opcodeMessage);
  pattern = text;
}

void ParseDesignWarning(IscInputFile& value, const char* title) {
  if (!IscGetSettings().bsdlWarnings) return;
  IscReportMessage(kIscWarning, title, false, &value);
  size_t column = 0;
  for (char c : value.memory) {
    if (column >= 71 && (c == ' ' || c == '\t')) {
      IscWriteMessageLine("", kIscLinePlain);
      column = 0;
      continue;
    }
    char piece[2] = {c, 0};
    IscWriteMessageLine(piece, 0);
    ++column;
  }
  IscWriteMessageLine("", kIscLinePlain);
  IscWriteMessageLine("    -------------------------------------------",
                      kIscLineBreakFirst | kIscLineBreakAfter);
}

}  // namespace

void BsdlParseAttribute(BsdlEntity& entity, IscInputFile& input) {
  BsdlNext(input);
  std::string name = input.lowerToken;
  InputFileExpectWord(input, "of", false);
  BsdlNext(input);
  std::string target = input.lowerToken;
  BsdlExpect(input, ':');
  InputFileExpectWord(input, "is", true);
  IscInputFile value;
  BsdlCollectValue(input, value);
  if (name == "tap_scan_clock") {
    ParseTapScanClock(entity, value, target);
  } else if (name == "isc_status") {
    ParseIscStatus(entity, value);
  } else if (name == "instruction_length") {
    ParseLength(value, entity.instructionLength, "Instr length already defined");
  } else if (name == "boundary_length") {
    ParseLength(value, entity.boundaryLength, "BSC length already defined");
  } else if (name == "instruction_opcode") {
    ParseOpcodes(entity, value);
  } else if (name == "instruction_capture") {
    entity.instructionCapture = value.memory;
  } else if (name == "instruction_private") {
    ParsePrivate(entity, value);
  } else if (name == "isc_illegal_exit") {
    ParseIllegalExit(entity, value);
  } else if (name == "isc_pin_behavior") {
    ParsePinBehavior(entity, value);
  } else if (name == "idcode_register") {
    ParseCode(value, entity.idcodeRegister, "IDCODE",
              "IDCODE_REGISTER defined but BSDL has no IDCODE opcode", entity.idcode);
  } else if (name == "usercode_register") {
    ParseCode(value, entity.usercodeRegister, "USERCODE", "BSDL has no USERCODE opcode",
              entity.usercode);
  } else if (name == "isc_blank_usercode") {
    ParseCode(value, entity.blankUsercode, "ISC_BLANK_USERCODE", "BSDL has no USERCODE opcode",
              entity.usercode);
  } else if (name == "boundary_register") {
    BsdlParseBoundaryRegister(entity, value);
  } else if (name == "register_access") {
    BsdlParseRegisterAccess(entity, value);
  } else if (name == "pin_map") {
    BsdlNext(value);
    entity.pinMapName = value.lowerToken;
  } else if (name == "isc_flow") {
    Once(value, entity.flowsDefined, "ISC_FLOW already defined");
    BsdlParseFlows(entity, value);
  } else if (name == "isc_procedure") {
    Once(value, entity.proceduresDefined, "ISC_PROCEDURE already defined");
    BsdlParseProcedures(entity, value);
  } else if (name == "isc_action") {
    Once(value, entity.actionsDefined, "ISC_ACTION already defined");
    BsdlParseActions(entity, value);
  } else if (name == "design_warning") {
    ParseDesignWarning(value, "    - IEEE 1149.1 design warnings: ------------");
  } else if (name == "isc_design_warning") {
    ParseDesignWarning(value, "    - ISC design warnings: --------------------");
  }
}

}  // namespace zor::isc
