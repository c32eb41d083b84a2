// Text conversions between wide text, the ANSI code page and UTF-8; counts first, then converts.
#include "driver/foundation/conversions.h"

#include <string>

#include "platform/os/text/convert.h"

namespace zor::foundation {

namespace {

// Counts first, then converts; the counts include the NUL.
bool ToWide(uint32_t codePage, uint32_t flags, const char* text, std::wstring& out) {
  out.clear();
  if (text == nullptr) return false;
  const int count = os::MultiByteToWideChar(codePage, flags, text, -1, nullptr, 0);
  if (count < 1) return false;
  std::wstring converted(static_cast<size_t>(count), L'\0');
  if (os::MultiByteToWideChar(codePage, flags, text, -1, converted.data(), count) != count) {
    return false;
  }
  converted.resize(static_cast<size_t>(count - 1));
  out = converted;
  return true;
}

bool ToNarrow(uint32_t codePage, uint32_t flags, const wchar_t* text, std::string& out) {
  out.clear();
  if (text == nullptr) return false;
  const int count =
      os::WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, nullptr);
  if (count < 1) return false;
  std::string converted(static_cast<size_t>(count), '\0');
  if (os::WideCharToMultiByte(codePage, flags, text, -1, converted.data(), count, nullptr,
                              nullptr) != count) {
    return false;
  }
  converted.resize(static_cast<size_t>(count - 1));
  out = converted;
  return true;
}

}  // namespace

bool AnsiToWide(const char* text, std::wstring& out) {
  return ToWide(os::CP_ACP, os::MB_ERR_INVALID_CHARS, text, out);
}

bool Utf8ToWide(const char* text, CZORString& out) {
  std::wstring wide;
  const bool ok = ToWide(os::CP_UTF8, os::MB_ERR_INVALID_CHARS, text, wide);
  out.Assign(wide.c_str());
  return ok;
}

bool WideToAnsiEx(const wchar_t* text, CZORStringAscii& out, bool noBestFit) {
  std::string narrow;
  const bool ok =
      ToNarrow(os::CP_THREAD_ACP, noBestFit ? os::WC_NO_BEST_FIT_CHARS : 0, text, narrow);
  out.Assign(narrow.c_str());
  return ok;
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
  // Text that UTF-8 cannot carry gives the empty string.
  std::string narrow;
  ToNarrow(os::CP_UTF8, os::WC_ERR_INVALID_CHARS, text.c_str(), narrow);
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
  using String = std::basic_string<Char>;
  std::vector<String> pieces;
  const String set = delimiters != nullptr ? delimiters : String();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = set.empty() ? String::npos : text.find_first_of(set, start);
    if (end == String::npos) end = text.size();
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

}  // namespace zor::foundation
