// The object-class table, the GenICam proxy, the GenICam control and the publishing of its own
// node map.
#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"
#include "platform/host/hostservices.h"
#include "platform/host/zor.h"
#include "tests/driver/frameworkuser/genicam/hostsystemfixture.h"
#include "tests/driver/frameworkuser/genicam/memoryport.h"
#include "tests/driver/frameworkuser/genicam/publisherfixture.h"
#include "tests/driver/frameworkuser/genicam/testbrowserclient.h"
#include "tests/driver/frameworkuser/support/testdriver.h"
#include "tests/support/testdata/testdata.h"

namespace zor::genicam {
namespace {

constexpr int64_t kGrabMode = 4016;

std::shared_ptr<GenApi::CNodeMapRef> CarriedMap(size_t index) {
  std::vector<GenICamXmlResource> resources;
  LoadGenICamXmlResources(resources);
  auto map = std::make_shared<GenApi::CNodeMapRef>("Device");
  map->_Initialize(GenApi::CNodeMapFactory(GenApi::ContentType_ZippedXml, resources.at(index).data,
                                           resources.at(index).size)
                       .CreateNodeMap("Device"));
  return map;
}

class ProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = std::make_shared<MemoryPort>();
    port_->Set(kGrabMode, 2);
    control_ = std::make_shared<GenICamControl>(GenICamSystemFacts{}, 0, 0, 7);
    control_->SetNodeMap(CarriedMap(1), port_, "Device", false);
  }
  GenApi::IEnumeration* GrabMode() {
    return GenApi::CEnumerationPtr(control_->NodeMap()->_GetNode("Q_GRAB_MODE"));
  }
  std::array<int64_t, 4> Codes() {
    std::array<int64_t, 4> codes{};
    ctx_.GetError(1, &codes[0], &codes[1], &codes[2], &codes[3]);
    return codes;
  }

  bool constructionError_ = false;
  frame::TestDriver driver_{constructionError_};
  frame::QDDriverThreadContext ctx_{driver_, 1};
  std::shared_ptr<MemoryPort> port_;
  std::shared_ptr<GenICamControl> control_;
};

TEST(ObjectClassTable, RowsByTypeAndTheOwnModules) {
  std::ostringstream rows;
  for (const auto& [type, r] : ObjectClassTable()) {
    rows << std::hex << type << "," << r.objectType << std::dec << "," << r.className << ","
         << r.controlFunction << "," << r.inquireFunction << "," << r.shortName << ","
         << r.objectKind << "," << r.flag << "," << r.extra << "\n";
    EXPECT_EQ(FindObjectClass(type), &r);
    EXPECT_EQ(FindObjectClass(type + 1), nullptr);
  }
  EXPECT_EQ(rows.str(), zortest::ReadTestData("genicam/objectclasses.csv"));
  EXPECT_EQ(
      ControlFunctionList(),
      (std::vector<std::wstring>{L"QbufControl", L"QappControl", L"QdigControl", L"QdispControl",
                                 L"QsysControl", L"QblobControl", L"QseqControl"}));
  EXPECT_TRUE(IsOwnControlFunctionName(L"QdigControl"));
  EXPECT_FALSE(IsOwnControlFunctionName(L"QdigControlFeature"));
  EXPECT_FALSE(IsOwnControlFunctionName(L"qdigcontrol"));
}

TEST_F(ProxyTest, EnumerationEntriesAndTheirErrors) {
  std::vector<GenICam::gcstring> names;
  EXPECT_EQ(control_->GetEnumEntries(GrabMode(), false, names, &ctx_), 0);
  EXPECT_EQ(names, (std::vector<GenICam::gcstring>{"Q_SYNCHRONOUS", "Q_ASYNCHRONOUS",
                                                   "Q_ASYNCHRONOUS_QUEUED"}));
  names.clear();
  control_->GetEnumEntries(GrabMode(), true, names, &ctx_);
  EXPECT_EQ(names.front(), "Synchronous");
  EXPECT_EQ(control_->GetEnumEntryCount(GrabMode(), &ctx_), 3u);

  GenICam::gcstring name = "unchanged";
  control_->GetEnumEntryName(3, GrabMode(), false, name, &ctx_);
  EXPECT_EQ(name, "unchanged");
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{4422, 3, 0, 0}));
  ctx_.SetError(0, 0, 0, 0);

  GenApi::IEnumEntry* entry = nullptr;
  EXPECT_EQ(control_->BuildFeatureAccessError(GrabMode(), "Q_ASYNCHRONOUS", EntryAccess::kRead,
                                              entry, &ctx_),
            0);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->GetValue(), 2);
  EXPECT_EQ(
      control_->BuildFeatureAccessError(GrabMode(), "Q_NONE", EntryAccess::kRead, entry, &ctx_),
      kGenICamFailed);
  EXPECT_EQ(Codes(), (std::array<int64_t, 4>{4422, 1, 6, 7}));
}

