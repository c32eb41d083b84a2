// Writes a crash dump, named by time, under the temporary folder.
#include "driver/frameworkuser/context/crashdump.h"

#include <ctime>
#include <cwchar>

#include "platform/os/diag/crash_dump.h"
#include "platform/os/process/environment.h"
#include "platform/os/process/files.h"
#include "platform/os/sync/thread.h"

namespace zor::frame {

std::wstring WriteErrorMiniDump(const wchar_t* name) {
  wchar_t folder[256] = {};
  const uint32_t length = os::GetEnvironmentVariable(L"Temp", folder, 256);
  if (length == 0 || length >= 256) return {};
  os::CreateDirectory(folder);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  wchar_t path[600];
  std::swprintf(path, 600, L"%ls/Imaging-%ls-%04d%02d%02d-%02d%02d%02d-%ld-%ld.dmp", folder, name,
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<long>(os::GetCurrentProcessId()),
                static_cast<long>(os::GetCurrentThreadId()));
  return os::WriteCrashDump(path, nullptr) ? std::wstring(path) : std::wstring();
}

}  // namespace zor::frame
