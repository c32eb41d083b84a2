// Writes the feature headers of the XML resources, made by the GenICam installation's style sheets.
#include "driver/frameworkuser/genicam/featureheaders/featureheaders.h"

#include <fstream>

#include "driver/foundation/conversions.h"
#include "driver/foundation/zorstring.h"
#include "platform/genapi/genapi.h"
#include "platform/os/process/environment.h"

namespace zor::genicam {
namespace {

constexpr const wchar_t* kPointerSheet = L"/xml/GenApi/GenApi_Ptr_h.xsl";
constexpr const wchar_t* kParamsSheet = L"/xml/GenApi/GenApi_Params_h.xsl";

// A file that cannot be opened gets nothing.
void WriteHeader(const std::wstring& name, const GenICam::gcstring& text) {
  std::ofstream file(foundation::WStringToUtf8(name), std::ios::binary | std::ios::trunc);
  if (file) file.write(text.c_str(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

std::wstring GenICamRootFolder() {
  std::wstring installation;
  const uint32_t size = os::GetEnvironmentVariable(L"ZOR_GENICAM_PATH", nullptr, 0);
  if (size != 0) {
    installation.resize(size);
    installation.resize(os::GetEnvironmentVariable(L"ZOR_GENICAM_PATH", installation.data(), size));
  }
  foundation::CZORString root(installation.c_str());
  root.AppendPath(L"v3_1");
  return root.CStr();
}

void GenerateFeatureHeaders(const std::vector<GenICamXmlResource>& resources,
                            const std::wstring& genicamRoot) {
  const std::string pointerSheet = foundation::WStringToUtf8(genicamRoot + kPointerSheet);
  const std::string paramsSheet = foundation::WStringToUtf8(genicamRoot + kParamsSheet);
  for (const GenICamXmlResource& resource : resources) {
    try {
      GenApi::CNodeMapFactory factory(GenApi::ContentType_ZippedXml, resource.data, resource.size,
                                      GenApi::CacheUsage_Automatic, false);
      const GenICam::gcstring pointers = factory.ApplyStyleSheet(pointerSheet.c_str());
      const GenICam::gcstring params = factory.ApplyStyleSheet(paramsSheet.c_str());
      WriteHeader(resource.name + L"Header.h", pointers);
      WriteHeader(resource.name + L"Params.h", params);
    } catch (const GenICam::GenericException&) {
      // Headers are a convenience for users; a resource that fails is left out.
    }
  }
}

}  // namespace zor::genicam
