#include "platform/os/diag/crash_dump.h"

#include <errno.h>
#include <execinfo.h>
#include <stdlib.h>

#include <ctime>
#include <sstream>

#include "platform/os/core/error.h"
#include "platform/os/process/regular_file.h"
#include "platform/os/sync/thread.h"
#include "platform/os/text/convert.h"

namespace os {

bool WriteCrashDump(const wchar_t* path, const ExceptionFacts* facts) {
  if (path == nullptr || *path == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::ostringstream out;
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
  // The folder comes from the environment: a FIFO or device of the report's name is refused.
  if (!WriteRegularFile(WideToUtf8(path), out.str())) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_CANTWRITE);
    return false;
  }
  return true;
}

}  // namespace os
