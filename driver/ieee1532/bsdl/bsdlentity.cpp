#include "driver/ieee1532/bsdl/bsdlentity.h"

namespace zor::isc {

void BsdlEntity::AddPort(const BsdlPort& port) {
  portIndex.emplace(port.name, static_cast<int>(ports.size()));
  ports.push_back(port);
}

void BsdlEntity::AddOpcode(const BsdlOpcode& opcode) {
  opcodeIndex.emplace(opcode.name, static_cast<int>(opcodes.size()));
  opcodes.push_back(opcode);
}

int BsdlEntity::FindOpcode(const std::string& lowerName) const {
  auto found = opcodeIndex.find(lowerName);
  return found == opcodeIndex.end() ? -1 : found->second;
}

int BsdlEntity::FindPort(const std::string& lowerName) const {
  auto found = portIndex.find(lowerName);
  return found == portIndex.end() ? -1 : found->second;
}

int BsdlEntity::FindRegister(const std::string& lowerName) const {
  for (size_t i = 0; i < registers.size(); ++i) {
    if (registers[i].name == lowerName) return static_cast<int>(i);
  }
  return -1;
}

int BsdlEntity::FindFlow(const std::string& lowerName, const std::string& lowerData) const {
  for (size_t i = 0; i < flows.size(); ++i) {
    if (flows[i].name == lowerName && flows[i].dataName == lowerData) return static_cast<int>(i);
  }
  return -1;
}

int BsdlEntity::FindProcedure(const std::string& lowerName, const std::string& lowerData) const {
  for (size_t i = 0; i < procedures.size(); ++i) {
    if (procedures[i].name == lowerName && procedures[i].dataName == lowerData) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int BsdlEntity::FindAction(const std::string& lowerName, const std::string& lowerData) const {
  for (size_t i = 0; i < actions.size(); ++i) {
    if (actions[i].name == lowerName && actions[i].dataName == lowerData) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int BsdlEntity::ErrorExitProcedure() const { return FindProcedure("proc_error_exit", ""); }

int64_t BsdlEntity::RegisterLength(int opcode) const {
  if (opcode < 0 || static_cast<size_t>(opcode) >= opcodes.size()) return 0;
  int reg = opcodes[static_cast<size_t>(opcode)].dataRegister;
  if (reg < 0) return 0;
  const BsdlDataRegister& data = registers[static_cast<size_t>(reg)];
  if (data.length == 0 && data.name == "boundary") return boundaryLength;
  return data.length;
}

}  // namespace zor::isc
