#include "platform/os/serial/port_paths.h"

#include <cwctype>
#include <map>
#include <mutex>

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

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return text;
}

}  // namespace

void MapSerialPortPath(const std::wstring& name, const std::string& devicePath) {
  PortPaths& paths = Paths();
  std::lock_guard lock(paths.mutex);
  paths.byName[Upper(name)] = devicePath;
}

std::string SerialPortPath(const std::wstring& name) {
  const std::wstring key = Upper(name);
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
