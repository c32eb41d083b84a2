#include "platform/os/serial/port_paths.h"

#include <map>
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

}  // namespace

void MapSerialPortPath(const std::wstring& name, const std::string& devicePath) {
  PortPaths& paths = Paths();
  std::lock_guard lock(paths.mutex);
  paths.byName[UpperCase(name)] = devicePath;
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
  return "/dev/ttyS" + std::to_string(number == 0 ? 0 : number - 1);
}

}  // namespace os::detail
