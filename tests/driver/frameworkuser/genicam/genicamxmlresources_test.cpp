// The GenApi XML resources that the driver carries: their names, their zips,
// and the node maps our runtime builds from them.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/genapi/genapi.h"
#include "platform/genapi/xml/zipdata.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

std::map<GenApi::EInterfaceType, int> FeatureKinds(GenApi::CNodeMapRef& map) {
  std::map<GenApi::EInterfaceType, int> kinds;
  GenApi::NodeList_t nodes;
  map._GetNodes(nodes);
  for (GenApi::INode* node : nodes) {
    if (node->IsFeature() && node->GetPrincipalInterfaceType() != GenApi::intfICategory) {
      ++kinds[node->GetPrincipalInterfaceType()];
    }
  }
  return kinds;
}

TEST(GenICamXmlResources, TheDriverCarriesTheSystemAndDigitizerZips) {
  std::vector<GenICamXmlResource> resources;
  LoadGenICamXmlResources(resources);
  ASSERT_EQ(resources.size(), 2u);
  EXPECT_EQ(resources[0].name, L"_SYS_ZORID");
  EXPECT_EQ(resources[1].name, L"_DIG_ZORID");
  const char* files[] = {"QsysControl_dravion-lyn.xml", "QdigControl_dravion-lyn.xml"};
  for (size_t i = 0; i < 2; ++i) {
    GenApi::ZipData zip(resources[i].data, resources[i].size);
    EXPECT_EQ(zip.Names(), std::vector<std::string>{files[i]});
  }
}

TEST(GenICamXmlResources, ModulesWithoutResourcesYieldNothing) {
  std::vector<GenICamXmlResource> resources;
  LoadGenICamXmlResources(os::ModuleFromAddress(reinterpret_cast<void*>(&HostSysInquire)),
                          resources);
  LoadGenICamXmlResources(os::kNullModule, resources);
  EXPECT_TRUE(resources.empty());
}

TEST(GenICamXmlResources, NodeMapsHaveTheModelsAndFeatureCountsOfTheirObjects) {
  std::vector<GenICamXmlResource> resources;
  LoadGenICamXmlResources(resources);
  ASSERT_EQ(resources.size(), 2u);
  struct Expected {
    const char* model;
    int integers, enumerations, strings, floats, commands;
  };
  const Expected expected[] = {{"QsysControl", 24, 21, 3, 0, 1}, {"QdigControl", 21, 23, 1, 9, 2}};
  for (size_t i = 0; i < 2; ++i) {
    GenApi::CNodeMapRef map("Device");
    map._Initialize(
        GenApi::CNodeMapFactory(GenApi::ContentType_ZippedXml, resources[i].data, resources[i].size)
            .CreateNodeMap("Device"));
    auto* info = dynamic_cast<GenApi::IDeviceInfo*>(map._Ptr);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->GetModelName().c_str(), expected[i].model);
    EXPECT_STREQ(info->GetVendorName().c_str(), "VelantImagingLtd");
    std::map<GenApi::EInterfaceType, int> kinds = FeatureKinds(map);
    EXPECT_EQ(kinds[GenApi::intfIInteger], expected[i].integers) << expected[i].model;
    EXPECT_EQ(kinds[GenApi::intfIEnumeration], expected[i].enumerations) << expected[i].model;
    EXPECT_EQ(kinds[GenApi::intfIString], expected[i].strings) << expected[i].model;
    EXPECT_EQ(kinds[GenApi::intfIFloat], expected[i].floats) << expected[i].model;
    EXPECT_EQ(kinds[GenApi::intfICommand], expected[i].commands) << expected[i].model;
  }
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
    EXPECT_EQ(record.kind, c.kind) << &c - cases;
    EXPECT_EQ(record.zorId, c.zorId);
    EXPECT_EQ(record.name, c.name);
  }
}

}  // namespace
}  // namespace zor::genicam
