// Scanning helpers over STAPL statement text: trims, top-level splits, names.
#include "driver/firmware/stapl/textscan.h"

#include <cctype>

namespace zor::firmware {

namespace staplText {

namespace {
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
}  // namespace

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

size_t FindTopLevel(std::string_view text, char c, size_t from) {
  int depth = 0;
  bool quoted = false;
  for (size_t i = from; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '"') quoted = !quoted;
    if (quoted) continue;
    if (ch == c && depth == 0) return i;
    if (ch == '(' || ch == '[') ++depth;
    if ((ch == ')' || ch == ']') && depth > 0) --depth;
  }
  return std::string_view::npos;
}

size_t FindWord(std::string_view text, std::string_view word) {
  bool quoted = false;
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (quoted || text.compare(i, word.size(), word) != 0) continue;
    const bool before = i == 0 || !IsNameChar(text[i - 1]);
    const bool after = i + word.size() == text.size() || !IsNameChar(text[i + word.size()]);
    if (before && after) return i;
  }
  return std::string_view::npos;
}

std::vector<std::string_view> SplitTopLevel(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (;;) {
    const size_t at = FindTopLevel(text, separator, start);
    pieces.push_back(Trim(text.substr(start, at == std::string_view::npos ? at : at - start)));
    if (at == std::string_view::npos) return pieces;
    start = at + 1;
  }
}

std::string_view TakeName(std::string_view& text) {
  text = Trim(text);
  size_t n = 0;
  while (n < text.size() && IsNameChar(text[n])) ++n;
  std::string_view name = text.substr(0, n);
  text = Trim(text.substr(n));
  return name;
}

bool StripSemicolon(std::string_view& text) {
  text = Trim(text);
  if (text.empty() || text.back() != ';') return false;
  text = Trim(text.substr(0, text.size() - 1));
  return true;
}

bool TakeQuoted(std::string_view& text, std::string_view& quoted) {
  text = Trim(text);
  if (text.empty() || text.front() != '"') return false;
  const size_t end = text.find('"', 1);
  if (end == std::string_view::npos) return false;
  quoted = text.substr(1, end - 1);
  text = Trim(text.substr(end + 1));
  return true;
}

}  // namespace staplText

}  // namespace zor::firmware
