// What the GenICam layer knows of each kind of host object: its class, the
// host functions that control and inquire it, its short name, and the object
// kind under which its GenApi XML resource is filed. Built when the driver
// loads and only read afterwards.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zor::genicam {

struct ObjectClassInfo {
  std::string className;
  std::string controlFunction;
  std::string inquireFunction;
  std::string shortName;
  int64_t objectType = 0;
  int32_t objectKind = 0;
  bool flag = false;
  std::string extra;
};

const std::map<int64_t, ObjectClassInfo>& ObjectClassTable();
const std::set<std::wstring>& OwnControlFunctionNames();

// The row of an object type, or null when the table does not describe it.
const ObjectClassInfo* FindObjectClass(int64_t objectType);
// Whether the table describes the object type as a kind of buffer (controlled by QbufControl).
bool IsBufferObjectType(int64_t objectType);
// The distinct control-function names in ascending order of the type codes.
std::vector<std::wstring> ControlFunctionList();
bool IsOwnControlFunctionName(const std::wstring& moduleName);

// Object types of the table that the layer tells apart by name (the host's object kinds as the
// GenICam layer numbers them).
namespace objecttype {
inline constexpr int64_t kApplication = 0x200;
inline constexpr int64_t kDigitizer = 0x100000;
inline constexpr int64_t kDisplay = 0x200000;
inline constexpr int64_t kSystem = 0x800000;
inline constexpr int64_t kBlob = 0x20040004;
// The system's I/O object, which the table leaves out.
inline constexpr int64_t kSystemIo = 0x100000000000;
}  // namespace objecttype

}  // namespace zor::genicam
