#include "driver/firmware/stapl/staplstack.h"

namespace zor::firmware {

bool CStaplStack::Push(const StaplStackRecord& record) {
  if (m_records.size() >= kDepth) return false;
  m_records.push_back(record);
  return true;
}

bool CStaplStack::Pop() {
  if (m_records.empty()) return false;
  m_records.pop_back();
  return true;
}

}  // namespace zor::firmware
