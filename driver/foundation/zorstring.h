// CZORString: the driver's wide string.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "driver/foundation/table1d.h"
#include "driver/foundation/zortext.h"

namespace zor::foundation {

// The driver's wide string (zortext.h holds what it shares with its narrow twin).
class CZORString : private CZORText<wchar_t> {
 public:
  CZORString() = default;
  CZORString(const CZORString& other) = default;
  CZORString(const wchar_t* text, bool unused = false);
  explicit CZORString(const char* text);
  CZORString& operator=(const CZORString& other) = default;
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

  using CZORText<wchar_t>::CStr;
  using CZORText<wchar_t>::Length;
  using CZORText<wchar_t>::Size;
  using CZORText<wchar_t>::Allocated;
};

}  // namespace zor::foundation
