// ZorDrvException: composes the message once, naming node, function, file and line.
#include "driver/foundation/zordrvexception.h"

#include <cstdarg>

#include "driver/foundation/conversions.h"
#include "driver/foundation/printfformat.h"

namespace zor::foundation {

namespace {

constexpr size_t kDescriptionLimit = 512;

}  // namespace

ZorDrvException::ZorDrvException(const std::wstring& description, const std::wstring& file,
                                 uint32_t line, const std::wstring& typeName, uint64_t codeA,
                                 uint64_t codeB)
    : typeName_(typeName),
      line_(line),
      file_(file),
      description_(description),
      codeA_(codeA),
      codeB_(codeB) {
  ComposeMessage();
}

void ZorDrvException::ComposeMessage() {
  if (!description_.empty()) {
    message_ = description_;
    if (!typeName_.empty()) message_ += L" : " + typeName_ + L" thrown";
  } else {
    message_ = typeName_.empty() ? L"Exception thrown" : typeName_ + L" thrown";
  }
  if (!node_.empty()) message_ += L" in node '" + node_ + L"'";
  if (!function_.empty()) message_ += L" while calling '" + function_ + L"'";
  const size_t slash = file_.find_last_of(L"/\\");
  const std::wstring fileName = slash == std::wstring::npos ? file_ : file_.substr(slash + 1);
  message_ += L" (file '" + fileName + L"', line " + std::to_wstring(line_) + L")";
  // Converted here so that what() neither allocates nor writes, whichever thread asks.
  narrowMessage_ = WStringToAnsi(message_);
}

const char* ZorDrvException::what() const noexcept { return narrowMessage_.c_str(); }

const wchar_t* ZorDrvException::GetDescription() const { return description_.c_str(); }
const wchar_t* ZorDrvException::GetFileName() const { return file_.c_str(); }
uint32_t ZorDrvException::GetLine() const { return line_; }
const wchar_t* ZorDrvException::GetMessage() const { return message_.c_str(); }
uint64_t ZorDrvException::GetCodeA() const { return codeA_; }
uint64_t ZorDrvException::GetCodeB() const { return codeB_; }

ExceptionSource::ExceptionSource(const std::wstring& file, uint32_t line,
                                 const std::wstring& typeName)
    : file_(file), line_(line), typeName_(typeName) {}

ZorDrvRuntimeException ExceptionSource::Report(uint64_t codeA, uint64_t codeB,
                                               const wchar_t* format, ...) const {
  va_list args;
  va_start(args, format);
  ZorDrvRuntimeException exception = ReportV(codeA, codeB, format, args);
  va_end(args);
  return exception;
}

ZorDrvRuntimeException ExceptionSource::Report(uint64_t code, const wchar_t* format, ...) const {
  va_list args;
  va_start(args, format);
  ZorDrvRuntimeException exception = ReportV(code, 0, format, args);
  va_end(args);
  return exception;
}

ZorDrvRuntimeException ExceptionSource::ReportV(uint64_t codeA, uint64_t codeB,
                                                const wchar_t* format, va_list args) const {
  std::wstring description;
  FormatWideV(description, format, args);
  if (description.size() > kDescriptionLimit) description.resize(kDescriptionLimit);
  return ZorDrvRuntimeException(description, file_, line_, typeName_, codeA, codeB);
}

}  // namespace zor::foundation
