#include "platform/os/registry/processor_keys.h"

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

#include "platform/os/text/convert.h"

namespace os::detail {
namespace {

// Constant-initialised: a thread may call in while another still loads the library.
constexpr std::array<const wchar_t*, 4> kPath = {L"HARDWARE", L"DESCRIPTION", L"System",
                                                 L"CentralProcessor"};

struct Processor {
  std::map<std::string, std::string> fields;
};

std::vector<Processor> ReadCpuInfo() {
  std::vector<Processor> processors;
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string field = line.substr(0, colon);
    field.erase(field.find_last_not_of(" \t") + 1);
    std::string value = colon + 1 < line.size() ? line.substr(colon + 1) : "";
    value.erase(0, value.find_first_not_of(" \t") == std::string::npos
                       ? value.size()
                       : value.find_first_not_of(" \t"));
    if (field == "processor") processors.emplace_back();
    if (!processors.empty()) processors.back().fields[field] = value;
  }
  return processors;
}

const std::vector<Processor>& Processors() {
  static const std::vector<Processor> processors = ReadCpuInfo();
  return processors;
}

std::string Field(const Processor& processor, const char* name, const char* fallback) {
  auto found = processor.fields.find(name);
  return found == processor.fields.end() || found->second.empty() ? fallback : found->second;
}

void AddString(KeyFile& key, const wchar_t* name, const std::string& text) {
  std::wstring wide = Utf8ToWide(text);
  RegistryValue value{name, 1, {}};
  const auto* bytes = reinterpret_cast<const unsigned char*>(wide.c_str());
  value.data.assign(bytes, bytes + (wide.size() + 1) * sizeof(wchar_t));
  key.values.push_back(std::move(value));
}

KeyFile ProcessorValues(size_t index) {
  const Processor& processor = Processors()[index];
  KeyFile key;
  const std::string vendor = Field(processor, "vendor_id", "Unknown");
  const uint32_t mhz = static_cast<uint32_t>(
      std::lround(std::strtod(Field(processor, "cpu MHz", "0").c_str(), nullptr)));
  RegistryValue frequency{L"~MHz", 4, {}};
  const auto* bytes = reinterpret_cast<const unsigned char*>(&mhz);
  frequency.data.assign(bytes, bytes + sizeof(mhz));
  key.values.push_back(std::move(frequency));
  AddString(key, L"VendorIdentifier", vendor);
  AddString(key, L"ProcessorNameString", Field(processor, "model name", "Unknown processor"));
  const std::string architecture = vendor == "AuthenticAMD" ? "AMD64" : "Intel64";
  AddString(key, L"Identifier",
            architecture + " Family " + Field(processor, "cpu family", "0") + " Model " +
                Field(processor, "model", "0") + " Stepping " + Field(processor, "stepping", "0"));
  return key;
}

bool MatchesPrefix(const std::vector<std::wstring>& parts, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (parts[i] != FoldCase(kPath[i])) return false;
  }
  return true;
}

std::optional<size_t> ProcessorIndex(const std::wstring& part) {
  if (part.empty() || part.size() > 4) return std::nullopt;
  size_t index = 0;
  for (wchar_t c : part) {
    if (c < L'0' || c > L'9') return std::nullopt;
    index = index * 10 + static_cast<size_t>(c - L'0');
  }
  if (index >= Processors().size() || std::to_wstring(index) != part) return std::nullopt;
  return index;
}

}  // namespace

std::optional<KeyFile> ProcessorKey(const std::vector<std::wstring>& parts) {
  if (parts.empty() || parts.size() > kPath.size() + 1) return std::nullopt;
  if (parts.size() <= kPath.size()) {
    if (!MatchesPrefix(parts, parts.size())) return std::nullopt;
    return KeyFile{};
  }
  if (!MatchesPrefix(parts, kPath.size())) return std::nullopt;
  std::optional<size_t> index = ProcessorIndex(parts.back());
  if (!index) return std::nullopt;
  return ProcessorValues(*index);
}

std::vector<std::wstring> ProcessorSubKeys(const std::vector<std::wstring>& parts) {
  if (parts.size() < kPath.size()) return {kPath[parts.size()]};
  std::vector<std::wstring> names;
  if (parts.size() == kPath.size()) {
    for (size_t i = 0; i < Processors().size(); ++i) names.push_back(std::to_wstring(i));
  }
  return names;
}

}  // namespace os::detail
