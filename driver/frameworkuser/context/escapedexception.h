// Exceptions that escape driver code where nothing may leave: the command entry, the dispatch of
// an operation, the driver's threads and the callbacks it hands out. Each becomes the driver's
// error: of the command it ended, or, where no command runs, a report to the host library.
// Every function here reads the exception being handled: call them only inside a catch handler.
#pragma once

#include <cstdint>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"

namespace zor::frame {

// The exception being handled, as the driver's error: running out of memory is the memory error
// with its first detail, anything else the unexpected error described by its free text.
struct EscapedException {
  int64_t code;
  int64_t subCode;
  // The exception's type and what it says; empty when even that could not be had.
  wchar_t text[kOwnTextSize];
};
EscapedException DescribeCurrentException() noexcept;

// Records the exception as the error of the command that runs on ctx; an error the command
// recorded before it stays, as the first error always does.
void RecordCurrentException(QDDriverThreadContext& ctx) noexcept;
void RecordException(QDDriverThreadContext& ctx, const EscapedException& escaped) noexcept;

// Reports the exception to the host library as a failure of the named function.
void ReportCurrentException(const wchar_t* function) noexcept;
void ReportException(const wchar_t* function, const EscapedException& escaped) noexcept;

// Reports an exception that a user's hook function threw, as a hook error: the hook's caller
// goes on with its next event.
void ReportHookException() noexcept;
void ReportHookFailure(const EscapedException& escaped) noexcept;
// Records a hook function's exception, described earlier, as the hook error of the command that
// runs on ctx: the command waited for what the hook ended.
void RecordHookFailure(QDDriverThreadContext& ctx, const EscapedException& escaped) noexcept;

// Runs step; what escapes it is reported under the function's name. False when step threw.
template <class Step>
bool ReportEscapes(const wchar_t* function, Step&& step) noexcept {
  try {
    step();
    return true;
  } catch (...) {
    ReportCurrentException(function);
    return false;
  }
}

}  // namespace zor::frame
