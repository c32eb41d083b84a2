// Starting a program and ending the process.
#pragma once

#include <cstdint>

namespace os {

// Starts the program at path with no arguments and does not wait for it. The path is the program
// itself, never a command line: no shell reads it. False with ERROR_FILE_NOT_FOUND when nothing
// can be run there; processId (may be null) receives the new process's id.
bool CreateProcess(const wchar_t* path, uint32_t* processId);

// Ends the process at once with the exit code, like ExitProcess: the standard streams are
// flushed, no other thread runs on, and named mutexes still owned are abandoned.
[[noreturn]] void ExitProcess(uint32_t code);

}  // namespace os
