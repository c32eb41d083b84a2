// Parses a DCF file's key and hex value tokens into a digitizer's register block.
#include "driver/board/dcf/dcfregisterparser.h"

#include <array>
#include <cstring>
#include <cwctype>
#include <optional>

#include "driver/board/dcf/dcffile.h"
#include "driver/board/dcf/dcfregistertable.h"

namespace zor::board {

namespace {

constexpr size_t kMaxValueLength = 18;
constexpr const wchar_t* kSectionToken = L"[REG_DIGIT]";

bool IsSeparator(wchar_t c) { return c == L' ' || c == L'\n'; }

// The next blank- or line-feed-delimited token from `at`, which moves past it.
std::wstring NextToken(const std::wstring& text, size_t& at) {
  while (at < text.size() && IsSeparator(text[at])) ++at;
  const size_t start = at;
  while (at < text.size() && !IsSeparator(text[at])) ++at;
  return text.substr(start, at - start);
}

// A hexadecimal value of up to 32 bits; longer numbers saturate, so that only a
// token that spells f's may stand for 0xFFFFFFFF. Anything but hex digits after an
// optional "0x" is refused rather than read as 0.
std::optional<uint32_t> ParseHexValue(const std::wstring& token) {
  if (token.empty() || token.size() > kMaxValueLength) return std::nullopt;
  size_t i = 0;
  if (token.size() > 2 && token[0] == L'0' && (token[1] == L'x' || token[1] == L'X')) i = 2;
  uint64_t value = 0;
  for (; i < token.size(); ++i) {
    if (!std::iswxdigit(token[i])) return std::nullopt;
    const wchar_t c = static_cast<wchar_t>(std::towlower(token[i]));
    const uint64_t digit = c <= L'9' ? c - L'0' : c - L'a' + 10;
    value = value > 0xFFFFFFFFu ? value : value * 16 + digit;
  }
  if (value >= 0xFFFFFFFFu) {
    if (token.find_first_of(L"fF") == std::wstring::npos) return std::nullopt;
    value = 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(value);
}

using States = std::array<int64_t, kDcfRowCount>;

// The first row of that name not given yet. Returns false for a key no row takes,
// unless it is an INFO_ key (ignored, as is a repeated INFO_ key).
bool FindConfigKey(const std::wstring& key, uint32_t value, uint8_t* block, States& states) {
  const auto table = DcfRegisterTable();
  for (size_t i = 0; table[i].kind != kDcfKindEnd; ++i) {
    if (states[i] != kDcfNotGiven || key != table[i].name) continue;
    states[i] = kDcfGiven;
    const size_t width = table[i].kind == kDcfKind32 ? 4 : table[i].kind == kDcfKind16 ? 2 : 1;
    std::memcpy(block + table[i].position, &value, width);  // little-endian: low bytes first
    return true;
  }
  return key.starts_with(L"INFO_");
}

}  // namespace

bool ParseConfigKeyValues(const std::wstring& text, size_t at, uint8_t* block) {
  States states;
  states.fill(kDcfNotGiven);
  bool ok = true;
  while (true) {
    const std::wstring key = NextToken(text, at);
    if (key.empty() || key[0] == L'[') break;
    const std::optional<uint32_t> value = ParseHexValue(NextToken(text, at));
    if (!value) ok = false;
    if (ok) ok = FindConfigKey(key, *value, block, states);
  }
  const auto table = DcfRegisterTable();
  for (size_t i = 0; table[i].kind != kDcfKindEnd; ++i) {
    block[kDcfFlagsOffset + table[i].position] = states[i] == kDcfGiven ? 1 : 0;
  }
  return ok;
}

DcfRegisterParser::DcfRegisterParser(const wchar_t* name, uint8_t* block, uint32_t flags) {
  std::optional<std::wstring> text;
  if ((flags & kDcfNameIsText) != 0) {
    if (name != nullptr) text = name;
  } else if (name != nullptr) {
    text = ReadDcfFile(name, kDcfSearchFolders);
  }
  if (!text) {
    SetError(kDigitizerAllocationError, kDcfErrorSubCode);
    return;
  }
  size_t at = text->find(L'[');
  const std::wstring header = at == std::wstring::npos ? L"" : NextToken(*text, at);
  if (header != kSectionToken || !ParseConfigKeyValues(*text, at, block)) {
    SetError(kDigitizerAllocationError, kDcfErrorSubCode);
  }
}

}  // namespace zor::board
