#pragma once

#include <cstdarg>
#include <exception>
#include <string>

#include "platform/genapi/base/gcstring.h"

namespace GenICam {

// Base of every exception the GenICam runtime raises.
class GenericException : public std::exception {
 public:
  GenericException(const char* description, const char* sourceFileName, unsigned int sourceLine);
  GenericException(const char* description, const char* sourceFileName, unsigned int sourceLine,
                   const char* exceptionType);

  const char* GetDescription() const noexcept { return description_.c_str(); }
  const char* GetSourceFileName() const noexcept { return sourceFile_.c_str(); }
  unsigned int GetSourceLine() const noexcept { return sourceLine_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string description_;
  std::string sourceFile_;
  unsigned int sourceLine_;
  std::string what_;
};

#define GENICAM_DECLARE_EXCEPTION(Name)                                                \
  class Name : public GenericException {                                               \
   public:                                                                             \
    Name(const char* description, const char* sourceFileName, unsigned int sourceLine) \
        : GenericException(description, sourceFileName, sourceLine, #Name) {}          \
    Name(const char* description, const char* sourceFileName, unsigned int sourceLine, \
         const char* exceptionType)                                                    \
        : GenericException(description, sourceFileName, sourceLine, exceptionType) {}  \
  }

GENICAM_DECLARE_EXCEPTION(BadAllocException);
GENICAM_DECLARE_EXCEPTION(InvalidArgumentException);
GENICAM_DECLARE_EXCEPTION(OutOfRangeException);
GENICAM_DECLARE_EXCEPTION(PropertyException);
GENICAM_DECLARE_EXCEPTION(RuntimeException);
GENICAM_DECLARE_EXCEPTION(LogicalErrorException);
GENICAM_DECLARE_EXCEPTION(AccessException);
GENICAM_DECLARE_EXCEPTION(TimeoutException);
GENICAM_DECLARE_EXCEPTION(DynamicCastException);

#undef GENICAM_DECLARE_EXCEPTION

// Builds an exception of type E from a printf-style description.
template <class E>
class ExceptionReporter {
 public:
  ExceptionReporter(const char* sourceFileName, unsigned int sourceLine)
      : file_(sourceFileName), line_(sourceLine) {}
  E Report(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  E Report() const { return E("", file_, line_); }

 private:
  const char* file_;
  unsigned int line_;
};

std::string FormatDescription(const char* format, va_list args);

template <class E>
E ExceptionReporter<E>::Report(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  const std::string text = FormatDescription(format, args);
  va_end(args);
  return E(text.c_str(), file_, line_);
}

}  // namespace GenICam

#define GENICAM_EXCEPTION_REPORTER(E) \
  ::GenICam::ExceptionReporter<::GenICam::E>(__FILE__, __LINE__).Report
#define GENERIC_EXCEPTION GENICAM_EXCEPTION_REPORTER(GenericException)
#define BAD_ALLOC_EXCEPTION GENICAM_EXCEPTION_REPORTER(BadAllocException)
#define INVALID_ARGUMENT_EXCEPTION GENICAM_EXCEPTION_REPORTER(InvalidArgumentException)
#define OUT_OF_RANGE_EXCEPTION GENICAM_EXCEPTION_REPORTER(OutOfRangeException)
#define PROPERTY_EXCEPTION GENICAM_EXCEPTION_REPORTER(PropertyException)
#define RUNTIME_EXCEPTION GENICAM_EXCEPTION_REPORTER(RuntimeException)
#define LOGICAL_ERROR_EXCEPTION GENICAM_EXCEPTION_REPORTER(LogicalErrorException)
#define ACCESS_EXCEPTION GENICAM_EXCEPTION_REPORTER(AccessException)
#define TIMEOUT_EXCEPTION GENICAM_EXCEPTION_REPORTER(TimeoutException)
#define DYNAMICCAST_EXCEPTION GENICAM_EXCEPTION_REPORTER(DynamicCastException)
