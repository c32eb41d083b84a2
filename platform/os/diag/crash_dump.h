// Crash dumps: a text report of the process and thread written to a file.
#pragma once

#include <cstdint>

namespace os {

struct ExceptionFacts {
  uint32_t code = 0;              // exception code or signal number
  const void* address = nullptr;  // where it happened, when known
};

// Writes the report (process, thread, exception, call stack of the calling
// thread) to path, replacing the file. False with the last error on failure.
bool WriteCrashDump(const wchar_t* path, const ExceptionFacts* facts);

}  // namespace os
