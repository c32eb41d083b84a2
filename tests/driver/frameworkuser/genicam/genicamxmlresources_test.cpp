// The GenApi XML resources that the driver carries: their names, their zips,
// and the node maps our runtime builds from them.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/genapi/genapi.h"
#include "platform/genapi/xml/zipdata.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

// The map's model and vendor, then its features' counts: integers, enumerations, strings,
// floats, commands.
std::string Facts(GenApi::CNodeMapRef& map) {
  std::map<GenApi::EInterfaceType, int> kinds;
  GenApi::NodeList_t nodes;
  map._GetNodes(nodes);
  for (GenApi::INode* node : nodes) {
    if (node->IsFeature()) ++kinds[node->GetPrincipalInterfaceType()];
  }
  auto* info = dynamic_cast<GenApi::IDeviceInfo*>(map._Ptr);
  if (info == nullptr) return "no device information";
  std::ostringstream facts;
  facts << info->GetModelName() << " " << info->GetVendorName() << " "
        << kinds[GenApi::intfIInteger] << " " << kinds[GenApi::intfIEnumeration] << " "
        << kinds[GenApi::intfIString] << " " << kinds[GenApi::intfIFloat] << " "
        << kinds[GenApi::intfICommand];
  return facts.str();
}

// The system's and the digitizer's zip, each of one file, and the node maps our runtime builds
// from them.
TEST(GenICamXmlResources, TheDriverCarriesTheSystemAndDigitizerZips) {
  std::vector<GenICamXmlResource> resources;
  LoadGenICamXmlResources(resources);
  ASSERT_EQ(resources.size(), 2u);
  const struct {
    const wchar_t* name;
    const char* file;
    const char* facts;
  } expected[] = {
      {L"_SYS_ZORID", "QsysControl_dravion-lyn.xml", "QsysControl VelantImagingLtd 24 21 3 0 1"},
      {L"_DIG_ZORID", "QdigControl_dravion-lyn.xml", "QdigControl VelantImagingLtd 21 23 1 9 2"}};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(resources[i].name, expected[i].name);
    GenApi::ZipData zip(resources[i].data, resources[i].size);
    EXPECT_EQ(zip.Names(), std::vector<std::string>{expected[i].file});
    GenApi::CNodeMapRef map("Device");
    map._Initialize(
        GenApi::CNodeMapFactory(GenApi::ContentType_ZippedXml, resources[i].data, resources[i].size)
            .CreateNodeMap("Device"));
    EXPECT_EQ(Facts(map), expected[i].facts);
  }
}

TEST(GenICamXmlResources, ModulesWithoutResourcesYieldNothing) {
  std::vector<GenICamXmlResource> resources;
  LoadGenICamXmlResources(os::ModuleFromAddress(reinterpret_cast<void*>(&HostSysInquire)),
                          resources);
  LoadGenICamXmlResources(os::kNullModule, resources);
  EXPECT_TRUE(resources.empty());
}

TEST(GenICamXmlResources, ResourceNamesGiveTheObjectKind) {
  struct Case {
    const wchar_t* name;
    int32_t kind;
    bool zorId;
  };
  const Case cases[] = {
      {L"_SYS_ZORID", 10, true},   {L"_DIG_ZORID", 7, true},  {L"_SYS", 0, false},
      {L"_DIG", 1, false},         {L"_BLOB_ZORID", 6, true}, {L"_BUF", 5, false},
      {L"_DISP_ZORID", 8, true},   {L"_SEQ", 9, false},       {L"_APP_ZORID", 4, true},
      {L"CAMERA_ZORID", -1, true}, {L"_SEQ_SYS", 0, false}};  // "_SYS" is looked for first
  for (const Case& c : cases) {
    XmlResourceRecord record;
    ParseXmlResourceName(c.name, record);
    EXPECT_EQ(std::make_tuple(record.kind, record.zorId, record.name),
              std::make_tuple(c.kind, c.zorId, std::wstring(c.name)));
  }
}

}  // namespace
}  // namespace zor::genicam
