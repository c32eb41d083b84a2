// Publishing a GenICam control's own node map: its display name, its example-code style.
#include <gtest/gtest.h>

#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"
#include "platform/host/zor.h"
#include "tests/driver/frameworkuser/genicam/memoryport.h"
#include "tests/driver/frameworkuser/genicam/publisherfixture.h"
#include "tests/driver/frameworkuser/genicam/testbrowserclient.h"

namespace zor::genicam {
namespace {

std::shared_ptr<GenApi::CNodeMapRef> SystemMap() {
  std::vector<GenICamXmlResource> resources;
  LoadGenICamXmlResources(resources);
  auto map = std::make_shared<GenApi::CNodeMapRef>("Device");
  map->_Initialize(GenApi::CNodeMapFactory(GenApi::ContentType_ZippedXml, resources.at(0).data,
                                           resources.at(0).size)
                       .CreateNodeMap("Device"));
  return map;
}

TEST(PublishControl, OwnSystemMapUnderItsDisplayNameWithControlTypeCode) {
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_HOST", 0, Q_DEFAULT, nullptr);
  ASSERT_NE(system, 0);
  GenICamSystemFacts facts;
  facts.hostSystemId = system;
  GenICamControl control(facts, system, 0, 10);
  control.SetNodeMap(SystemMap(), std::make_shared<MemoryPort>(), "Device", false);
  const std::string name = control.BuildDeviceDisplayName();

  auto publisher = genicamtest::MakePublisher("SysOwn");
  publisher->Publish(control);
  publisher->Publish(control);
  EXPECT_EQ(publisher->PublishedCount(), 1u);
  genicamtest::TestBrowserClient client;
  ASSERT_TRUE(client.Attach(L"SysOwn"));
  client.Send(NodeMapPublisher::kHello, "");
  auto hello = client.WaitFor(NodeMapPublisher::kMapsAdded);
  ASSERT_TRUE(hello.has_value());
  EXPECT_EQ(hello->body, MapNamesJson({name}));
  // A host system's map: the system's own control types, not the feature functions.
  client.Send(NodeMapPublisher::kExampleCode, name + ":Q_NUMBER");
  auto code = client.Take();
  ASSERT_EQ(code.size(), 1u);
  EXPECT_EQ(code[0].tag, NodeMapPublisher::kExampleCode);
  EXPECT_EQ(code[0].body.find("Feature"), std::string::npos) << code[0].body;
  EXPECT_NE(code[0].body.find("QsysInquire(ZorSystem, Q_NUMBER, &"), std::string::npos)
      << code[0].body;
  publisher->RemoveControl(control);
  EXPECT_EQ(publisher->PublishedCount(), 0u);
  QsysFree(system);
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
}

}  // namespace
}  // namespace zor::genicam
