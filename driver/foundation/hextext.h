// Hexadecimal text: the one reader of the whole driver.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zor::foundation {

// Value of a hexadecimal digit of either case; -1 for any other character.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True for a non-empty text of hexadecimal digits only.
constexpr bool IsHexText(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (HexDigitValue(c) < 0) return false;
  }
  return true;
}

// The value of a whole text of hexadecimal digits (no sign, prefix or blanks); nothing when the
// text is empty, holds another character or does not fit 64 bits.
inline std::optional<uint64_t> ParseHex(std::string_view text) {
  uint64_t value = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, 16);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace zor::foundation
