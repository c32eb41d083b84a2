// Crash dump files under the temporary folder.
#pragma once

#include <string>

namespace zor::frame {

// Writes "Imaging-<name>-<date>-<time>-<pid>-<tid>.dmp" under the folder of the
// "Temp" variable; returns the path, or "" when nothing was written.
std::wstring WriteErrorMiniDump(const wchar_t* name);

}  // namespace zor::frame
