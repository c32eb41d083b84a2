#include "platform/boardsim/faults.h"

namespace boardsim {

void FaultTable::Arm(uint32_t function, const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_[function] = fault;
  armed_.store(faults_.size(), std::memory_order_release);
}

void FaultTable::Clear() {
  std::lock_guard lock(mutex_);
  faults_.clear();
  armed_.store(0, std::memory_order_release);
}

std::optional<Fault> FaultTable::Take(uint32_t function) {
  if (armed_.load(std::memory_order_acquire) == 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto it = faults_.find(function);
  if (it == faults_.end()) return std::nullopt;
  Fault fault = it->second;
  if (it->second.count > 0 && --it->second.count == 0) {
    faults_.erase(it);
    armed_.store(faults_.size(), std::memory_order_release);
  }
  return fault;
}

}  // namespace boardsim
