#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"

#include "platform/os/process/resource.h"

namespace zor::genicam {

void LoadGenICamXmlResources(os::Module module, std::vector<GenICamXmlResource>& resources) {
  if (module == os::kNullModule) return;
  std::vector<std::wstring> names;
  os::EnumResourceNames(module, kGenICamXmlResourceType, [&names](const std::wstring& name) {
    names.push_back(name);
    return true;
  });
  for (const std::wstring& name : names) {
    os::Resource resource;
    if (!os::FindResource(module, name.c_str(), kGenICamXmlResourceType, &resource)) continue;
    if (resource.data == nullptr || resource.size == 0) continue;
    resources.push_back({name, resource.data, resource.size});
  }
}

void LoadGenICamXmlResources(std::vector<GenICamXmlResource>& resources) {
  LoadGenICamXmlResources(os::ThisModule(), resources);
}

void ParseXmlResourceName(const std::wstring& name, XmlResourceRecord& record) {
  struct Suffix {
    const wchar_t* text;
    int32_t ownKind;
    int32_t otherKind;
  };
  static constexpr Suffix kSuffixes[] = {{L"_SYS", 10, 0}, {L"_DIG", 7, 1}, {L"_APP", 4, 4},
                                         {L"_BLOB", 6, 6}, {L"_BUF", 5, 5}, {L"_DISP", 8, 8},
                                         {L"_SEQ", 9, 9}};
  record.name = name;
  record.zorId = name.find(L"_ZORID") != std::wstring::npos;
  record.kind = -1;
  for (const Suffix& suffix : kSuffixes) {
    if (name.find(suffix.text) == std::wstring::npos) continue;
    record.kind = record.zorId ? suffix.ownKind : suffix.otherKind;
    return;
  }
}

}  // namespace zor::genicam
