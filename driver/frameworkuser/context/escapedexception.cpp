// Turns an exception that escaped driver code into the driver's error code and texts.
#include "driver/frameworkuser/context/escapedexception.h"

#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>

#include "driver/foundation/conversions.h"
#include "driver/foundation/zordrvexception.h"
#include "driver/frameworkuser/context/textcopy.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/errortable/messagetable.h"

namespace zor::frame {
namespace {

using errorcode::kHookError;
using errorcode::kNoHostMemory;
using errorcode::kUnexpectedError;
// "Insufficient Host memory.", as a system that cannot be allocated reports it.
constexpr int64_t kInsufficientMemory = 1;

constexpr const wchar_t* kOperationEndedText = L"An exception ended the operation.";
constexpr const wchar_t* kHookThrewText = L"The hook function threw an exception.";

// The exception's type as the source names it; its mangled name when that cannot be had.
std::string TypeName(const std::type_info* type) {
  if (type == nullptr) return "An exception of unknown type";
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> readable(
      abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), &std::free);
  return status == 0 && readable != nullptr ? readable.get() : type->name();
}

// "type: what it says", cut to the text's size. Allocates: when memory runs out here, the text
// stays empty.
void Describe(wchar_t (&text)[kOwnTextSize]) {
  std::wstring description =
      foundation::Utf8ToWString(TypeName(abi::__cxa_current_exception_type()));
  try {
    throw;
  } catch (const foundation::ZorDrvException& e) {
    description += L": ";
    description += e.GetMessage();
  } catch (const std::exception& e) {
    description += L": ";
    description += foundation::Utf8ToWString(e.what());
  } catch (...) {
    // Only its type tells what it was.
  }
  CopyBoundedText(text, kOwnTextSize, description.c_str());
}

const wchar_t* TextOrNull(const EscapedException& escaped) {
  return escaped.text[0] != L'\0' ? escaped.text : nullptr;
}

}  // namespace

EscapedException DescribeCurrentException() noexcept {
  EscapedException escaped{kUnexpectedError, 0, {}};
  try {
    throw;
  } catch (const std::bad_alloc&) {
    escaped.code = kNoHostMemory;
    escaped.subCode = kInsufficientMemory;
  } catch (...) {
    // Every other kind is unexpected.
  }
  try {
    Describe(escaped.text);
  } catch (...) {
    escaped.text[0] = L'\0';
  }
  return escaped;
}

void RecordException(QDDriverThreadContext& ctx, const EscapedException& escaped) noexcept {
  try {
    if (escaped.code == kNoHostMemory) {
      ctx.SetError(escaped.code, escaped.subCode, 0, 0);
    } else {
      ctx.SetErrorText(escaped.code, kOperationEndedText, TextOrNull(escaped), nullptr);
    }
  } catch (...) {
    // Even recording failed: the command's status is all that tells of it.
  }
}

void RecordCurrentException(QDDriverThreadContext& ctx) noexcept {
  RecordException(ctx, DescribeCurrentException());
}

void ReportCurrentException(const wchar_t* function) noexcept {
  ReportException(function, DescribeCurrentException());
}

void ReportException(const wchar_t* function, const EscapedException& escaped) noexcept {
  try {
    if (escaped.code == kNoHostMemory) {
      ReportThreadError(function, escaped.code, MessageText(escaped.code, escaped.subCode),
                        nullptr);
    } else {
      ReportThreadError(function, escaped.code, kOperationEndedText, TextOrNull(escaped));
    }
  } catch (...) {
    // Nobody is left to tell.
  }
}

void ReportHookException() noexcept { ReportHookFailure(DescribeCurrentException()); }

void ReportHookFailure(const EscapedException& escaped) noexcept {
  try {
    ReportThreadError(kHookFunctionName, kHookError, kHookThrewText, TextOrNull(escaped));
  } catch (...) {
    // Nobody is left to tell.
  }
}

void RecordHookFailure(QDDriverThreadContext& ctx, const EscapedException& escaped) noexcept {
  try {
    ctx.SetErrorText(kHookError, kHookThrewText, TextOrNull(escaped), nullptr);
  } catch (...) {
    // Even recording failed: the command's status is all that tells of it.
  }
}

}  // namespace zor::frame
