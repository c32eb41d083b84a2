// The GenICam installation check and the environment the GenICam runtime
// reads, made when a system is allocated.
#include <algorithm>
#include <cwctype>
#include <string>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "platform/os/process/environment.h"
#include "platform/os/process/files.h"
#include "platform/os/process/library.h"

namespace zor::frame {
namespace {

using errorcode::kGenICamError;
constexpr int64_t kEnvironmentError = 2;
constexpr int64_t kInitialisationError = 3;
constexpr wchar_t kPathSeparator = L':';

// Null when the variable does not exist.
bool ReadVariable(const wchar_t* name, foundation::CZORString& value) {
  const uint32_t size = os::GetEnvironmentVariable(name, nullptr, 0);
  if (size == 0) return false;
  std::wstring buffer(size, L'\0');
  const uint32_t length = os::GetEnvironmentVariable(name, buffer.data(), size);
  buffer.resize(length);
  value.Assign(buffer.c_str());
  return true;
}

foundation::CZORString GenICamRoot(const foundation::CZORString& installation) {
  foundation::CZORString root = installation;
  root.AppendPath(L"v3_1");
  return root;
}

std::wstring Lowered(const wchar_t* text) {
  std::wstring lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return lowered;
}

}  // namespace

void QDGeniCamDeviceSystem::CheckGenICamInstallation(QDDriverThreadContext& ctx) {
  genicamAvailable_ = true;
  foundation::CZORString installation;
  if (!ReadVariable(L"ZOR_GENICAM_PATH", installation)) {
    genicamAvailable_ = false;
    ctx.SetErrorSubText(kGenICamError, kEnvironmentError,
                        L"ZOR_GENICAM_PATH environment variable does not exist.", nullptr);
    return;
  }
  const foundation::CZORString root = GenICamRoot(installation);
  os::SetEnvironmentVariable(L"GENICAM_ROOT", root.CStr());
  if (os::GetFileAttributes(root.CStr()) == os::INVALID_FILE_ATTRIBUTES) {
    genicamAvailable_ = false;
    ctx.SetErrorSubText(kGenICamError, kEnvironmentError, L"GenICam is not properly installed.",
                        nullptr);
    return;
  }
  const os::Module xml = os::LoadLibrary(L"xmllite.dll");
  if (xml != os::kNullModule) {
    os::FreeLibrary(xml);
    return;
  }
  genicamAvailable_ = false;
  ctx.SetErrorSubText(kGenICamError, kEnvironmentError,
                      L"A required software component, XMLLite, is missing. XMLLite can be "
                      L"downloaded from Microsoft Download Center.",
                      nullptr);
}

bool QDGeniCamDeviceSystem::SetGenICamEnvironment(QDDriverThreadContext& ctx) {
  foundation::CZORString installation;
  ReadVariable(L"ZOR_GENICAM_PATH", installation);
  const foundation::CZORString root = GenICamRoot(installation);
  os::SetEnvironmentVariable(L"GENICAM_ROOT", root.CStr());
  foundation::CZORString runtime = root;
  runtime.AppendPath(L"bin/Win64_x64/");
  foundation::CZORString path;
  ReadVariable(L"PATH", path);
  // Letter case does not tell two folders apart here.
  if (Lowered(path.CStr()).find(Lowered(runtime.CStr())) == std::wstring::npos) {
    foundation::CZORString extended = path;
    const wchar_t separator[] = {kPathSeparator, L'\0'};
    extended.Append(separator);
    extended.Append(runtime);
    os::SetEnvironmentVariable(L"PATH", extended.CStr());
  }
  foundation::CZORString repository;
  if (!ReadVariable(L"ZOR_XML_REPOSITORY", repository)) {
    ctx.SetErrorSubText(kGenICamError, kInitialisationError,
                        L"ZOR_XML_REPOSITORY environment variable does not exist.", nullptr);
    return false;
  }
  foundation::CZORString cache = repository;
  cache.AppendPath(L"Cache");
  os::CreateDirectory(cache.CStr());
  os::SetEnvironmentVariable(L"GENICAM_CACHE_V3_1", cache.CStr());
  foundation::CZORString logConfiguration = root;
  logConfiguration.AppendPath(L"log/config/DebugLogging.properties");
  os::SetEnvironmentVariable(L"GENICAM_LOG_CONFIG_V3_1", logConfiguration.CStr());
  return true;
}

}  // namespace zor::frame
