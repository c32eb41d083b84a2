// CZORString: the driver's wide string and its conversions from narrow text.
#include "driver/foundation/zorstring.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "driver/foundation/conversions.h"
#include "driver/foundation/printfformat.h"

namespace zor::foundation {

namespace {

constexpr wchar_t kSeparator = L'/';

}  // namespace

CZORString::CZORString(const wchar_t* text, bool) { Assign(text); }

CZORString::CZORString(const char* text) { Assign(text); }

void CZORString::Assign(const wchar_t* text) {
  if (text == nullptr) {
    SetEmpty();
    return;
  }
  AssignRange(text, static_cast<int64_t>(wcslen(text)));
}

void CZORString::Assign(const char* text, bool) {
  std::wstring wide;
  if (!AnsiToWide(text, wide)) {
    SetEmpty();
    return;
  }
  AssignRange(wide.data(), static_cast<int64_t>(wide.size()));
}

CZORString CZORString::operator+(const CZORString& right) const {
  CZORString joined(*this);
  joined.Append(right);
  return joined;
}

void CZORString::Append(const CZORString& other) { AppendRange(other.CStr(), other.Length()); }

void CZORString::Append(const wchar_t* text) {
  if (text != nullptr) AppendRange(text, static_cast<int64_t>(wcslen(text)));
}

void CZORString::Append(const char* text) {
  const CZORString converted(text);
  Append(converted);
}

bool CZORString::AppendPath(const wchar_t* part) {
  if (part == nullptr) part = L"";
  const int64_t length = Length();
  if (length >= 2 && CStr()[length - 1] != kSeparator && part[0] != kSeparator) {
    const wchar_t separator[] = {kSeparator, L'\0'};
    Append(separator);
  }
  Append(part);
  return true;
}

bool CZORString::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const bool ok = FormatV(format, args);
  va_end(args);
  return ok;
}

bool CZORString::FormatV(const wchar_t* format, va_list args) {
  std::wstring text;
  const int64_t length = FormatWideV(text, format, args);
  if (length < 0) {
    SetEmpty();
    return false;
  }
  AssignRange(text.data(), length);
  return true;
}

CZORString CZORString::FormatZorString(const wchar_t* format, ...) {
  CZORString result;
  va_list args;
  va_start(args, format);
  result.FormatV(format, args);
  va_end(args);
  return result;
}

CZORString CZORString::SubString(int64_t start, int64_t count) const {
  CZORString result;
  const int64_t length = Length();
  if (start < 0 || start > length || count < -1) return result;
  if (count == -1 || count > length - start) count = length - start;
  result.AssignRange(CStr() + start, count);
  return result;
}

CTable1D<CZORString> CZORString::Split(const wchar_t* delimiters, bool dropEmpty) const {
  CTable1D<CZORString> pieces;
  if (delimiters == nullptr) delimiters = L"";
  const wchar_t* const text = CStr();
  const int64_t length = Length();
  // Counted first so that the table is reserved once.
  int64_t count = 0;
  for (int64_t at = 0; at <= length;) {
    const auto piece = static_cast<int64_t>(wcscspn(text + at, delimiters));
    if (piece > 0 || !dropEmpty) ++count;
    at += piece + 1;
  }
  pieces.Reserve(count);
  for (int64_t at = 0; at <= length;) {
    const auto piece = static_cast<int64_t>(wcscspn(text + at, delimiters));
    if (piece > 0 || !dropEmpty) pieces.Add(SubString(at, piece));
    at += piece + 1;
  }
  return pieces;
}

void CZORString::Resize(int64_t length, wchar_t fill) { ResizeTo(length, fill); }

void CZORString::TrimRight(int64_t count) { DropLast(count); }

}  // namespace zor::foundation
