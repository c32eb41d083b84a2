// Parses register access, adds the standard registers and checks the mandatory opcodes.
#include <cstdlib>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/bsdl/bsdlparsing.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

struct StandardRegister {
  const char* opcode;
  const char* reg;
  int mandatorySince;  // first edition that requires the opcode; 0 never
};

const StandardRegister kStandard[] = {
    {"bypass", "bypass", 1994},    {"extest", "boundary", 1994}, {"sample", "boundary", 1994},
    {"preload", "boundary", 2001}, {"idcode", "device_id", 0},   {"usercode", "device_id", 0},
    {"clamp", "bypass", 0},        {"intest", "boundary", 0},    {"highz", "bypass", 0},
};

int AddRegister(BsdlEntity& entity, const std::string& name) {
  int index = entity.FindRegister(name);
  if (index >= 0) return index;
  BsdlDataRegister reg;
  reg.name = name;
  if (name == "bypass") reg.length = 1;
  if (name == "device_id") reg.length = 32;
  entity.AddRegister(reg);
  return static_cast<int>(entity.registers.size() - 1);
}

void Tie(BsdlEntity& entity, int opcode, int reg) {
  entity.opcodes[static_cast<size_t>(opcode)].dataRegister = reg;
  entity.registers[static_cast<size_t>(reg)].opcodes.push_back(opcode);
}

void ParseCaptures(BsdlDataRegister& reg, IscInputFile& value) {
  BsdlNext(value);
  std::string pattern = value.token;
  if (!BsdlOnlyChars(pattern, "01xX")) {
    BsdlError(value, "[%s] must contain only chars [%s]", pattern.c_str(), "01xX");
  }
  if (reg.length != 0 && static_cast<int64_t>(pattern.size()) != reg.length) {
    BsdlError(value, "Reg capture val length [%d] != reg length [%d]",
              static_cast<int>(pattern.size()), static_cast<int>(reg.length));
  }
  reg.capture = pattern;
}

void ParseRegisterOpcodes(BsdlEntity& entity, IscInputFile& value, int regIndex) {
  if (entity.opcodes.empty()) BsdlError(value, "No opcodes defined");
  while (true) {
    BsdlNext(value);
    if (!BsdlIsName(value)) BsdlError(value, "Expecting instr opcode");
    int opcode = entity.FindOpcode(value.lowerToken);
    if (opcode < 0) BsdlError(value, "Opcode [%s] not defined", value.token.c_str());
    int previous = entity.opcodes[static_cast<size_t>(opcode)].dataRegister;
    if (previous >= 0 && previous != regIndex) {
      BsdlWarn(value, "[%s] already associated with data register [%s]", value.token.c_str(),
               entity.registers[static_cast<size_t>(previous)].name.c_str());
    }
    if (previous != regIndex) Tie(entity, opcode, regIndex);
    BsdlNext(value);
    if (BsdlIs(value, "captures")) {
      ParseCaptures(entity.registers[static_cast<size_t>(regIndex)], value);
      BsdlNext(value);
    }
    if (BsdlIsChar(value, ')')) return;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "Expected [%c] in BSDL file", ',');
  }
}

}  // namespace

void BsdlParseRegisterAccess(BsdlEntity& entity, IscInputFile& value) {
  if (entity.registerAccessDefined) BsdlError(value, "Data reg access section already defined");
  entity.registerAccessDefined = true;
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    if (!BsdlIsName(value)) BsdlError(value, "Expecting data reg name");
    std::string name = value.lowerToken;
    int64_t length = 0;
    BsdlNext(value);
    if (BsdlIsChar(value, '[')) {
      length = BsdlRegisterLength(value);
      if (length <= 0) BsdlError(value, "register length must be > 0");
      BsdlExpect(value, ']');
      BsdlNext(value);
    }
    int existing = entity.FindRegister(name);
    int regIndex = AddRegister(entity, name);
    BsdlDataRegister& reg = entity.registers[static_cast<size_t>(regIndex)];
    if (length != 0) {
      if (existing >= 0 && reg.length != 0 && reg.length != length) {
        BsdlError(value, "[%s] already defined with length [%ld]", name.c_str(),
                  static_cast<long>(reg.length));
      }
      reg.length = length;
    }
    if (!BsdlIsChar(value, '(')) BsdlError(value, "Expected [%c] in BSDL file", '(');
    ParseRegisterOpcodes(entity, value, regIndex);
    BsdlNext(value);
    if (BsdlIs(value, "captures")) {
      ParseCaptures(entity.registers[static_cast<size_t>(regIndex)], value);
      BsdlNext(value);
    }
    if (value.eof) break;
    if (!BsdlIsChar(value, ',')) BsdlError(value, "Expected [%c] in BSDL file", ',');
  }
  BsdlApplyStandardRegisters(entity);
}

void BsdlApplyStandardRegisters(BsdlEntity& entity) {
  for (const StandardRegister& standard : kStandard) {
    int opcode = entity.FindOpcode(standard.opcode);
    if (opcode < 0 || entity.opcodes[static_cast<size_t>(opcode)].dataRegister >= 0) continue;
    Tie(entity, opcode, AddRegister(entity, standard.reg));
  }
}

void BsdlCheckMandatoryOpcodes(BsdlEntity& entity, IscInputFile& file) {
  for (const StandardRegister& standard : kStandard) {
    int opcode = entity.FindOpcode(standard.opcode);
    if (opcode < 0) {
      if (standard.mandatorySince != 0 && entity.edition >= standard.mandatorySince) {
        std::string upper = standard.opcode;
        for (char& c : upper) c = static_cast<char>(toupper(c));
        BsdlWarn(file, "Mandatory opcode [%s] undefined", upper.c_str());
      }
      continue;
    }
    const std::string& actual = entity
                                    .registers[static_cast<size_t>(
                                        entity.opcodes[static_cast<size_t>(opcode)].dataRegister)]
                                    .name;
    if (actual != standard.reg) {
      BsdlWarn(file, "Error: Cannot match opcode [%s] to reg [%s]", standard.opcode, standard.reg);
      BsdlError(file, "       - [%s] incorrectly matched to data reg [%s]", standard.opcode,
                actual.c_str());
    }
  }
}

const BsdlDataRegister& BsdlRegisterForOpcode(const BsdlEntity& entity, int opcode) {
  int reg = -1;
  if (opcode >= 0 && static_cast<size_t>(opcode) < entity.opcodes.size()) {
    reg = entity.opcodes[static_cast<size_t>(opcode)].dataRegister;
  }
  if (reg < 0) {
    const char* name = opcode >= 0 && static_cast<size_t>(opcode) < entity.opcodes.size()
                           ? entity.opcodes[static_cast<size_t>(opcode)].name.c_str()
                           : "?";
    IscReportf(kIscError, false, nullptr, "No data register for opcode [%s]", name);
  }
  return entity.registers[static_cast<size_t>(reg)];
}

}  // namespace zor::isc
