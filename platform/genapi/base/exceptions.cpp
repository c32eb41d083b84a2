#include "platform/genapi/base/exceptions.h"

#include <cstdarg>
#include <cstdio>

namespace GenICam {

GenericException::GenericException(const char* description, const char* sourceFileName,
                                   unsigned int sourceLine)
    : GenericException(description, sourceFileName, sourceLine, "GenericException") {}

GenericException::GenericException(const char* description, const char* sourceFileName,
                                   unsigned int sourceLine, const char* exceptionType)
    : description_(description ? description : ""),
      sourceFile_(sourceFileName ? sourceFileName : ""),
      sourceLine_(sourceLine) {
  what_ = description_ + " : " + (exceptionType ? exceptionType : "GenericException") +
          " thrown (file '" + sourceFile_ + "', line " + std::to_string(sourceLine_) + ")";
}

std::string FormatDescription(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (size <= 0) return {};
  std::string text(static_cast<size_t>(size) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(size));
  return text;
}

}  // namespace GenICam
