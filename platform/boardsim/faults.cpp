#include "platform/boardsim/faults.h"

namespace boardsim {

void FaultTable::Arm(uint32_t function, const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_[function] = fault;
}

void FaultTable::Clear() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::optional<Fault> FaultTable::Take(uint32_t function) {
  std::lock_guard lock(mutex_);
  auto it = faults_.find(function);
  if (it == faults_.end()) return std::nullopt;
  Fault fault = it->second;
  if (it->second.count > 0 && --it->second.count == 0) faults_.erase(it);
  return fault;
}

}  // namespace boardsim
