// Message boxes the driver shows, and the fatal-memory-error exit.
#pragma once

#include <cstdint>

namespace zor::foundation {

// Shows a message box, in the console session when the process runs in session 0.
// Returns the button chosen (IDOK-style numbers).
int32_t ShowMessageBox(const wchar_t* text, const wchar_t* caption, uint32_t style);

// Shows the fatal-memory-error box, then ends the process with exit code 1.
[[noreturn]] void FatalMemoryError(const wchar_t* text);

}  // namespace zor::foundation
