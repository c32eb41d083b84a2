#include "platform/os/serial/port_paths.h"

#include <stdlib.h>

#include <array>
#include <mutex>

#include "platform/os/text/upper_case.h"

namespace os::detail {
namespace {

struct PortPaths {
  std::mutex mutex;
  std::map<std::wstring, std::string> byName;
};

PortPaths& Paths() {
  static PortPaths& paths = *new PortPaths;
  return paths;
}

struct DeviceKind {
  const char* stem;
  unsigned long firstNumber;
};
// Each kind has the hundred numbers from its first one.
constexpr std::array<DeviceKind, 3> kDeviceKinds = {
    {{"ttyS", 1}, {"ttyUSB", 101}, {"ttyACM", 201}}};
constexpr unsigned long kDevicesPerKind = 100;

}  // namespace

void MapSerialPortPath(const std::wstring& name, const std::string& devicePath) {
  PortPaths& paths = Paths();
  std::lock_guard lock(paths.mutex);
  if (devicePath.empty()) {
    paths.byName.erase(UpperCase(name));
  } else {
    paths.byName[UpperCase(name)] = devicePath;
  }
}

std::map<std::wstring, std::string> MappedSerialPorts() {
  PortPaths& paths = Paths();
  std::lock_guard lock(paths.mutex);
  return paths.byName;
}

std::string SerialDeviceFolder() {
  const char* folder = getenv("ZOR_SERIAL_DEVICES");
  return folder != nullptr && *folder != '\0' ? folder : "/dev";
}

std::optional<std::wstring> DeviceComName(const std::string& fileName) {
  for (const DeviceKind& kind : kDeviceKinds) {
    const std::string stem = kind.stem;
    const std::string digits = fileName.substr(std::min(stem.size(), fileName.size()));
    if (!fileName.starts_with(stem) || digits.empty() || digits.size() > 2 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    return L"COM" + std::to_wstring(kind.firstNumber + std::stoul(digits));
  }
  return std::nullopt;
}

std::string SerialPortPath(const std::wstring& name) {
  const std::wstring key = UpperCase(name);
  {
    PortPaths& paths = Paths();
    std::lock_guard lock(paths.mutex);
    auto found = paths.byName.find(key);
    if (found != paths.byName.end()) return found->second;
  }
  const unsigned long number = std::stoul(key.substr(3));
  const std::string folder = SerialDeviceFolder() + "/";
  for (const DeviceKind& kind : kDeviceKinds) {
    if (number >= kind.firstNumber && number < kind.firstNumber + kDevicesPerKind) {
      return folder + kind.stem + std::to_string(number - kind.firstNumber);
    }
  }
  return folder + "ttyS" + std::to_string(number == 0 ? 0 : number - 1);
}

}  // namespace os::detail
