// CRegistryKey: the driver's access to its registry keys and their values.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/foundation/table1d.h"
#include "driver/foundation/zorstring.h"
#include "platform/os/core/error.h"
#include "platform/os/registry/registry.h"

namespace zor::foundation {

// Own value types.
inline constexpr uint32_t kRegTypeUnknown = 0;
inline constexpr uint32_t kRegTypeDword = 1;
inline constexpr uint32_t kRegTypeString = 2;
inline constexpr uint32_t kRegTypeBinary = 3;
inline constexpr uint32_t kRegTypeQword = 4;
inline constexpr uint32_t kRegTypeExpandString = 5;
inline constexpr uint32_t kRegTypeMultiString = 6;

// A registry key opened through the table of registry locations (registrylocations.h) plus
// a sub-path, or by a text path at location 0. Values can be written only under the
// current user's hive. Failures are reported by returning false.
class CRegistryKey {
 public:
  CRegistryKey() = default;
  CRegistryKey(int32_t location, const wchar_t* subPath, bool create);
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;
  // Flushes a written key, then closes it.
  virtual ~CRegistryKey();

  bool Open(int32_t location, const wchar_t* subPath, bool create);
  bool Close();
  bool IsOpen() const { return key_ != os::kNullHandle; }
  static bool KeyExists(int32_t location);
  bool SubKeyExists(const wchar_t* name) const;
  // "\x" starts at the hive's root, ".." climbs one key, anything else descends.
  bool OpenSubKey(const wchar_t* relativePath);
  bool CreateSubKey(const wchar_t* name);
  CZORString GetFullPath() const;
  const CZORString& GetPath() const { return path_; }
  bool IsVolatile() const { return volatile_; }

  bool ReadValue(const wchar_t* name, uint32_t type);
  bool ReadDword(const wchar_t* name, int32_t& value);
  bool ReadDwordToInt64(const wchar_t* name, int64_t& value);
  bool ReadQword(const wchar_t* name, uint64_t& value);
  // Plain and expandable strings as they are; a multi-string as "<a> <b>".
  bool ReadString(const wchar_t* name, CZORString& value);
  uint32_t GetValueType(const wchar_t* name) const;
  bool ValueExists(const wchar_t* name) const;

  bool WriteValue(const wchar_t* name, uint32_t type, const void* data, uint32_t length);
  bool WriteDword(const wchar_t* name, uint32_t value);
  bool WriteDwordFromInt64(const wchar_t* name, int64_t value);

  bool EnumSubKeys(CTable1D<CZORString>& names);
  bool EnumValues(CTable1D<CZORString>& names);

  // Creates one of the volatile locations 9, 16 and 22 below its parent and stamps it with
  // its creator. True when the key existed or was created.
  static bool RegisterPathCreator(int32_t location);

 private:
  bool OpenPath(os::Handle hive, const CZORString& path, bool create, bool volatileKey);
  bool ReopenKey(uint32_t access);
  bool ChangePath(const wchar_t* relativePath);
  bool UnderCurrentUser() const;
  void ClearState();

  bool volatile_ = false;
  os::Handle namedHive_ = os::kNullHandle;  // the predefined hive, for names
  os::Handle hive_ = os::kNullHandle;       // the hive opened through
  os::Handle key_ = os::kNullHandle;
  bool written_ = false;
  CZORString path_;
  bool userHiveOpened_ = false;
  uint32_t extraAccess_ = 0;
  std::vector<uint8_t> valueBuffer_ = std::vector<uint8_t>(1024);
  uint32_t dataLength_ = 0;
};

}  // namespace zor::foundation
