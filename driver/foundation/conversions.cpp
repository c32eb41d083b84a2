#include "driver/foundation/conversions.h"

#include <cstring>
#include <cwchar>

#include "driver/foundation/utf8codec.h"

bool Utf8ToWide(const char* text, CZORString& out) {
  std::wstring wide;
  if (text == nullptr || !DecodeUtf8(text, strlen(text), wide)) {
    out.Assign(L"");
    return false;
  }
  out.Assign(wide.c_str());
  return true;
}

bool WideToAnsiEx(const wchar_t* text, CZORStringAscii& out, bool) {
  std::string narrow;
  if (text == nullptr || !EncodeUtf8(text, wcslen(text), narrow)) {
    out.Assign("");
    return false;
  }
  out.Assign(narrow.c_str());
  return true;
}

bool WideToAnsi(const wchar_t* text, CZORStringAscii& out) {
  return WideToAnsiEx(text, out, false);
}

bool Utf8ToAnsi(const char* text, CZORStringAscii& out) {
  CZORString wide;
  if (!Utf8ToWide(text, wide)) {
    out.Assign("");
    return false;
  }
  return WideToAnsi(wide.CStr(), out);
}

std::wstring AnsiToWString(const std::string& text) { return CZORString(text.c_str()).CStr(); }

std::string Utf8ToAnsiString(const std::string& text) {
  CZORStringAscii narrow;
  Utf8ToAnsi(text.c_str(), narrow);
  return narrow.CStr();
}

std::string WStringToAnsi(const std::wstring& text) {
  CZORStringAscii narrow;
  WideToAnsi(text.c_str(), narrow);
  return narrow.CStr();
}

std::string WStringToUtf8(const std::wstring& text) {
  std::string narrow;
  EncodeUtf8(text.data(), text.size(), narrow);
  return narrow;
}

std::wstring Utf8ToWString(const std::string& text) {
  CZORString wide;
  Utf8ToWide(text.c_str(), wide);
  return wide.CStr();
}

namespace {

template <typename Char>
std::vector<std::basic_string<Char>> SplitAny(const std::basic_string<Char>& text,
                                              const Char* delimiters) {
  std::vector<std::basic_string<Char>> pieces;
  const std::basic_string<Char> set =
      delimiters != nullptr ? delimiters : std::basic_string<Char>();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = set.empty() ? std::basic_string<Char>::npos : text.find_first_of(set, start);
    if (end == std::basic_string<Char>::npos) end = text.size();
    if (end > start) pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

}  // namespace

std::vector<std::string> SplitString(const std::string& text, const char* delimiters) {
  return SplitAny(text, delimiters);
}

std::vector<std::wstring> SplitWString(const std::wstring& text, const wchar_t* delimiters) {
  return SplitAny(text, delimiters);
}
