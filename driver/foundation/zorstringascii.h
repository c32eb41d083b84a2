#pragma once

#include <cstdint>

#include "driver/foundation/table1d.h"

namespace zor::foundation {

// The narrow twin of CZORString: size counts the NUL, capacity grows in steps of 32 bytes.
class CZORStringAscii : private CTable1D<char> {
 public:
  CZORStringAscii();
  CZORStringAscii(const CZORStringAscii& other);
  CZORStringAscii& operator=(const CZORStringAscii& other);
  ~CZORStringAscii() override = default;

  // null assigns the empty string
  void Assign(const char* text);
  void Append(const CZORStringAscii& other);
  void AppendText(const char* text);
  // Removes the last n characters.
  void Shrink(int64_t count);
  // printf-style formatting into a new string (Windows conventions, see printfformat.h);
  // an invalid format gives the empty string.
  static CZORStringAscii Format(const char* format, ...);
  void Resize(int64_t length, char fill);
  // Removes every occurrence of c; returns how many were removed.
  int64_t RemoveChar(char c);

  const char* CStr() const { return Data(); }
  char* CStr() { return Data(); }
  int64_t Length() const { return Size() - 1; }
  using CTable1D<char>::Size;
  using CTable1D<char>::Allocated;

 private:
  void AssignRange(const char* text, int64_t length);
};

}  // namespace zor::foundation
