// CStaplStack: push and pop within the stack's depth.
#include "driver/firmware/stapl/staplstack.h"

namespace zor::firmware {

bool CStaplStack::Push(const StaplStackRecord& record) {
  if (records_.size() >= kDepth) return false;
  records_.push_back(record);
  return true;
}

void CStaplStack::Pop() {
  if (!records_.empty()) records_.pop_back();
}

}  // namespace zor::firmware
