// Errors of the driver's own threads and of the callbacks the host runs: there is no command to
// fail, so the host library is told, as a failure of a named function.
#pragma once

#include <cstdint>

namespace zor::frame {

// The function names under which the driver's threads and callbacks report.
inline constexpr const wchar_t* kThreadFunctionName = L"Thread function:";
inline constexpr const wchar_t* kHookFunctionName = L"Hook function:";

// Reports code with up to two free texts (null for none) inside the host's quiet bracket, which
// leaves the calling thread's own error as it was.
void ReportThreadError(const wchar_t* function, int64_t code, const wchar_t* text1,
                       const wchar_t* text2);

}  // namespace zor::frame
