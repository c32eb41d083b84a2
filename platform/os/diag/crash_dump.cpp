#include "platform/os/diag/crash_dump.h"

#include <execinfo.h>
#include <stdlib.h>

#include <ctime>
#include <fstream>

#include "platform/os/core/error.h"
#include "platform/os/sync/thread.h"
#include "platform/os/text/convert.h"

namespace os {

bool WriteCrashDump(const wchar_t* path, const ExceptionFacts* facts) {
  if (path == nullptr || *path == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::ofstream out(WideToUtf8(path), std::ios::trunc);
  if (!out) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const std::time_t now = std::time(nullptr);
  char stamp[32] = {};
  std::tm local = {};
  std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", localtime_r(&now, &local));
  out << "Crash report\ntime: " << stamp << "\nprocess: " << GetCurrentProcessId()
      << "\nthread: " << GetCurrentThreadId() << "\n";
  if (facts != nullptr) {
    out << "exception: 0x" << std::hex << facts->code << std::dec << "\naddress: " << facts->address
        << "\n";
  }
  void* frames[64];
  const int count = backtrace(frames, 64);
  char** names = backtrace_symbols(frames, count);
  out << "stack:\n";
  for (int i = 0; i < count; ++i) out << "  " << (names != nullptr ? names[i] : "?") << "\n";
  free(names);
  if (!out.flush()) {
    SetLastError(ERROR_CANTWRITE);
    return false;
  }
  return true;
}

}  // namespace os
