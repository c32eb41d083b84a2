// Prints what a BSDL file gave: opcodes, ports, boundary cells and flows.
#include <string>

#include "driver/foundation/asciitext.h"
#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

const char* const kFunctionNames[] = {"",        "input",    "clock",    "output2", "output3",
                                      "control", "controlr", "internal", "bidir",   "observe"};

void DumpFrequentOpcode(const BsdlEntity& entity, const char* label, int index) {
  std::string patterns = "[*** none ***]";
  if (index >= 0) {
    patterns.clear();
    for (const std::string& pattern : entity.opcodes[static_cast<size_t>(index)].patterns) {
      patterns += "[" + pattern + "]";
    }
  }
  IscMessagef(kIscLinePlain, "  %-8s = %s", label, patterns.c_str());
}

void DumpPorts(const BsdlEntity& entity) {
  for (size_t p = 0; p < entity.ports.size(); ++p) {
    const BsdlPort& port = entity.ports[p];
    for (size_t e = 0; e < port.elements.size(); ++e) {
      const BsdlPortElement& element = port.elements[e];
      IscMessagef(kIscLinePlain, " %2d %2d %3ld:%3ld %3ld %5s i %3d o %3d c %3d [%20s (%20s)] ",
                  static_cast<int>(p), static_cast<int>(port.direction),
                  static_cast<long>(port.low), static_cast<long>(port.high),
                  static_cast<long>(port.low + static_cast<int64_t>(e)),
                  port.isVector ? "bv" : "bit", static_cast<int>(element.inputCell),
                  static_cast<int>(element.outputCell), static_cast<int>(element.clockCell),
                  port.name.c_str(), element.pin.c_str());
    }
  }
}

void DumpCells(const BsdlEntity& entity) {
  IscWriteMessageLine("------ Boundary Scan Register chain ------\n", 0);
  for (size_t i = 0; i < entity.cells.size(); ++i) {
    const BsdlCell& cell = entity.cells[i];
    std::string port = cell.port >= 0 ? entity.ports[static_cast<size_t>(cell.port)].name : "*";
    std::string line;
    char buffer[160];
    snprintf(buffer, sizeof(buffer), "[%4ld] %cC_%02ld [%26s]", static_cast<long>(i), cell.kind,
             static_cast<long>(cell.number), port.c_str());
    line += buffer;
    line += " ";
    line += kFunctionNames[cell.function];
    snprintf(buffer, sizeof(buffer), " Safe[%c] Dv[%c]", cell.safe,
             cell.controlCell >= 0 ? static_cast<char>('0' + cell.disableValue) : '-');
    line += buffer;
    if (cell.controlCell >= 0) {
      snprintf(buffer, sizeof(buffer), " C [%5ld]", static_cast<long>(cell.controlCell));
      line += buffer;
    }
    IscWriteMessageLine(line.c_str(), kIscLinePlain);
  }
}

}  // namespace

void BsdlDumpInfo(const BsdlEntity& entity) {
  IscMessagef(0, "\n===== Info from BSDL file [%s] =====\n", entity.fileName.c_str());
  IscMessagef(0, "Entity [%s] PortMapName [%s]\n- ports(%ld)\n- ir(%ld)\n- bsc(%ld)\n",
              entity.name.c_str(), entity.pinMapName.c_str(),
              static_cast<long>(entity.ports.size()), static_cast<long>(entity.instructionLength),
              static_cast<long>(entity.boundaryLength));
  if (entity.idcodeRegister.empty()) {
    IscWriteMessageLine("= dev IDCODE (*** none ***)\n", 0);
  } else {
    IscMessagef(kIscLinePlain, "= dev IDCODE [%s]", entity.idcodeRegister.c_str());
  }
  IscWriteMessageLine("= Opcodes:\n", 0);
  for (size_t i = 0; i < entity.opcodes.size(); ++i) {
    std::string patterns;
    for (const std::string& pattern : entity.opcodes[i].patterns) patterns += "[" + pattern + "]";
    IscMessagef(kIscLinePlain, "  [%2ld] [%18s] = %s", static_cast<long>(i),
                foundation::ToUpperAscii(entity.opcodes[i].name).c_str(), patterns.c_str());
  }
  IscWriteMessageLine("= Frequently-used Opcodes:\n", 0);
  DumpFrequentOpcode(entity, "Sample", entity.sample);
  DumpFrequentOpcode(entity, "Extest", entity.extest);
  DumpFrequentOpcode(entity, "Idcode", entity.idcode);
  DumpFrequentOpcode(entity, "Usercode", entity.usercode);
  DumpFrequentOpcode(entity, "User1", entity.user1);
  DumpFrequentOpcode(entity, "User2", entity.user2);
  IscWriteMessageLine("= Register access attribute info:\n", 0);
  for (size_t i = 0; i < entity.registers.size(); ++i) {
    const BsdlDataRegister& reg = entity.registers[i];
    std::string opcodes;
    for (int opcode : reg.opcodes)
      opcodes += " " + entity.opcodes[static_cast<size_t>(opcode)].name;
    int64_t length = reg.name == "boundary" ? entity.boundaryLength : reg.length;
    IscMessagef(kIscLinePlain, "  - [%2ld] : %s[%ld] =%s", static_cast<long>(i), reg.name.c_str(),
                static_cast<long>(length), opcodes.c_str());
  }
  DumpPorts(entity);
  DumpCells(entity);
  IscWriteMessageLine("===== end of BSDL file info ========", kIscLinePlain);
}

void BsdlDumpFlows(const BsdlEntity& entity) {
  std::string text = "\n--- Flows/Procs/Actions from [" + entity.fileName + "] ---";
  for (const BsdlAction& action : entity.actions) {
    text += "\n  Action [" + action.name + "(" + action.dataName + ")]";
    for (const BsdlActionProcedure& reference : action.procedures) {
      const BsdlProcedure& procedure = entity.procedures[static_cast<size_t>(reference.procedure)];
      text += "\n  - Procedure: " + procedure.name + "(" + procedure.dataName + "|" +
              reference.data + ")";
      for (const BsdlProcedureFlow& flow : procedure.flows) {
        text += "\n\t= " + flow.name + "(" + entity.flows[static_cast<size_t>(flow.flow)].dataName +
                "|" + flow.data + ")";
      }
    }
  }
  text += "\n--- Procedures from [" + entity.fileName + "] ---";
  for (const BsdlProcedure& procedure : entity.procedures) {
    text += "\n  " + procedure.name + "(" + procedure.dataName + ")";
  }
  text += "\n--- Flows from [" + entity.fileName + "] --------";
  for (const BsdlFlow& flow : entity.flows) text += "\n  " + flow.name + "(" + flow.dataName + ")";
  text += "\n--- end of Flows/Procs/Actions ------";
  IscWriteMessageLine(text.c_str(), kIscLinePlain);
}

}  // namespace zor::isc
