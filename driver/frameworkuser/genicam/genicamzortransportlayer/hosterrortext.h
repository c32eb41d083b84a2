// The calling thread's current host error, read on the default application.
#pragma once

#include <cstdint>
#include <string>

namespace zor::genicam {

// One text of the current host error (type: a message or function-name type);
// empty when the host has none.
std::wstring GetHostErrorText(int64_t type);

// The host's current error code, 0 when none.
int64_t GetHostErrorCode();

// "Error in <function>()." and the host's message lines, each on its own line.
std::wstring ComposeHostErrorText();

// Resets the calling thread's host error; with an owner system, tells it too.
void ResetHostError(int64_t ownerSystem);

}  // namespace zor::genicam
