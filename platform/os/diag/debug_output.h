// Debugger output: kept for readers (tests), and copied to stderr when the
// environment variable ZOR_DEBUG_OUTPUT is set to a value other than "0".
#pragma once

#include <string>
#include <vector>

namespace os {

void OutputDebugString(const wchar_t* text);
void OutputDebugStringA(const char* text);

// Every text sent since the last call, in order; clears the record.
std::vector<std::wstring> TakeDebugOutput();

}  // namespace os
