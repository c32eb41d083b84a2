// The GenApi XML resources that the driver carries, and what their names say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/process/library.h"

namespace zor::genicam {

inline constexpr const wchar_t* kGenICamXmlResourceType = L"GENICAM_XMLs";

struct GenICamXmlResource {
  std::wstring name;
  const void* data = nullptr;  // inside the module, valid while it is loaded
  std::size_t size = 0;
};

// Appends every loadable resource of type "GENICAM_XMLs" of the module, in
// enumeration order. A null module or one without such resources adds none.
void LoadGenICamXmlResources(os::Module module, std::vector<GenICamXmlResource>& resources);
// The same for the driver's own module.
void LoadGenICamXmlResources(std::vector<GenICamXmlResource>& resources);

// What a resource name says: the object kind it describes and whether it is
// one of the driver's own objects ("_ZORID"). Kind -1: no kind at all.
// The object kinds that a resource describes: a system's or digitizer's of another driver, and
// the driver's own objects.
namespace resourcekind {
inline constexpr int32_t kOtherSystem = 0;
inline constexpr int32_t kOtherDigitizer = 1;
inline constexpr int32_t kApplication = 4;
inline constexpr int32_t kBuffer = 5;
inline constexpr int32_t kBlob = 6;
inline constexpr int32_t kDigitizer = 7;
inline constexpr int32_t kDisplay = 8;
inline constexpr int32_t kSequence = 9;
inline constexpr int32_t kSystem = 10;
}  // namespace resourcekind

struct XmlResourceRecord {
  std::wstring name;
  int32_t kind = -1;
  bool zorId = false;
};
void ParseXmlResourceName(const std::wstring& name, XmlResourceRecord& record);

}  // namespace zor::genicam
