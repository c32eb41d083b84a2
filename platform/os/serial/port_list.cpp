#include "platform/os/serial/port_list.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "platform/os/serial/port_paths.h"
#include "platform/os/text/convert.h"

namespace os::detail {
namespace {

// The kernel lists 8250 ports that have no hardware behind them with type 0.
bool IsPlaceholderPort(const std::string& fileName) {
  if (!fileName.starts_with("ttyS")) return false;
  std::ifstream type("/sys/class/tty/" + fileName + "/type");
  int value = -1;
  return type >> value && value == 0;
}

}  // namespace

std::vector<std::pair<std::wstring, std::wstring>> ListSerialPorts() {
  const std::map<std::wstring, std::string> mapped = MappedSerialPorts();
  std::map<std::string, std::wstring> byPath;
  std::set<std::string> mappedPaths;
  for (const auto& [name, path] : mapped) {
    byPath.emplace(path, name);
    mappedPaths.insert(path);
  }
  std::error_code ignored;
  const std::filesystem::path folder = SerialDeviceFolder();
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    const std::string fileName = entry.path().filename().string();
    const std::optional<std::wstring> name = DeviceComName(fileName);
    if (!name || mapped.contains(*name) || IsPlaceholderPort(fileName)) continue;
    const std::string path = entry.path().string();
    if (!mappedPaths.contains(path)) byPath.emplace(path, *name);
  }
  std::vector<std::pair<std::wstring, std::wstring>> ports;
  for (const auto& [path, name] : byPath) ports.emplace_back(Utf8ToWide(path), name);
  return ports;
}

}  // namespace os::detail
