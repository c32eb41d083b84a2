// Scanning helpers over STAPL statement text.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace zor::firmware {

// Small helpers over statement text (blanks already folded, letters upper-cased).
namespace staplText {

std::string_view Trim(std::string_view text);
// Position of c outside quotes, parentheses and brackets; npos when absent.
size_t FindTopLevel(std::string_view text, char c, size_t from = 0);
// Position of a whole word outside quotes; npos when absent.
size_t FindWord(std::string_view text, std::string_view word);
// Pieces between top-level commas, trimmed.
std::vector<std::string_view> SplitTopLevel(std::string_view text, char separator = ',');
// Takes a leading name (letters, digits, "_") off the text; empty when there is none.
std::string_view TakeName(std::string_view& text);
// Drops the final ";" (after blanks); false when there is none.
bool StripSemicolon(std::string_view& text);
// Takes a leading quoted text off; false when the text does not start with a complete one.
bool TakeQuoted(std::string_view& text, std::string_view& quoted);

}  // namespace staplText

}  // namespace zor::firmware
