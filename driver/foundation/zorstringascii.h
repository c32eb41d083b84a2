// CZORStringAscii: the driver's narrow string.
#pragma once

#include <cstdint>

#include "driver/foundation/zortext.h"

namespace zor::foundation {

// The narrow twin of CZORString (zortext.h holds what the two share).
class CZORStringAscii : private CZORText<char> {
 public:
  CZORStringAscii() = default;
  CZORStringAscii(const CZORStringAscii& other) = default;
  CZORStringAscii& operator=(const CZORStringAscii& other) = default;
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

  using CZORText<char>::CStr;
  using CZORText<char>::Length;
  using CZORText<char>::Size;
  using CZORText<char>::Allocated;
};

}  // namespace zor::foundation
