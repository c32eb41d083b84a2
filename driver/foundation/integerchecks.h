// Checks of an integer against a range, a set of values or a bit mask: the one copy of each for
// the whole driver.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <type_traits>

namespace zor::foundation {

// Whether value lies between first and last, both included.
constexpr bool InRange(int64_t value, int64_t first, int64_t last) {
  return value >= first && value <= last;
}

// A range of a table of ranges, both ends included.
struct IntRange {
  int64_t first;
  int64_t last;
};

// Whether value lies in one of ranges.
constexpr bool InAnyRange(int64_t value, std::span<const IntRange> ranges) {
  return std::ranges::any_of(
      ranges, [value](const IntRange& r) { return InRange(value, r.first, r.last); });
}

// Whether value is one of values; the values take value's type.
template <std::integral T>
constexpr bool OneOf(T value, std::initializer_list<std::type_identity_t<T>> values) {
  return std::ranges::find(values, value) != values.end();
}

// Whether every bit of bits is set in word.
constexpr bool HasAllBits(uint64_t word, uint64_t bits) { return (word & bits) == bits; }

}  // namespace zor::foundation
