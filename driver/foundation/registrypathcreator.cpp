// Creates a volatile registry location below its parent and stamps it with its creator.
#include <ctime>
#include <string>

#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "platform/os/process/library.h"

namespace zor::foundation {

namespace {

struct VolatileParent {
  int32_t location;
  int32_t parent;
};

constexpr VolatileParent kVolatileParents[] = {{9, 2}, {16, 1}, {22, 23}};

std::wstring ProcessName() {
  wchar_t path[4096];
  const uint32_t length =
      os::GetModuleFileName(os::GetModuleHandle(nullptr), path, sizeof(path) / sizeof(path[0]));
  const std::wstring text(path, length < sizeof(path) / sizeof(path[0]) ? length : 0);
  const size_t slash = text.find_last_of(L"/\\");
  return slash == std::wstring::npos ? text : text.substr(slash + 1);
}

void WriteText(CRegistryKey& key, const wchar_t* name, const std::wstring& text) {
  key.WriteValue(name, kRegTypeString, text.c_str(),
                 static_cast<uint32_t>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

bool CRegistryKey::RegisterPathCreator(int32_t location) {
  int32_t parentLocation = -1;
  for (const VolatileParent& entry : kVolatileParents) {
    if (entry.location == location) parentLocation = entry.parent;
  }
  if (parentLocation < 0) return false;
  CRegistryKey parent(parentLocation, L"", true);
  if (!parent.IsOpen()) return false;
  const std::wstring path = FindRegistryLocation(location)->path;
  os::Handle existing = os::kNullHandle;
  if (os::RegOpenKey(parent.hive_, path.c_str(), os::KEY_READ, &existing) == os::ERROR_SUCCESS) {
    os::RegCloseKey(existing);
    return true;
  }
  os::Handle created = os::kNullHandle;
  if (os::RegCreateKey(parent.hive_, path.c_str(), os::REG_OPTION_VOLATILE, os::KEY_READ, &created,
                       nullptr) != os::ERROR_SUCCESS) {
    return false;
  }
  os::RegCloseKey(created);

  // The stamps follow the write rule, so only a key of the current user gets them.
  CRegistryKey stamped(location, L"", false);
  const auto now = static_cast<uint32_t>(time(nullptr));
  stamped.WriteDword(L"Creation Time", now);
  WriteText(stamped, L"Process Name", ProcessName());
  WriteText(stamped, L"PathCreator", stamped.GetPath().CStr());
  return true;
}

}  // namespace zor::foundation
