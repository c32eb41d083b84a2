// BsdlEntity: adds and finds ports, opcodes, registers, procedures and actions by name.
#include "driver/ieee1532/bsdl/bsdlentity.h"

namespace zor::isc {

namespace {

// Names are tokens, which never hold a line feed.
std::string Key(const std::string& name, const std::string& data) { return name + '\n' + data; }

int Find(const std::unordered_map<std::string, int>& index, const std::string& key) {
  auto found = index.find(key);
  return found == index.end() ? -1 : found->second;
}

}  // namespace

void BsdlEntity::AddPort(const BsdlPort& port) {
  portIndex.emplace(port.name, static_cast<int>(ports.size()));
  ports.push_back(port);
}

void BsdlEntity::AddOpcode(const BsdlOpcode& opcode) {
  opcodeIndex.emplace(opcode.name, static_cast<int>(opcodes.size()));
  opcodes.push_back(opcode);
}

void BsdlEntity::AddRegister(const BsdlDataRegister& reg) {
  registerIndex.emplace(reg.name, static_cast<int>(registers.size()));
  registers.push_back(reg);
}

void BsdlEntity::AddFlow(BsdlFlow flow) {
  flowIndex.emplace(Key(flow.name, flow.dataName), static_cast<int>(flows.size()));
  flows.push_back(std::move(flow));
}

void BsdlEntity::AddProcedure(const BsdlProcedure& procedure) {
  procedureIndex.emplace(Key(procedure.name, procedure.dataName),
                         static_cast<int>(procedures.size()));
  procedures.push_back(procedure);
}

void BsdlEntity::AddAction(const BsdlAction& action) {
  actionIndex.emplace(Key(action.name, action.dataName), static_cast<int>(actions.size()));
  actions.push_back(action);
}

int BsdlEntity::FindOpcode(const std::string& lowerName) const {
  return Find(opcodeIndex, lowerName);
}

int BsdlEntity::FindPort(const std::string& lowerName) const { return Find(portIndex, lowerName); }

int BsdlEntity::FindRegister(const std::string& lowerName) const {
  return Find(registerIndex, lowerName);
}

int BsdlEntity::FindFlow(const std::string& lowerName, const std::string& lowerData) const {
  return Find(flowIndex, Key(lowerName, lowerData));
}

int BsdlEntity::FindProcedure(const std::string& lowerName, const std::string& lowerData) const {
  return Find(procedureIndex, Key(lowerName, lowerData));
}

int BsdlEntity::FindAction(const std::string& lowerName, const std::string& lowerData) const {
  return Find(actionIndex, Key(lowerName, lowerData));
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
