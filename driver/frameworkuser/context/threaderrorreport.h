// Errors of the driver's own threads and of the callbacks the host runs: there is no command to
// fail, so the host library is told, as a failure of a named function.
#pragma once

#include <cstdint>

#include "driver/foundation/error.h"

namespace zor::frame {

class QDDriverThreadContext;

// The function names under which the driver's threads and callbacks report.
inline constexpr const wchar_t* kThreadFunctionName = L"Thread function:";
inline constexpr const wchar_t* kHookFunctionName = L"Hook function:";

// Reports code with up to two free texts (null for none) inside the host's quiet bracket, which
// leaves the calling thread's own error as it was.
void ReportThreadError(const wchar_t* function, int64_t code, const wchar_t* text1,
                       const wchar_t* text2);
// Reports a step's error record, when it holds one, with the text of its sub-code.
void ReportThreadError(const wchar_t* function, const foundation::CError& error);
// Reports the error a context of the thread's own holds, when it holds one, with the texts of
// its first two sub-codes.
void ReportHeldError(const wchar_t* function, QDDriverThreadContext& ctx);

}  // namespace zor::frame
