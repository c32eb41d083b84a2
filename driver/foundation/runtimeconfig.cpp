// CRuntimeConfig: the shared store, loaded once under a lock, and its typed reads.
#include "driver/foundation/runtimeconfig.h"

#include <cwchar>
#include <memory>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/queuedlock.h"
#include "driver/foundation/registrylocations.h"

namespace zor::foundation {

namespace {

// Constant-initialised like every table of the library: nothing runs before a first caller.
// Readers take the lock too: libstdc++ 12's atomic shared_ptr releases its lock bit relaxed
// after a load, which orders no later store after that load. The configuration is asked for
// rarely.
// Guards g_config: whether it is made yet, and its swap at the end. A leaf: nothing that holds
// it takes another lock. A queued lock, not a mutex, so that a start-up burst of threads waits
// in order without spinning.
Ranked<CQueuedLock, LockId::kConfig> g_configLock;
constinit std::shared_ptr<const CRuntimeConfig> g_config ZOR_GUARDED_BY(g_configLock);

}  // namespace

std::shared_ptr<const CRuntimeConfig> CRuntimeConfig::Instance() {
  const CQueuedLockGuard guard(g_configLock);
  if (g_config) return g_config;
  std::shared_ptr<CRuntimeConfig> config(new CRuntimeConfig());
  config->BuildKeyTable();
  config->ReadFromRegistry();
  g_config = config;
  return config;
}

void CRuntimeConfig::Destroy() {
  std::shared_ptr<const CRuntimeConfig> last;
  const CQueuedLockGuard guard(g_configLock);
  last.swap(g_config);
}

int32_t CRuntimeConfig::GetInt(int32_t section, const wchar_t* keyName,
                               int32_t defaultValue) const {
  const CRuntimeConfigKey* key = FindKey(section, keyName);
  return key != nullptr && (key->flags & kConfigKeyRead) != 0 ? key->value : defaultValue;
}

int64_t CRuntimeConfig::GetInt64(int32_t section, const wchar_t* keyName,
                                 int64_t defaultValue) const {
  const CRuntimeConfigKey* key = FindKey(section, keyName);
  return key != nullptr && (key->flags & kConfigKeyRead) != 0 ? int64_t{key->value} : defaultValue;
}

const CRuntimeConfigKey* CRuntimeConfig::FindKey(int32_t section, const wchar_t* keyName) const {
  if (keyName == nullptr || keyName[0] == L'\0') return nullptr;
  const CRuntimeConfigSection& found = GetSection(section);
  for (int64_t i = 0; i < found.keys.Size(); ++i) {
    if (wcscasecmp(found.keys[i]->name.CStr(), keyName) == 0) return found.keys[i].get();
  }
  return nullptr;
}

const CRuntimeConfigSection& CRuntimeConfig::GetSection(int32_t section) const {
  static const CRuntimeConfigSection kEmpty;
  if (section < 0 || section >= sections_.Size()) return kEmpty;
  return *sections_[section];
}

void CRuntimeConfig::AddSection(const wchar_t* name) {
  auto section = std::make_unique<CRuntimeConfigSection>();
  section->name.Assign(name);
  sections_.Add(std::move(section));
}

void CRuntimeConfig::AddKey(int32_t section, const wchar_t* name, bool indexed) {
  if (section < 0 || section >= sections_.Size()) return;
  auto key = std::make_unique<CRuntimeConfigKey>();
  key->name.Assign(name);
  key->flags = kConfigKeyDeclared | (indexed ? kConfigKeyIndexed : 0);
  sections_[section]->keys.Add(std::move(key));
}

bool CRuntimeConfig::OpenControlsKey(CRegistryKey& key, bool create) {
  return key.Open(kMachineRuntimeLocation, L"Controls", create);
}

void CRuntimeConfig::ReadFromRegistry() {
  CRegistryKey key;
  if (!CRegistryKey::KeyExists(kMachineRuntimeLocation) || !OpenControlsKey(key, false)) return;
  for (int64_t s = 0; s < sections_.Size(); ++s) {
    CRuntimeConfigSection& section = *sections_[s];
    // A section that is not there leaves the walk where it is, at "Controls".
    if (section.keys.Size() == 0 || !key.SubKeyExists(section.name.CStr())) continue;
    if (!key.OpenSubKey(section.name.CStr())) return;
    for (int64_t k = 0; k < section.keys.Size(); ++k) {
      CRuntimeConfigKey& entry = *section.keys[k];
      int32_t value = 0;
      if (key.ReadDword(entry.name.CStr(), value)) {
        entry.value = value;
        entry.flags |= kConfigKeyRead;
        entry.dirty = 0;
      }
    }
    if (!key.OpenSubKey(L"..")) return;
  }
}

}  // namespace zor::foundation
