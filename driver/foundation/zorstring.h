#pragma once

#include <cstdarg>
#include <cstdint>

#include "driver/foundation/table1d.h"

namespace zor::foundation {

// The driver's wide string. Its size counts the terminating NUL, so the empty string
// has size 1; capacity grows in steps of 32 characters.
class CZORString : private CTable1D<wchar_t> {
 public:
  CZORString();
  CZORString(const CZORString& other);
  CZORString(const wchar_t* text, bool unused = false);
  explicit CZORString(const char* text);
  CZORString& operator=(const CZORString& other);
  ~CZORString() override = default;

  void Assign(const wchar_t* text);
  // Converts from the ANSI code page (UTF-8); invalid input gives the empty string.
  void Assign(const char* text, bool unused = false);

  CZORString operator+(const CZORString& right) const;
  void Append(const CZORString& other);
  void Append(const wchar_t* text);
  void Append(const char* text);
  // Joins a path part with one separator between the two; always true.
  bool AppendPath(const wchar_t* part);

  // printf-style formatting; the format uses the wide conventions of the Windows C library
  // (%s is a wide string, %S and %hs narrow, %ld 32 bits, %I64d 64 bits). A format that
  // cannot be formatted leaves the empty string and returns false.
  bool Format(const wchar_t* format, ...);
  bool FormatV(const wchar_t* format, va_list args);
  static CZORString FormatZorString(const wchar_t* format, ...);

  // count -1 takes the rest; a range outside the text is clipped to it.
  CZORString SubString(int64_t start, int64_t count) const;
  CTable1D<CZORString> Split(const wchar_t* delimiters, bool dropEmpty) const;
  void Resize(int64_t length, wchar_t fill);
  void TrimRight(int64_t count);

  const wchar_t* CStr() const { return Data(); }
  wchar_t* CStr() { return Data(); }
  int64_t Length() const { return Size() - 1; }
  using CTable1D<wchar_t>::Size;
  using CTable1D<wchar_t>::Allocated;

 private:
  void AssignRange(const wchar_t* text, int64_t length);
  void SetEmpty();
};

}  // namespace zor::foundation
