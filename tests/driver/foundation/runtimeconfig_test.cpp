#include "driver/foundation/runtimeconfig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/driver/foundation/machinekeys.h"
#include "tests/support/testdata/testdata.h"

using namespace zor::foundation;

namespace {

constexpr const wchar_t* kControls = L"Software\\Velant\\Velant Zor Library\\Runtime\\Controls";

std::wstring Section(const wchar_t* section) {
  return section == nullptr ? kControls : kControls + (L"\\" + std::wstring(section));
}

void SetDword(const wchar_t* section, const wchar_t* name, uint32_t value) {
  foundationtest::SetMachineDword(Section(section), name, value);
}

class RuntimeConfig : public testing::Test {
 protected:
  void TearDown() override { CRuntimeConfig::Destroy(); }
};

}  // namespace

// The whole table as the registry's users name it, one key a line ("section:name key flags"); a
// section without keys is its line alone.
TEST_F(RuntimeConfig, DeclaresEverySection) {
  const auto config = CRuntimeConfig::Instance();
  std::wstring table;
  for (int32_t section = -1; section <= CRuntimeConfig::kSectionCount; ++section) {
    const CRuntimeConfigSection& keys = config->GetSection(section);
    const std::wstring head = std::to_wstring(section) + L":" + keys.name.CStr();
    if (keys.keys.Size() == 0) table += head + L"\n";
    for (int64_t i = 0; i < keys.keys.Size(); ++i) {
      const CRuntimeConfigKey& key = *keys.keys[i];
      table += head + L" " + key.name.CStr() + L" " + std::to_wstring(key.flags) + L"\n";
      // Every key is found by its own name: no name of a section stands for two keys.
      EXPECT_EQ(config->FindKey(section, key.name.CStr()), &key) << section << " " << i;
    }
  }
  EXPECT_EQ(std::string(table.begin(), table.end()),
            zortest::ReadTestData("foundation/runtimeconfigkeys.txt"));
  EXPECT_EQ(config->FindKey(-1, L"Debug"), nullptr);
  EXPECT_EQ(config->FindKey(1, L""), nullptr);
  EXPECT_EQ(config->FindKey(1, nullptr), nullptr);
}

TEST_F(RuntimeConfig, NoControlsKeyGivesTheDefaults) {
  EXPECT_EQ(CRuntimeConfig::Instance()->GetInt(17, L"RegisterPowerRequest", 1), 1);
  EXPECT_EQ(CRuntimeConfig::Instance()->GetInt64(1, L"StopOnErrCode", -1), -1);
}

TEST_F(RuntimeConfig, ReadsDwordsOfDeclaredKeysOnly) {
  SetDword(L"Driver", L"DumpDriverLogsOnError", 1);
  SetDword(L"Driver", L"NotDeclared", 5);
  SetDword(L"Debug", L"StopOnErrCode", 0xFFFFFFFF);
  const wchar_t text[] = L"1";
  foundationtest::SetMachineValue(Section(L"Driver"), L"RegisterPowerRequest", os::REG_SZ, text,
                                  sizeof(text));
  const auto config = CRuntimeConfig::Instance();
  EXPECT_EQ(config->GetInt(17, L"dumpdriverlogsonerror", 0), 1);
  // The key read whole: its value, its flags and nothing left to write back.
  const CRuntimeConfigKey* read = config->FindKey(17, L"DumpDriverLogsOnError");
  EXPECT_EQ(std::tuple(read->value, read->flags, read->dirty),
            std::tuple(1, kConfigKeyDeclared | kConfigKeyRead, uint8_t{0}));
  EXPECT_EQ(config->GetInt(17, L"RegisterPowerRequest", 7), 7);
  EXPECT_EQ(config->GetInt(17, L"NotDeclared", 3), 3);
  EXPECT_EQ(config->GetInt64(1, L"StopOnErrCode", 12), -1);
  EXPECT_EQ(config->GetInt(26, L"DumpDriverLogsOnError", 4), 4);
  EXPECT_EQ(config->GetInt(-1, L"DumpDriverLogsOnError", 4), 4);
}

TEST_F(RuntimeConfig, MissingSectionKeepsTheWalkInsideControls) {
  // "Debug" and "Display" are missing; a value of the same name one level up must not leak in.
  SetDword(nullptr, L"DumpDriverLogsOnError", 9);
  SetDword(L"Driver", L"CheckDriverAndDLLVersion", 0);
  SetDword(L"ZORWeb", L"MaxClients", 12);
  const auto config = CRuntimeConfig::Instance();
  EXPECT_EQ(config->GetInt(17, L"CheckDriverAndDLLVersion", 1), 0);
  EXPECT_EQ(config->GetInt(24, L"MaxClients", 0), 12);
  EXPECT_EQ(config->GetInt(17, L"DumpDriverLogsOnError", 0), 0);
}

TEST_F(RuntimeConfig, ConcurrentFirstCallsBuildOneStore) {
  SetDword(L"Driver", L"GigEVisionPacketSize", 1500);
  std::vector<std::thread> threads;
  std::vector<const CRuntimeConfig*> seen(8);
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = CRuntimeConfig::Instance().get(); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const CRuntimeConfig* config : seen) EXPECT_EQ(config, seen[0]);
  EXPECT_EQ(seen[0]->GetInt(17, L"GigEVisionPacketSize", 0), 1500);
}

// A reader that took the store before the driver went away reads it to the end; the next
// store is read from the registry afresh.
TEST_F(RuntimeConfig, DestroyLeavesHeldStoresReadable) {
  SetDword(L"Driver", L"GigEVisionPacketSize", 1500);
  const auto held = CRuntimeConfig::Instance();
  std::atomic<bool> stop{false};
  std::atomic<int64_t> reads{0};
  std::thread reader([&] {
    while (!stop.load()) {
      if (held->GetInt(17, L"GigEVisionPacketSize", 0) == 1500) reads.fetch_add(1);
    }
  });
  while (reads.load() == 0) std::this_thread::yield();
  SetDword(L"Driver", L"GigEVisionPacketSize", 9000);
  CRuntimeConfig::Destroy();
  stop.store(true);
  reader.join();
  EXPECT_EQ(held->GetInt(17, L"GigEVisionPacketSize", 0), 1500);
  const auto fresh = CRuntimeConfig::Instance();
  EXPECT_NE(fresh, held);
  EXPECT_EQ(fresh->GetInt(17, L"GigEVisionPacketSize", 0), 9000);
}
