// BsdlParseFile: the statements of a BSDL file, entity, generic, use, ports and attributes.
#include "driver/ieee1532/bsdl/bsdlparser.h"

#include <cstdlib>

#include "driver/foundation/asciitext.h"
#include "driver/ieee1532/bsdl/bsdlparsing.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

void ParseEntityName(BsdlEntity& entity, IscInputFile& file) {
  BsdlNext(file);
  if (!BsdlIsName(file)) BsdlError(file, "Expecting entity name");
  entity.name = file.lowerToken;
  InputFileExpectWord(file, "is", false);
}

void ParseGeneric(BsdlEntity& entity, IscInputFile& file) {
  IscInputFile value;
  BsdlCollectValue(file, value);
  // (NAME : string := "DEFAULT") : the default names the pin map constant.
  std::string last;
  while (true) {
    BsdlNext(value);
    if (value.eof) break;
    if (BsdlIsName(value) || value.tokenKind == kIscTokenNumber) last = value.token;
  }
  entity.genericDefault = foundation::ToLowerAscii(last);
}

void ParseUse(BsdlEntity& entity, IscInputFile& file) {
  IscInputFile value;
  BsdlCollectValue(file, value);
  BsdlNext(value);
  std::string package = value.lowerToken;
  if (package.rfind("std_", 0) != 0) BsdlError(value, "Expecting std_* string");
  const std::string prefix = "std_1149_1_";
  if (package.rfind(prefix, 0) == 0) {
    long year = strtol(package.c_str() + prefix.size(), nullptr, 10);
    entity.edition = year != 0 && year < 2001 ? 1994 : 2001;
  }
}

void ParseConstant(BsdlEntity& entity, IscInputFile& file) {
  BsdlNext(file);
  if (!BsdlIsName(file)) BsdlError(file, "Expecting a constant");
  std::string name = file.lowerToken;
  BsdlExpect(file, ':');
  BsdlNext(file);
  std::string type = file.lowerToken;
  BsdlExpect(file, ':');
  BsdlExpect(file, '=');
  IscInputFile value;
  BsdlCollectValue(file, value);
  if (value.memory.empty()) BsdlError(file, "Expecting a constant value");
  if (type != "pin_map_string" || entity.pinMapParsed) return;
  // PIN_MAP names the generic, whose default names the constant, or the constant itself.
  std::string wanted = entity.genericDefault.empty() ? entity.pinMapName : entity.genericDefault;
  if (!wanted.empty() && wanted != name) return;
  entity.pinMapName = name;
  BsdlParsePinMap(entity, value);
}

void ParseEnd(BsdlEntity& entity, IscInputFile& file) {
  BsdlNext(file);
  if (file.lowerToken != entity.name) {
    BsdlError(file, "[%s] does not match entity [%s]", file.token.c_str(), entity.name.c_str());
  }
  BsdlExpect(file, ';');
  entity.ended = true;
}

void SkipStatement(IscInputFile& file) {
  IscInputFile value;
  BsdlCollectValue(file, value);
}

void CheckAfterFile(BsdlEntity& entity, IscInputFile& file) {
  int boundary = entity.FindRegister("boundary");
  if (boundary >= 0) {
    BsdlDataRegister& reg = entity.registers[static_cast<size_t>(boundary)];
    if (reg.length != 0 && reg.length != entity.boundaryLength) {
      BsdlError(file, "BOUNDARY_LENGTH (%ld) != REGISTER_ACCESS BOUNDARY length (%ld)",
                static_cast<long>(entity.boundaryLength), static_cast<long>(reg.length));
    }
    reg.length = entity.boundaryLength;
  }
  BsdlApplyStandardRegisters(entity);
  BsdlCheckMandatoryOpcodes(entity, file);
  if (entity.pinBehaviorDefined) {
    if (entity.pinBehaviorOpcode.empty()) {
      BsdlWarn(file, "No PinBehavior opcode");
    } else if (entity.FindOpcode(entity.pinBehaviorOpcode) < 0) {
      BsdlError(file, "PIN BEHAVIOR opcode [%s] undefined", entity.pinBehaviorOpcode.c_str());
    }
  }
  if (!entity.ended) BsdlError(file, "end <entityname> not found");
}

}  // namespace

int BsdlParseFile(BsdlEntity& entity, IscInputFile& input) {
  entity.fileName = input.name;
  input.commentChar = '-';
  while (true) {
    BsdlNext(input);
    if (input.eof) break;
    if (BsdlIsChar(input, '"')) BsdlError(input, "BSDL syntax error");
    if (entity.ended) continue;
    if (BsdlIs(input, "entity")) {
      ParseEntityName(entity, input);
    } else if (BsdlIs(input, "generic")) {
      ParseGeneric(entity, input);
    } else if (BsdlIs(input, "port")) {
      BsdlParsePortList(entity, input);
    } else if (BsdlIs(input, "use")) {
      ParseUse(entity, input);
    } else if (BsdlIs(input, "constant")) {
      ParseConstant(entity, input);
    } else if (BsdlIs(input, "attribute")) {
      BsdlParseAttribute(entity, input);
    } else if (BsdlIs(input, "end")) {
      ParseEnd(entity, input);
    } else {
      SkipStatement(input);
    }
  }
  CheckAfterFile(entity, input);
  if (IscGetSettings().bsdlInfo) {
    BsdlDumpInfo(entity);
    BsdlDumpFlows(entity);
  }
  return entity.ended ? 1 : 0;
}

}  // namespace zor::isc