TEST_F(ProxyTest, ModelAndVendorComeFromTheXmlOnceForEveryThread) {
  std::vector<std::string> models(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < models.size(); ++i) {
    threads.emplace_back([this, &models, i] { models[i] = control_->GetDeviceModelName(); });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(std::set<std::string>(models.begin(), models.end()),
            std::set<std::string>{"QdigControl"});
  EXPECT_EQ(control_->GetDeviceVendorName(), "VelantImagingLtd");
}

TEST_F(ProxyTest, ExecutingACommandWritesItsValueAndReportsAMissingOne) {
  const int before = port_->writes;
  control_->ExecuteCommand("Q_GRAB_ABORT", &ctx_);
  EXPECT_EQ(port_->writes, before + 1);
  EXPECT_EQ(ctx_.ErrorCode(), 0);
  control_->ExecuteCommand("Q_NO_SUCH_COMMAND", &ctx_);
  EXPECT_EQ(ctx_.ErrorCode(), 4422);
}

TEST(GenICamControl, ManifestNamesTheOwnModules) {
  GenICamControl system(GenICamSystemFacts{}, 0, 0, 10);
  system.SetNodeMap(CarriedMap(0), std::make_shared<MemoryPort>(), "Device", false);
  GenICamControl camera(GenICamSystemFacts{}, 0, 0, kDeviceNodeMapKind);
  const auto whole = [](const GenICamManifestInfo& info) {
    std::string text = info.objectClass + " " + info.controlFunction + " " + info.inquireFunction +
                       " [" + info.typePrefix + "|" + info.featurePrefix + "]";
    for (const std::string& module : info.genTLModules) text += " " + module;
    return text;
  };
  const std::string modules =
      " Q_GENTL_SYSTEM Q_GENTL_INTERFACE Q_GENTL_DEVICE Q_GENTL_REMOTE_DEVICE Q_GENTL_STREAM "
      "Q_GENTL_BUFFER";
  EXPECT_EQ(whole(system.GetManifestInfo()), "ZorSystem QsysControl QsysInquire [|]" + modules);
  EXPECT_EQ(whole(camera.GetManifestInfo()),
            "ZorDigitizer QdigControlFeature QdigInquireFeature [|]" + modules);

  GenICamControl empty(GenICamSystemFacts{}, 0, 0, 10);
  EXPECT_THROW(empty.GetManifestInfo(), GenICam::LogicalErrorException);

  GenTLManifestEntry entry;
  entry.name = L"first";
  entry.words[2] = 9;
  system.AddEntry(entry);
  ASSERT_EQ(system.GetCount(), 1u);
  EXPECT_EQ(system.GetEntry(0).name, L"first");
  EXPECT_EQ(system.GetEntry(0).words[2], 9);
}

TEST(GenICamControl, ControlModeIsOneWhileKeepAliveIsOff) {
  GenICamControl control(GenICamSystemFacts{}, 0, 0, 7);
  EXPECT_EQ(control.GetControlMode(), GenICamControl::kKeepAliveMode);
  control.SetControlMode(1);
  EXPECT_EQ(control.GetControlMode(), 1);
  control.SetControlMode(GenICamControl::kKeepAliveMode);
  control.SetKeepAliveEnabled(false);
  EXPECT_EQ(control.GetControlMode(), 1);
}

TEST_F(HostSystem, DisplayPathsOfOwnObjectsAndNodeMapsWithoutOne) {
  GenICamControl own(facts_, system_, 0, 10);
  const std::string path = own.BuildDeviceDisplayName();
  EXPECT_EQ(path, "System Q_SYSTEM_HOST 0{" + std::to_string(system_) + "}");
  EXPECT_EQ(own.BuildDeviceDisplayName(), path);
  // The name comes with the path, also when it is asked for first.
  const std::wstring name = L"Left";
  HostObjControl(system_, Q_OBJECT_NAME, reinterpret_cast<QINT64>(name.c_str()));
  GenICamControl named(facts_, system_, 0, 10);
  EXPECT_EQ(named.GetDeviceDisplayName(), "Left");

  GenICamControl unowned(facts_, 0, 0, 1);
  unowned.SetNodeMap(CarriedMap(1), std::make_shared<MemoryPort>(), "Device", false);
  const std::string other = unowned.BuildDeviceDisplayName();
  EXPECT_EQ(other.rfind("\\QdigControl{", 0), 0u) << other;
  EXPECT_EQ(GenICamControl::GetObjectPath(0), (std::pair<std::string, std::string>{}));
}

// Publishing a GenICam control's own node map: its display name, its example-code style.
TEST_F(HostSystem, OwnSystemMapIsPublishedUnderItsDisplayNameWithControlTypeCode) {
  GenICamControl control(facts_, system_, 0, 10);
  control.SetNodeMap(CarriedMap(0), std::make_shared<MemoryPort>(), "Device", false);
  const std::string name = control.BuildDeviceDisplayName();

  auto publisher = genicamtest::MakePublisher("SysOwn");
  publisher->Publish(control);
  publisher->Publish(control);
  EXPECT_EQ(publisher->PublishedCount(), 1u);
  genicamtest::TestBrowserClient client;
  ASSERT_TRUE(client.Attach(L"SysOwn"));
  client.Send(NodeMapPublisher::kHello, "");
  EXPECT_EQ(
      client.Take(),
      (std::vector<genicamtest::Message>{{NodeMapPublisher::kMapsAdded, MapNamesJson({name})}}));
  // A host system_'s map: the system_'s own control types, not the feature functions.
  client.Send(NodeMapPublisher::kExampleCode, name + ":Q_NUMBER");
  const std::string code =
      "ZOR_INT Number;\n// Device number of the system.\nQsysInquire(ZorSystem, Q_NUMBER, "
      "&Number);\n";
  EXPECT_EQ(client.Take(),
            (std::vector<genicamtest::Message>{{NodeMapPublisher::kExampleCode, code}}));
  publisher->RemoveControl(control);
  EXPECT_EQ(publisher->PublishedCount(), 0u);
}

}  // namespace
}  // namespace zor::genicam
