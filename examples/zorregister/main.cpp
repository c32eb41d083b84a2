// zorregister: writes one value into the registry, as an installer does (kUsage below,
// zorregister.1). zorsetup writes the values an installer writes with it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "examples/mainguard/mainguard.h"
#include "examples/usage/usage.h"
#include "platform/os/core/error.h"
#include "platform/os/registry/registry.h"
#include "platform/os/text/convert.h"

namespace {

constexpr examples::Usage kUsage = {
    "zorregister",
    "usage: zorregister KEY NAME TEXT\n"
    "       zorregister KEY NAME dword:NUMBER\n"
    "\n"
    "Writes the text value, or the 32-bit value, NAME under KEY into the registry that the\n"
    "Dravion Lyn driver reads. KEY starts with its hive, HKEY_LOCAL_MACHINE\\ (the\n"
    "installation's registry: PREFIX/var/lib/zor/registry, /var/lib/zor/registry for /usr) or\n"
    "HKEY_CURRENT_USER\\ (the user's, ~/.config/zor/registry); ZOR_REGISTRY_ROOT, when set,\n"
    "names a registry that holds both. Example:\n"
    "  zorregister 'HKEY_LOCAL_MACHINE\\Software\\Velant\\Imaging Board\\DravionLyn' \\\n"
    "    DCFPATH /opt/zor/share/zor/dravionlyn/dcf\n"
    "\n"
    "Exit status: 0 written, 1 the registry refused the value, 2 a usage error.\n",
    3, 3};

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
  int first = 0;
  const int status = examples::ReadCommandLine(argc, argv, kUsage, &first);
  if (status >= 0) return status;
  const char* const tool = argv[0];
  char** operands = argv + first;
  const std::wstring key = os::Utf8ToWide(operands[0]);
  const size_t slash = key.find(L'\\');
  os::Handle hive = os::kNullHandle;
  if (slash == std::wstring::npos || !FindHive(key.substr(0, slash), hive)) {
    std::fprintf(stderr,
                 "%s: the key must start with HKEY_LOCAL_MACHINE\\ or HKEY_CURRENT_USER\\\n", tool);
    return 2;
  }
  os::Handle opened = os::kNullHandle;
  uint32_t result =
      os::RegCreateKey(hive, key.substr(slash + 1).c_str(), os::REG_OPTION_NON_VOLATILE,
                       os::KEY_ALL_ACCESS, &opened, nullptr);
  if (result == os::ERROR_INVALID_PARAMETER) {
    std::fprintf(stderr, "%s: a key has at most %zu levels of at most %u characters each\n", tool,
                 os::kMaxKeyDepth, os::kMaxKeyNameChars);
    return 1;
  }
  if (result == os::ERROR_SUCCESS) {
    const std::wstring name = os::Utf8ToWide(operands[1]);
    const std::string value = operands[2];
    if (value.rfind("dword:", 0) == 0) {
      char* end = nullptr;
      const unsigned long number = std::strtoul(value.c_str() + 6, &end, 0);
      if (end == value.c_str() + 6 || *end != '\0' || number > 0xFFFFFFFFul) {
        std::fprintf(stderr, "%s: not a 32-bit number: %s\n", tool, value.c_str() + 6);
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
    if (result == os::ERROR_CANTWRITE) {
      std::fprintf(stderr,
                   "%s: the key could not be written: with the value its file would be larger "
                   "than %zu MiB, or the file system refused the file\n",
                   tool, os::kMaxKeyFileBytes >> 20);
      return 1;
    }
  }
  if (result != os::ERROR_SUCCESS) {
    std::fprintf(stderr, "%s: %s\n", tool, os::WideToUtf8(os::FormatErrorMessage(result)).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return examples::RunGuarded("zorregister", 1, [&] { return Register(argc, argv); });
}
