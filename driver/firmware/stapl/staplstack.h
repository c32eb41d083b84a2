// CStaplStack: the STAPL interpreter's stack of FOR, value and CALL records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zor::firmware {

struct StaplSymbol;

enum class StaplStackKind { kFor = 1, kValue = 2, kCall = 3 };

struct StaplStackRecord {
  StaplStackKind kind = StaplStackKind::kValue;
  StaplSymbol* variable = nullptr;  // FOR
  int32_t position = 0;             // FOR: after the FOR statement; CALL: return point
  int64_t stop = 0;                 // FOR
  int64_t step = 0;                 // FOR
  int64_t value = 0;                // value
};

// The interpreter's stack of FOR, value and CALL records; sixteen deep.
class CStaplStack {
 public:
  static constexpr size_t kDepth = 16;

  // false when the stack is full
  bool Push(const StaplStackRecord& record);
  StaplStackRecord* Top() { return records_.empty() ? nullptr : &records_.back(); }
  // callers pop only the record Top() showed them
  void Pop();
  size_t Depth() const { return records_.size(); }

 private:
  std::vector<StaplStackRecord> records_;
};

}  // namespace zor::firmware
