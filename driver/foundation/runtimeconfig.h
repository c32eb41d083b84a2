// CRuntimeConfig: the library-wide numbered settings, read once from the registry.
#pragma once

#include <cstdint>
#include <memory>

#include "driver/foundation/registrykey.h"
#include "driver/foundation/table1d.h"
#include "driver/foundation/zorstring.h"

namespace zor::foundation {

inline constexpr uint32_t kConfigKeyRead = 0x1;
inline constexpr uint32_t kConfigKeyIndexed = 0x2;
inline constexpr uint32_t kConfigKeyDeclared = 0x4;

struct CRuntimeConfigKey {
  CZORString name;
  int32_t value = 0;
  uint32_t flags = 0;
  uint8_t dirty = 0;
};

struct CRuntimeConfigSection {
  CZORString name;
  CTable1D<std::unique_ptr<CRuntimeConfigKey>> keys;
};

// The library-wide configuration: named 32-bit settings in numbered sections, loaded once
// from the "Controls" key of the machine's runtime key. Readers pass their own defaults.
class CRuntimeConfig {
 public:
  static constexpr int32_t kSectionCount = 26;
  static constexpr int32_t kDebugSection = 1;
  static constexpr int32_t kDriverSection = 17;

  // Created on first call, once, under a queued lock. Readers share the store: Destroy drops
  // the process-wide reference, and the store goes when its last reader lets it go.
  static std::shared_ptr<const CRuntimeConfig> Instance();
  static void Destroy();

  virtual ~CRuntimeConfig() = default;
  CRuntimeConfig(const CRuntimeConfig&) = delete;
  CRuntimeConfig& operator=(const CRuntimeConfig&) = delete;

  int32_t GetInt(int32_t section, const wchar_t* keyName, int32_t defaultValue) const;
  int64_t GetInt64(int32_t section, const wchar_t* keyName, int64_t defaultValue) const;
  // Names ignore case; null for an unknown section or key.
  const CRuntimeConfigKey* FindKey(int32_t section, const wchar_t* keyName) const;
  // An index outside the table gives an empty section.
  const CRuntimeConfigSection& GetSection(int32_t section) const;

 private:
  CRuntimeConfig() = default;
  void BuildKeyTable();
  void AddSection(const wchar_t* name);
  void AddKey(int32_t section, const wchar_t* name, bool indexed);
  void ReadFromRegistry();
  static bool OpenControlsKey(CRegistryKey& key, bool create);

  CTable1D<std::unique_ptr<CRuntimeConfigSection>> sections_;
};

}  // namespace zor::foundation
