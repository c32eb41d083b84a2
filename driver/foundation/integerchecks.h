// Checks of an integer against a range, a set of values or a bit mask, and the checked
// conversion of a double into an integer: the one copy of each for the whole driver.
#pragma once

#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <limits>
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

// A double truncated toward zero into T. One beyond T's range saturates at the nearer bound, and
// NaN, which no integer stands for, gives forNaN: a plain cast of either is undefined.
template <std::integral T>
T TruncateSaturated(double number, std::type_identity_t<T> forNaN) {
  // T's lowest value converts exactly; the first double above T's range is its highest plus one
  // (for 64 bits the highest already rounds up to it).
  constexpr double kLowest = static_cast<double>(std::numeric_limits<T>::min());
  constexpr double kBeyondRange = static_cast<double>(std::numeric_limits<T>::max()) + 1.0;
  if (std::isnan(number)) return forNaN;
  if (number < kLowest) return std::numeric_limits<T>::min();
  if (number >= kBeyondRange) return std::numeric_limits<T>::max();
  return static_cast<T>(number);
}
inline int64_t TruncateSaturated(double number, int64_t forNaN) {
  return TruncateSaturated<int64_t>(number, forNaN);
}

}  // namespace zor::foundation
