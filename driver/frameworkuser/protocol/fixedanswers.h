// Inquire types that a layer answers with a fixed value, one type or a range of them, kept as a
// table: the first entry that holds a type answers it.
#pragma once

#include <cstdint>
#include <span>

namespace zor::protocol {

struct FixedAnswer {
  int64_t first;
  int64_t last;
  int64_t answer;
};

constexpr FixedAnswer Single(int64_t type, int64_t answer) { return {type, type, answer}; }

inline const FixedAnswer* FindFixedAnswer(std::span<const FixedAnswer> table, int64_t type) {
  for (const FixedAnswer& entry : table) {
    if (type >= entry.first && type <= entry.last) return &entry;
  }
  return nullptr;
}

}  // namespace zor::protocol
