#include "driver/foundation/zorstringascii.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "driver/foundation/printfformat.h"

namespace zor::foundation {

namespace {

constexpr int64_t kStringStep = 32;

}  // namespace

CZORStringAscii::CZORStringAscii() {
  SetGrowSteps(kStringStep, 1);
  AssignRange("", 0);
}

CZORStringAscii::CZORStringAscii(const CZORStringAscii& other) : CZORStringAscii() {
  AssignRange(other.CStr(), other.Length());
}

CZORStringAscii& CZORStringAscii::operator=(const CZORStringAscii& other) {
  if (this != &other) AssignRange(other.CStr(), other.Length());
  return *this;
}

void CZORStringAscii::Assign(const char* text) {
  if (text == nullptr) text = "";
  AssignRange(text, static_cast<int64_t>(strlen(text)));
}

void CZORStringAscii::Append(const CZORStringAscii& other) {
  const std::string copy(other.CStr(), static_cast<size_t>(other.Length()));  // may be *this
  AppendText(copy.c_str());
}

void CZORStringAscii::AppendText(const char* text) {
  if (text == nullptr) return;
  const std::string copy(text);  // the text may lie in this string's own buffer
  const int64_t length = Length();
  const auto extra = static_cast<int64_t>(copy.size());
  Grow(length + extra + 1, true);
  memcpy(Data() + length, copy.data(), copy.size());
  Data()[length + extra] = '\0';
}

void CZORStringAscii::Shrink(int64_t count) {
  if (count <= 0) return;
  const int64_t length = Length();
  Resize(count < length ? length - count : 0, '\0');
}

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

void CZORStringAscii::Resize(int64_t length, char fill) {
  if (length < 0) length = 0;
  if (length == INT64_MAX) FatalMemoryError(kOutOfMemoryText);  // no room for the NUL
  const int64_t old = Length();
  Grow(length + 1, true);
  for (int64_t i = old; i < length; ++i) Data()[i] = fill;
  Data()[length] = '\0';
}

int64_t CZORStringAscii::RemoveChar(char c) {
  char* const text = Data();
  const int64_t length = Length();
  int64_t kept = 0;
  for (int64_t i = 0; i < length; ++i) {
    if (text[i] != c) text[kept++] = text[i];
  }
  Resize(kept, '\0');
  return length - kept;
}

void CZORStringAscii::AssignRange(const char* text, int64_t length) {
  if (Data() != nullptr && text >= Data() && text < Data() + Allocated()) {
    memmove(Data(), text, static_cast<size_t>(length));
    Grow(length + 1, true);
  } else {
    Grow(length + 1, true);
    memcpy(Data(), text, static_cast<size_t>(length));
  }
  Data()[length] = '\0';
}

}  // namespace zor::foundation
