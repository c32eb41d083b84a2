// The configuration store reads registry values on many paths.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/os/core/error.h"
#include "platform/os/registry/registry.h"

namespace {

class Root {
 public:
  Root() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorbench.XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
    setenv("ZOR_REGISTRY_ROOT", folder_.c_str(), 1);
  }
  ~Root() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

 private:
  std::string folder_;
};

void BM_RegistryQueryValue(benchmark::State& state) {
  Root root;
  os::Handle key = os::kNullHandle;
  os::RegCreateKey(os::HKEY_CURRENT_USER, L"Software\\Bench", 0, os::KEY_ALL_ACCESS, &key, nullptr);
  for (int i = 0; i < state.range(0); ++i) {
    const uint32_t value = static_cast<uint32_t>(i);
    os::RegSetValue(key, (L"v" + std::to_wstring(i)).c_str(), os::REG_DWORD, &value, 4);
  }
  uint32_t value = 0;
  for (auto _ : state) {
    uint32_t size = sizeof(value);
    os::RegQueryValue(key, L"v0", nullptr, &value, &size);
    benchmark::DoNotOptimize(value);
  }
  os::RegCloseKey(key);
}
BENCHMARK(BM_RegistryQueryValue)->Arg(1)->Arg(100);

void BM_RegistrySetValue(benchmark::State& state) {
  Root root;
  os::Handle key = os::kNullHandle;
  os::RegCreateKey(os::HKEY_CURRENT_USER, L"Software\\Bench", 0, os::KEY_ALL_ACCESS, &key, nullptr);
  uint32_t value = 0;
  for (auto _ : state) {
    ++value;
    os::RegSetValue(key, L"counter", os::REG_DWORD, &value, sizeof(value));
  }
  os::RegCloseKey(key);
}
BENCHMARK(BM_RegistrySetValue);

}  // namespace
