// zorregister: writes one text value into the registry, as an installer does.
//   zorregister <key> <value name> <text>
//   zorregister <key> <value name> dword:<number>   (a 32-bit value)
// The key starts with its hive, e.g. HKEY_LOCAL_MACHINE\Software\Velant\Imaging Board\DravionLyn.
// The registry is the one the driver reads: ZOR_REGISTRY_ROOT when set, else HKEY_LOCAL_MACHINE
// is the installation's (PREFIX/var/lib/zor/registry, /var/lib/zor/registry for /usr) and
// HKEY_CURRENT_USER the user's. zorsetup writes the values an installer writes with it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "examples/mainguard/mainguard.h"
#include "platform/os/core/error.h"
#include "platform/os/registry/registry.h"
#include "platform/os/text/convert.h"

namespace {

bool FindHive(const std::wstring& name, os::Handle& hive) {
  if (name == L"HKEY_LOCAL_MACHINE") {
    hive = os::HKEY_LOCAL_MACHINE;
  } else if (name == L"HKEY_CURRENT_USER") {
    hive = os::HKEY_CURRENT_USER;
  } else {
    return false;
  }
  return true;
}

int Register(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <key> <value name> <text | dword:number>\n", argv[0]);
    return 2;
  }
  const std::wstring key = os::Utf8ToWide(argv[1]);
  const size_t slash = key.find(L'\\');
  os::Handle hive = os::kNullHandle;
  if (slash == std::wstring::npos || !FindHive(key.substr(0, slash), hive)) {
    std::fprintf(stderr,
                 "%s: the key must start with HKEY_LOCAL_MACHINE\\ or HKEY_CURRENT_USER\\\n",
                 argv[0]);
    return 2;
  }
  os::Handle opened = os::kNullHandle;
  uint32_t result =
      os::RegCreateKey(hive, key.substr(slash + 1).c_str(), os::REG_OPTION_NON_VOLATILE,
                       os::KEY_ALL_ACCESS, &opened, nullptr);
  if (result == os::ERROR_INVALID_PARAMETER) {
    std::fprintf(stderr, "%s: a key has at most %zu levels of at most %u characters each\n",
                 argv[0], os::kMaxKeyDepth, os::kMaxKeyNameChars);
    return 1;
  }
  if (result == os::ERROR_SUCCESS) {
    const std::wstring name = os::Utf8ToWide(argv[2]);
    const std::string value = argv[3];
    if (value.rfind("dword:", 0) == 0) {
      char* end = nullptr;
      const unsigned long number = std::strtoul(value.c_str() + 6, &end, 0);
      if (end == value.c_str() + 6 || *end != '\0' || number > 0xFFFFFFFFul) {
        std::fprintf(stderr, "%s: not a 32-bit number: %s\n", argv[0], value.c_str() + 6);
        os::RegCloseKey(opened);
        return 2;
      }
      const auto dword = static_cast<uint32_t>(number);
      result = os::RegSetValue(opened, name.c_str(), os::REG_DWORD, &dword, sizeof dword);
    } else {
      const std::wstring text = os::Utf8ToWide(value);
      result = os::RegSetValue(opened, name.c_str(), os::REG_SZ, text.c_str(),
                               static_cast<uint32_t>((text.size() + 1) * sizeof(wchar_t)));
    }
    os::RegCloseKey(opened);
  }
  if (result != os::ERROR_SUCCESS) {
    std::fprintf(stderr, "%s: %s\n", argv[0],
                 os::WideToUtf8(os::FormatErrorMessage(result)).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return examples::RunGuarded("zorregister", 1, [&] { return Register(argc, argv); });
}
