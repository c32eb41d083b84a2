#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace GenApi {

// A formula or node value: 64-bit integer unless a float took part.
struct Number {
  bool isFloat = false;
  int64_t i = 0;
  double d = 0.0;

  static Number Int(int64_t value) { return Number{false, value, 0.0}; }
  static Number Float(double value) { return Number{true, 0, value}; }

  double AsFloat() const { return isFloat ? d : static_cast<double>(i); }
  // Truncates toward zero and saturates, as a cast would without its undefined corners.
  int64_t AsInt() const { return isFloat ? Saturate(std::trunc(d)) : i; }
  int64_t Rounded() const { return isFloat ? Saturate(std::round(d)) : i; }
  bool IsTrue() const { return isFloat ? d != 0.0 : i != 0; }

  static int64_t Saturate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (value <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
  }
};

}  // namespace GenApi
