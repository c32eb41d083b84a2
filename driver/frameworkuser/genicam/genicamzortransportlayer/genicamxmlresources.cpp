// Loads the GenApi XML resources the library carries and reads what their names say.
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
  using namespace resourcekind;
  static constexpr Suffix kSuffixes[] = {
      {L"_SYS", kSystem, kOtherSystem},      {L"_DIG", kDigitizer, kOtherDigitizer},
      {L"_APP", kApplication, kApplication}, {L"_BLOB", kBlob, kBlob},
      {L"_BUF", kBuffer, kBuffer},           {L"_DISP", kDisplay, kDisplay},
      {L"_SEQ", kSequence, kSequence}};
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
