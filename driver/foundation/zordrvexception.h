// ZorDrvException: the driver's exception, and the helper that raises it with its place.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <exception>
#include <string>

namespace zor::foundation {

// The driver's own exception; its full message is composed once, at construction.
class ZorDrvException : public std::exception {
 public:
  ZorDrvException(const std::wstring& description, const std::wstring& file, uint32_t line,
                  const std::wstring& typeName, uint64_t codeA, uint64_t codeB);
  ZorDrvException(const ZorDrvException&) = default;
  ~ZorDrvException() override = default;

  // The full message as UTF-8, valid as long as the exception lives.
  const char* what() const noexcept override;
  virtual const wchar_t* GetDescription() const;
  virtual const wchar_t* GetFileName() const;
  virtual uint32_t GetLine() const;
  virtual const wchar_t* GetMessage() const;
  virtual uint64_t GetCodeA() const;
  virtual uint64_t GetCodeB() const;

 private:
  void ComposeMessage();

  std::wstring message_;
  std::wstring typeName_;
  uint32_t line_;
  std::wstring file_;
  std::wstring description_;
  std::wstring function_;
  std::wstring node_;
  uint64_t codeA_;
  uint64_t codeB_;
  std::string narrowMessage_;
};

class ZorDrvRuntimeException : public ZorDrvException {
 public:
  using ZorDrvException::ZorDrvException;
};

// Holds where an exception is raised and builds it with a formatted description.
class ExceptionSource {
 public:
  ExceptionSource(const std::wstring& file, uint32_t line, const std::wstring& typeName);

  // The description takes at most 512 characters; longer text is cut.
  ZorDrvRuntimeException Report(uint64_t codeA, uint64_t codeB, const wchar_t* format, ...) const;
  ZorDrvRuntimeException Report(uint64_t code, const wchar_t* format, ...) const;

 private:
  ZorDrvRuntimeException ReportV(uint64_t codeA, uint64_t codeB, const wchar_t* format,
                                 va_list args) const;

  std::wstring file_;
  uint32_t line_;
  std::wstring typeName_;
};

}  // namespace zor::foundation
