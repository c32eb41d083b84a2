// Reads the machine's serial port names from the registry, in order.
#include "driver/frameworkuser/serial/serialportlist.h"

#include <algorithm>
#include <utility>

#include "platform/os/core/error.h"
#include "platform/os/registry/registry.h"

namespace zor::frame {
namespace {

constexpr wchar_t kSerialCommKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr uint32_t kNameChars = 1024;
constexpr uint32_t kDataBytes = 1024;

// The text of a string value, without the terminator and anything after it.
std::wstring ValueText(const wchar_t* data, uint32_t bytes) {
  std::wstring text(data, bytes / sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

}  // namespace

std::vector<std::wstring> ReadSerialPortNames() {
  os::Handle key = os::kNullHandle;
  if (os::RegOpenKey(os::HKEY_LOCAL_MACHINE, kSerialCommKey, os::KEY_READ, &key) !=
      os::ERROR_SUCCESS) {
    return {};
  }
  std::vector<std::pair<std::wstring, std::wstring>> ports;
  for (uint32_t index = 0;; ++index) {
    wchar_t name[kNameChars];
    wchar_t data[kDataBytes / sizeof(wchar_t)];
    uint32_t nameChars = kNameChars;
    uint32_t type = 0;
    uint32_t size = kDataBytes;
    const uint32_t status = os::RegEnumValue(key, index, name, &nameChars, &type, data, &size);
    if (status == os::ERROR_NO_MORE_ITEMS) break;
    if (status != os::ERROR_SUCCESS || type != os::REG_SZ) continue;
    std::wstring port = ValueText(data, size);
    if (!port.empty()) ports.emplace_back(std::wstring(name, nameChars), std::move(port));
  }
  os::RegCloseKey(key);
  std::sort(ports.begin(), ports.end());
  std::vector<std::wstring> names;
  for (auto& [valueName, port] : ports) names.push_back(std::move(port));
  return names;
}

}  // namespace zor::frame
