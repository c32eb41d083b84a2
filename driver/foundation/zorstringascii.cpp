// CZORStringAscii: the driver's narrow string and its printf-style formatting.
#include "driver/foundation/zorstringascii.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "driver/foundation/printfformat.h"

namespace zor::foundation {

void CZORStringAscii::Assign(const char* text) {
  if (text == nullptr) text = "";
  AssignRange(text, static_cast<int64_t>(strlen(text)));
}

void CZORStringAscii::Append(const CZORStringAscii& other) {
  AppendRange(other.CStr(), other.Length());
}

void CZORStringAscii::AppendText(const char* text) {
  if (text != nullptr) AppendRange(text, static_cast<int64_t>(strlen(text)));
}

void CZORStringAscii::Shrink(int64_t count) { DropLast(count); }

CZORStringAscii CZORStringAscii::Format(const char* format, ...) {
  std::string text;
  va_list args;
  va_start(args, format);
  FormatNarrowV(text, format, args);
  va_end(args);
  CZORStringAscii result;
  result.AssignRange(text.data(), static_cast<int64_t>(text.size()));
  return result;
}

void CZORStringAscii::Resize(int64_t length, char fill) { ResizeTo(length, fill); }

int64_t CZORStringAscii::RemoveChar(char c) {
  char* const text = CStr();
  const int64_t length = Length();
  int64_t kept = 0;
  for (int64_t i = 0; i < length; ++i) {
    if (text[i] != c) text[kept++] = text[i];
  }
  Resize(kept, '\0');
  return length - kept;
}

}  // namespace zor::foundation
