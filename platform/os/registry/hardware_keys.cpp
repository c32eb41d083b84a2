#include "platform/os/registry/hardware_keys.h"

#include "platform/os/registry/processor_keys.h"
#include "platform/os/serial/port_list.h"

namespace os::detail {
namespace {

// Constant-initialised: a thread may call in while another still loads the library.
constexpr const wchar_t* kHardware = L"HARDWARE";
constexpr const wchar_t* kDeviceMap = L"DEVICEMAP";
constexpr const wchar_t* kSerialComm = L"SERIALCOMM";
constexpr uint32_t kStringType = 1;  // REG_SZ

bool InDeviceMap(const std::vector<std::wstring>& parts) {
  return parts.size() >= 2 && parts[1] == FoldCase(kDeviceMap);
}

// One value per serial port: the device path names it, its data is the "COMn" name.
KeyFile SerialCommKey() {
  KeyFile key;
  for (const auto& [path, name] : ListSerialPorts()) {
    RegistryValue value{path, kStringType, {}};
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.c_str());
    value.data.assign(bytes, bytes + (name.size() + 1) * sizeof(wchar_t));
    key.values.push_back(std::move(value));
  }
  return key;
}

}  // namespace

bool InHardwareView(const std::vector<std::wstring>& parts) {
  return !parts.empty() && parts[0] == FoldCase(kHardware);
}

// The view's keys go unnamed: only HardwareSubKeys' names are read.
std::optional<KeyFile> HardwareKey(const std::vector<std::wstring>& parts) {
  if (!InDeviceMap(parts)) return ProcessorKey(parts);
  if (parts.size() == 2) return KeyFile{};
  if (parts.size() == 3 && parts[2] == FoldCase(kSerialComm)) return SerialCommKey();
  return std::nullopt;
}

std::vector<std::wstring> HardwareSubKeys(const std::vector<std::wstring>& parts) {
  if (parts.size() == 1) {
    std::vector<std::wstring> names = ProcessorSubKeys(parts);
    names.push_back(kDeviceMap);
    return names;
  }
  if (!InDeviceMap(parts)) return ProcessorSubKeys(parts);
  if (parts.size() == 2) return {kSerialComm};
  return {};
}

}  // namespace os::detail
