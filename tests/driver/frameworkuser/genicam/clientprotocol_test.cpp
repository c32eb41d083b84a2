// The feature-browser protocol as a browser program sees it, through libZOR.so's mailboxes.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "driver/foundation/log.h"
#include "driver/foundation/logrecord.h"
#include "driver/foundation/logtag.h"
#include "driver/foundation/zordrvexception.h"
#include "driver/frameworkuser/genicam/featurebrowser/featurecodegenerator.h"
#include "driver/frameworkuser/genicam/featurebrowser/hosterrorcheck.h"
#include "platform/host/zor.h"
#include "tests/driver/frameworkuser/genicam/expecteddocuments.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/driver/frameworkuser/genicam/publisherfixture.h"
#include "tests/driver/frameworkuser/genicam/testbrowserclient.h"

namespace {

using genicamtest::ExpectedDocument;
using genicamtest::Message;
using genicamtest::TestBrowserClient;
using zor::genicam::NodeMapPublisher;

using zor::genicam::FeatureHookController;
using zor::genicam::FeatureHookKind;

// The features that a browser-change hook was told of, by name.
struct BrowserChanges {
  std::mutex lock;
  std::vector<std::string> names;
  std::function<void()> inHook;

  std::vector<std::string> Take() {
    std::lock_guard guard(lock);
    return std::exchange(names, {});
  }
};

QINT64 RecordBrowserChange(QINT64 hookType, QID event, void* user) {
  auto* changes = static_cast<BrowserChanges*>(user);
  const FeatureHookController::Context* context = FeatureHookController::FindContext(event);
  const bool named = hookType == zor::genicam::kBrowserFeatureHookType && context != nullptr &&
                     context->node != nullptr;
  {
    std::lock_guard guard(changes->lock);
    changes->names.push_back(named ? context->node->GetName().c_str() : "(unnamed)");
  }
  if (changes->inHook) changes->inHook();
  return 0;
}

bool IsJson(const std::string& text) {
  rapidjson::Document document;
  return genicamtest::JsonError(text, document).empty();
}

class ClientProtocol : public testing::Test {
 protected:
  void SetUp() override {
    system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_HOST", 0, Q_DEFAULT, nullptr);
    ASSERT_NE(system, 0);
    hooks = BrowserHooks(changes);
    publisher = genicamtest::MakePublisher("Sys");
    Publish("CamB");
    Publish("CamA");
  }
  void TearDown() override {
    publisher.reset();
    hooks.reset();
    QsysFree(system);
  }
  // Feature hooks whose browser-change hook records into changes; their events live on the
  // test's system.
  std::shared_ptr<FeatureHookController> BrowserHooks(BrowserChanges& record) {
    auto controller = std::make_shared<FeatureHookController>(3);
    controller->SetOwner(system, nullptr);
    controller->SetHook(FeatureHookKind::kBrowser, &RecordBrowserChange, &record, nullptr);
    controller->SetDeliveryEnabled(true);
    return controller;
  }
  void Publish(const std::string& name) {
    maps[name] = genicamtest::MakePublishedMap(name);
    publisher->AddNodeMap(name, name + " device", genicamtest::DevicePrefixes(name), 0, maps[name],
                          hooks);
  }
  // A client that said hello and read the reply.
  std::unique_ptr<TestBrowserClient> Hello() {
    auto client = std::make_unique<TestBrowserClient>();
    EXPECT_TRUE(client->Attach(L"Sys"));
    client->Send(NodeMapPublisher::kHello, "");
    EXPECT_TRUE(client->WaitFor(NodeMapPublisher::kMapsAdded).has_value());
    return client;
  }
  GenApi::INode* Node(const std::string& map, const char* name) {
    return maps[map]->_GetNode(name);
  }
  // Every request that changes nothing through the browser: reads, a subscription, polling,
  // the application's own write (its notice reaches the client) and a write GenICam refuses.
  void RequestsThatChangeNothing(TestBrowserClient& client) {
    client.Send(NodeMapPublisher::kSubscribe, "CamA");
    client.Send(NodeMapPublisher::kSnapshot, "CamA");
    client.Send(NodeMapPublisher::kGet, "CamA:Width");
    client.Send(NodeMapPublisher::kExampleCode, "CamA:Width");
    client.Send(NodeMapPublisher::kPolling, "poll:true");
    client.Send(NodeMapPublisher::kPolling, "poll:false");
    GenApi::CIntegerPtr(Node("CamA", "Width"))->SetValue(720);
    EXPECT_TRUE(client.WaitFor(NodeMapPublisher::kNodesChanged).has_value());
    client.Send(NodeMapPublisher::kSet, "CamA:Width:5000");
    EXPECT_TRUE(client.WaitFor(NodeMapPublisher::kNodeUpdate).has_value());
    client.Send(NodeMapPublisher::kUnsubscribe, "CamA");
  }
  // How many of the client's two mailboxes the server holds.
  static int Mailboxes(QINT64 client) {
    int held = 0;
    for (const wchar_t* stem : {L"Sys:FBClientToServer:", L"Sys:FBServerToClient:"}) {
      held += TestBrowserClient::FindMailbox(stem + std::to_wstring(client)) != 0 ? 1 : 0;
    }
    return held;
  }
  int64_t Width(const std::string& map) {
    return GenApi::CIntegerPtr(Node(map, "Width"))->GetValue();
  }

  QID system = 0;
  std::map<std::string, std::shared_ptr<GenApi::CNodeMapRef>> maps;
  BrowserChanges changes;
  std::shared_ptr<FeatureHookController> hooks;
  std::unique_ptr<NodeMapPublisher> publisher;
};

TEST_F(ClientProtocol, HelloActivatesTheClientAndListsMapsInOrder) {
  TestBrowserClient client;
  ASSERT_TRUE(client.Attach(L"Sys"));
  EXPECT_GT(client.Id(), int64_t{1} << 32);  // the host's ids do not fit 32 bits
  // Before the hello nothing is served.
  client.Send(NodeMapPublisher::kSnapshot, "CamA");
  client.Send(NodeMapPublisher::kSet, "CamA:Width:700");
  EXPECT_TRUE(client.Take().empty());
  EXPECT_EQ(Width("CamA"), 640);
  const std::vector<Message> listed{{NodeMapPublisher::kMapsAdded, R"(["CamA","CamB"])"}};
  client.Send(NodeMapPublisher::kHello, "ignored");
  EXPECT_EQ(client.Take(), listed);
  // A second hello from an active client is answered again.
  client.Send(NodeMapPublisher::kHello, "");
  EXPECT_EQ(client.Take(), listed);
  EXPECT_EQ(zor::genicam::MapNamesJson({}), "[]");
  EXPECT_EQ(zor::genicam::MapNamesJson({"a\"b"}), R"(["a\"b"])");
}

// A notice runs each client's hooks on the writing thread, and a hook may end its client there
// (a browser's connection whose write failed): the notice still reaches every other client, in
// the middle of the list or after it, and the one that left is dropped.
TEST_F(ClientProtocol, MapsAddedAndRemovedReachActiveClients) {
  auto client = Hello();
  auto leavingOnAdd = Hello();
  auto leavingOnRemove = Hello();
  auto last = Hello();
  const auto expectTold = [](TestBrowserClient& told, QINT64 tag) {
    EXPECT_EQ(told.Take(), (std::vector<Message>{{tag, R"(["CamC"])"}}));
  };
  leavingOnAdd->LeaveOnNextMessage();
  Publish("CamC");
  Publish("CamC");  // kept once, told once
  for (TestBrowserClient* told :
       {client.get(), leavingOnAdd.get(), leavingOnRemove.get(), last.get()}) {
    expectTold(*told, NodeMapPublisher::kMapsAdded);
  }
  EXPECT_EQ(Mailboxes(leavingOnAdd->Id()), 0);
  leavingOnRemove->LeaveOnNextMessage();
  publisher->RemoveDevice("CamC");
  publisher->RemoveDevice("Unknown");
  for (TestBrowserClient* told : {client.get(), leavingOnRemove.get(), last.get()}) {
    expectTold(*told, NodeMapPublisher::kMapRemoved);
  }
  EXPECT_EQ(Mailboxes(leavingOnRemove->Id()), 0);
  EXPECT_TRUE(leavingOnAdd->Take().empty());
  EXPECT_EQ(publisher->PublishedCount(), 2u);
}

TEST_F(ClientProtocol, SnapshotRepliesCarryTheRequestTagAndCurrentValues) {
  auto client = Hello();
  GenApi::CIntegerPtr(Node("CamA", "Width"))->SetValue(800);
  for (QINT64 tag : {NodeMapPublisher::kSnapshot, NodeMapPublisher::kSnapshotAgain}) {
    client->Send(tag, "CamA");
    auto reply = client->WaitFor(tag);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->body, ExpectedDocument("published snapshot"));
    // The node that failed to read follows as a single-node update with its error.
    auto update = client->WaitFor(NodeMapPublisher::kNodeUpdate);
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->body, ExpectedDocument("published broken node"));
  }
  client->Send(NodeMapPublisher::kSnapshot, "CamZ");
  client->Send(NodeMapPublisher::kSnapshot, "CamA:");
  client->Send(0, "CamA");
  client->Send(10, "CamA");
  EXPECT_TRUE(client->Take().empty());
}

TEST_F(ClientProtocol, SetWritesEachKindOfFeatureWithoutReply) {
  auto client = Hello();
  client->Send(NodeMapPublisher::kSet, "CamA::Width:700");  // two colons count as one
  EXPECT_EQ(Width("CamA"), 700);
  client->Send(NodeMapPublisher::kSet, "CamA:Lut:1,2,,300");
  std::vector<uint8_t> lut(3);
  GenApi::CRegisterPtr(Node("CamA", "Lut"))->Get(lut.data(), 3);
  EXPECT_EQ(lut, (std::vector<uint8_t>{1, 2, 44}));
  client->Send(NodeMapPublisher::kSet, "CamA:Address:3232235777");
  EXPECT_EQ(GenApi::CIntegerPtr(Node("CamA", "Address"))->GetValue(), 3232235777);
  client->Send(NodeMapPublisher::kSet, "CamA:Start");
  EXPECT_EQ(GenApi::CIntegerPtr(Node("CamA", "StartReg"))->GetValue(), 1);
  EXPECT_TRUE(client->Take().empty());
  EXPECT_EQ(Width("CamB"), 640);
  // Each write, the command too, is told to the map's hooks once, by the feature's name.
  EXPECT_EQ(changes.Take(), (std::vector<std::string>{"Width", "Lut", "Address", "Start"}));
}

TEST_F(ClientProtocol, ReadsAndRefusedWritesAreNoBrowserChanges) {
  auto client = Hello();
  RequestsThatChangeNothing(*client);
  EXPECT_TRUE(changes.Take().empty());
  // Removed hooks hear nothing more, and the write is made all the same.
  hooks->Unregister(FeatureHookKind::kBrowser, true, nullptr);
  client->Send(NodeMapPublisher::kSet, "CamA:Width:700");
  EXPECT_EQ(Width("CamA"), 700);
  EXPECT_TRUE(changes.Take().empty());
}

TEST_F(ClientProtocol, BadSetsAreDroppedOrAnsweredWithTheError) {
  auto client = Hello();
  // Not decimal, out of range of their type, unknown feature, too few pieces: dropped.
  client->Send(NodeMapPublisher::kSet, "CamA:Address:12x");
  client->Send(NodeMapPublisher::kSet, "CamA:Lut:1,4294967296");
  client->Send(NodeMapPublisher::kSet, "CamA:NoSuchFeature:1");
  client->Send(NodeMapPublisher::kSet, "CamA");
  client->Send(NodeMapPublisher::kSet, "CamZ:Width:700");
  EXPECT_TRUE(client->Take().empty());
  EXPECT_TRUE(changes.Take().empty());
  // GenICam refuses these: the requesting client gets the node with the error text.
  client->Send(NodeMapPublisher::kSet, "CamA:Width:");
  client->Send(NodeMapPublisher::kSet, "CamA:Width:5000");
  EXPECT_EQ(
      client->Take(),
      (std::vector<Message>{
          {NodeMapPublisher::kNodeUpdate, ExpectedDocument("published width refused empty")},
          {NodeMapPublisher::kNodeUpdate, ExpectedDocument("published width refused 5000")}}));
  EXPECT_EQ(Width("CamA"), 640);
}

TEST_F(ClientProtocol, GetRepliesWithTheNodeDescription) {
  auto client = Hello();
  client->Send(NodeMapPublisher::kGet, "CamA:Width");
  EXPECT_EQ(client->Take(),
            (std::vector<Message>{{NodeMapPublisher::kGet, ExpectedDocument("published width")}}));
  client->Send(NodeMapPublisher::kGet, "CamA:Broken");
  EXPECT_EQ(client->Take(),
            (std::vector<Message>{
                {NodeMapPublisher::kGet, ExpectedDocument("published broken description")},
                {NodeMapPublisher::kNodeUpdate, ExpectedDocument("published broken node")}}));
  client->Send(NodeMapPublisher::kGet, "CamA:Nothing");
  client->Send(NodeMapPublisher::kGet, "CamA");
  EXPECT_TRUE(client->Take().empty());
}

TEST_F(ClientProtocol, ExampleCodeIsTheGeneratorsText) {
  auto client = Hello();
  client->Send(NodeMapPublisher::kExampleCode, "CamA:Width");
  auto reply = client->WaitFor(NodeMapPublisher::kExampleCode);
  ASSERT_TRUE(reply.has_value());
  zor::genicam::FeatureCodeGenerator generator(genicamtest::DevicePrefixes("CamA"), 0);
  generator.FillNodeList(Node("CamA", "Width"));
  EXPECT_EQ(reply->body, generator.Generate());
  EXPECT_NE(reply->body.find("ZOR_TEXT(\"CamA:Width\")"), std::string::npos);
  client->Send(NodeMapPublisher::kExampleCode, "CamA:Nothing");
  EXPECT_TRUE(client->Take().empty());
}

TEST_F(ClientProtocol, SubscribedMapsNotifyEveryActiveClient) {
  auto first = Hello();
  auto second = Hello();
  // Both active clients hear of each write; waited for, so that no notice outlives a client.
  const auto expectNotices = [&](int64_t width) {
    GenApi::CIntegerPtr(Node("CamA", "Width"))->SetValue(width);
    for (auto* client : {first.get(), second.get()}) {
      auto notice = client->WaitFor(NodeMapPublisher::kNodesChanged);
      ASSERT_TRUE(notice.has_value());
      EXPECT_TRUE(IsJson(notice->body));
      EXPECT_NE(notice->body.find(std::to_string(width)), std::string::npos);
    }
  };
  first->Send(NodeMapPublisher::kSubscribe, "CamA");
  first->Send(NodeMapPublisher::kSubscribe, "CamA");  // registered once
  expectNotices(900);
  first->Send(NodeMapPublisher::kUnsubscribe, "CamA");
  first->Send(NodeMapPublisher::kSubscribe, "CamA");  // subscribes again
  expectNotices(910);
}

TEST_F(ClientProtocol, PollingSwitchesOnlyOnAWellFormedBody) {
  auto client = Hello();
  client->Send(NodeMapPublisher::kPolling, "poll:");
  client->Send(NodeMapPublisher::kPolling, "poll:true:x");
  client->Send(NodeMapPublisher::kPolling, "pol:true");
  EXPECT_FALSE(publisher->IsPolling());
  client->Send(NodeMapPublisher::kPolling, "poll:true");
  EXPECT_TRUE(publisher->IsPolling());
  client->Send(NodeMapPublisher::kPolling, "poll:false");
  EXPECT_FALSE(publisher->IsPolling());
  client->Send(NodeMapPublisher::kPolling, "poll:true");
  client->Send(NodeMapPublisher::kPolling, "poll:yes");
  EXPECT_FALSE(publisher->IsPolling());
  EXPECT_TRUE(client->Take().empty());
  // While it is on, a polled feature's new value reaches a client that looks at its map.
  client->Send(NodeMapPublisher::kSubscribe, "CamA");
  client->Send(NodeMapPublisher::kPolling, "poll:true");
  const uint32_t temperature = 4321;
  GenApi::CPortPtr(Node("CamA", "Device"))->Write(&temperature, 0x20, 4);
  auto polled = client->WaitFor(NodeMapPublisher::kNodesChanged);
  ASSERT_TRUE(polled.has_value());
  EXPECT_NE(polled->body.find("4321"), std::string::npos) << polled->body;
}

TEST_F(ClientProtocol, ClientsComeAndGoIndependently) {
  auto staying = Hello();
  auto leaving = Hello();
  const QINT64 gone = leaving->Id();
  leaving->Leave();
  EXPECT_EQ(Mailboxes(gone), 0);
  Publish("CamC");
  EXPECT_EQ(staying->Take().size(), 1u);
  // Connected without a hello, then gone: the pair stays until the publisher stops.
  QINT64 silent = 0;
  {
    TestBrowserClient quiet;
    silent = quiet.Id();
  }
  EXPECT_EQ(Mailboxes(silent), 2);
  publisher.reset();
  EXPECT_EQ(Mailboxes(silent), 0);
}

// Clients come and go on another thread, some from inside their hooks, while maps are added and
// removed and each change is told to the clients there are: every notice goes out, nobody meets
// a client list that changes under it, and a client that comes afterwards is served.
TEST_F(ClientProtocol, ClientsComeAndGoWhileMapsChange) {
  // A client that looks for its mailboxes may meet those of one that is leaving.
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  std::atomic<bool> changing{true};
  std::thread churn([&] {
    for (int round = 0; changing; ++round) {
      auto client = std::make_unique<TestBrowserClient>();
      if (!client->Attach(L"Sys")) continue;
      client->Send(NodeMapPublisher::kHello, "");
      if (round % 2 == 0) client->LeaveOnNextMessage();
    }
  });
  for (int round = 0; round < 100; ++round) {
    Publish("CamC");
    publisher->RemoveDevice("CamC");
  }
  changing = false;
  churn.join();
  auto late = Hello();
  late->Send(NodeMapPublisher::kHello, "");
  const auto maps = late->WaitFor(NodeMapPublisher::kMapsAdded);
  ASSERT_TRUE(maps.has_value());
  EXPECT_EQ(maps->body, R"(["CamA","CamB"])");
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
}

// The user's hook runs once the request is served, outside the publisher: it may end its
// client, or close the publisher altogether, and the server neither hangs nor goes on in a
// publisher that is gone.
TEST_F(ClientProtocol, HookThatEndsItsClientOrThePublisher) {
  BrowserChanges leavingChanges;
  auto map = genicamtest::MakePublishedMap("CamL");
  publisher->AddNodeMap("CamL", "device", genicamtest::DevicePrefixes("CamL"), 0, map,
                        BrowserHooks(leavingChanges));
  auto client = Hello();
  client->Take();
  const QINT64 clientId = client->Id();
  leavingChanges.inHook = [&] { HostAppClientDisconnect(Q_DEFAULT, clientId); };
  client->Send(NodeMapPublisher::kSet, "CamL:Width:700");
  EXPECT_EQ(leavingChanges.Take(), std::vector<std::string>{"Width"});
  EXPECT_EQ(GenApi::CIntegerPtr(map->_GetNode("Width"))->GetValue(), 700);
  EXPECT_EQ(Mailboxes(clientId), 0);
  auto other = Hello();
  other->Send(NodeMapPublisher::kGet, "CamL:Width");
  EXPECT_EQ(other->Take().size(), 1u);

  changes.inHook = [&] { publisher.reset(); };
  other->Send(NodeMapPublisher::kSet, "CamA:Width:800");
  EXPECT_EQ(changes.Take(), std::vector<std::string>{"Width"});
  EXPECT_EQ(publisher, nullptr);
  EXPECT_EQ(Width("CamA"), 800);
  TestBrowserClient late;
  EXPECT_FALSE(late.Attach(L"Sys"));
}

TEST_F(ClientProtocol, MapWhoseSnapshotFailsIsNotAnsweredAndServingGoesOn) {
  // Without "Root" the snapshot's schema cannot be written.
  struct Device {
    genapitest::MemoryPort port;
    GenApi::CNodeMapRef ref{"Device"};
  };
  auto device = std::make_shared<Device>();
  device->ref._LoadXMLFromString(
      "<RegisterDescription ModelName='NoRoot'><Port Name='Device'/>"
      "<Integer Name='Value'><Value>1</Value></Integer></RegisterDescription>");
  publisher->AddNodeMap("NoRoot", "d", genicamtest::DevicePrefixes("NoRoot"), 0,
                        std::shared_ptr<GenApi::CNodeMapRef>(device, &device->ref), nullptr);
  auto client = Hello();
  client->Send(NodeMapPublisher::kSnapshot, "NoRoot");
  client->Send(NodeMapPublisher::kSnapshot, "NoRoot");
  EXPECT_TRUE(client->Take().empty());
  client->Send(NodeMapPublisher::kGet, "NoRoot:Value");
  EXPECT_EQ(client->Take().size(), 1u);
}

TEST_F(ClientProtocol, WithdrawingWhileChangesFlushDoesNotHang) {
  auto client = Hello();
  for (int round = 0; round < 20; ++round) {
    const std::string name = "Busy" + std::to_string(round);
    Publish(name);
    client->Send(NodeMapPublisher::kSubscribe, name);
    std::thread writer([&] {
      for (int i = 0; i < 20; ++i) GenApi::CIntegerPtr(Node(name, "Width"))->SetValue(100 + i);
    });
    publisher->RemoveDevice(name);
    writer.join();
  }
  EXPECT_EQ(publisher->PublishedCount(), 2u);
}

// A driver-log ring for one test: the records written meanwhile, by kind.
class LogRing {
 public:
  LogRing() {
    const uint32_t size =
        zor::foundation::kLogHeaderSize + kRecords * zor::foundation::kLogRecordSize;
    memory_.assign(size / 8 + 1, 0);
    auto& header = *reinterpret_cast<zor::foundation::LogRingHeader*>(memory_.data());
    header.writeOffset = zor::foundation::kLogHeaderSize;
    header.totalSize = size;
    header.ringSize = size;
    EXPECT_EQ(zor::foundation::CLog::Instance()->AllocBuffer(memory_.data(), size), 0);
  }
  ~LogRing() { zor::foundation::CLog::Instance()->FreeBuffer(false); }
  LogRing(const LogRing&) = delete;
  LogRing& operator=(const LogRing&) = delete;

  std::multimap<uint32_t, zor::foundation::LogTagPair> Events() const {
    std::multimap<uint32_t, zor::foundation::LogTagPair> events;
    const auto* bytes = reinterpret_cast<const uint8_t*>(memory_.data());
    for (uint32_t i = 0; i < kRecords; ++i) {
      const auto& record = *reinterpret_cast<const zor::foundation::LogRecord*>(
          bytes + zor::foundation::kLogHeaderSize + i * zor::foundation::kLogRecordSize);
      if (record.timeStamp != 0) events.emplace(record.kind, record.pairs[0]);
    }
    return events;
  }

 private:
  static constexpr uint32_t kRecords = 512;
  std::vector<uint64_t> memory_;
};

TEST_F(ClientProtocol, DriverLogFollowsThePublishersLifeAndItsClients) {
  using zor::foundation::LogTag;
  std::multimap<uint32_t, zor::foundation::LogTagPair> events;
  QINT64 clientId = 0;
  {
    LogRing ring;
    Publish("CamC");
    auto client = Hello();
    clientId = client->Id();
    RequestsThatChangeNothing(*client);
    client->Send(NodeMapPublisher::kSet, "CamA:Width:700");
    client->Leave();
    for (const char* map : {"CamA", "CamB", "CamC"}) publisher->RemoveDevice(map);
    Publish("CamD");  // starts anew
    publisher.reset();
    events = ring.Events();
  }
  for (uint32_t kind = 418; kind <= 438; ++kind) EXPECT_GT(events.count(kind), 0u) << kind;
  const auto tagsOf = [&events](uint32_t kind) {
    std::multiset<uint32_t> tags;
    for (auto [it, end] = events.equal_range(kind); it != end; ++it) tags.insert(it->second.tag);
    return tags;
  };
  EXPECT_EQ(tagsOf(422), std::multiset<uint32_t>{LogTag("MAST")});
  // The snapshots of the maps published before the ring may end inside it.
  EXPECT_GT(tagsOf(420).count(LogTag("STRT")), 0u);
  EXPECT_GT(tagsOf(420).count(LogTag("END")), 0u);
  for (uint32_t kind : {426u, 427u}) {
    const auto record = events.find(kind);
    ASSERT_NE(record, events.end());
    EXPECT_EQ(record->second.tag, LogTag("C_Id"));
    EXPECT_EQ(record->second.value, static_cast<uint64_t>(clientId));
  }
  const auto notice = events.find(436);
  ASSERT_NE(notice, events.end());
  EXPECT_EQ(notice->second.tag, LogTag("NB_F"));
  EXPECT_GT(notice->second.value, 0u);
}

TEST(NodeMapPublisher, MissingBrowserProgramIsReported) {
  genicamtest::TestInstallFolder();
  zor::genicam::PublisherSystem system;
  system.hostId = genicamtest::kTestSystem;
  system.name = "Sys";
  try {
    zor::genicam::NodeMapPublisher publisher(system, L"featurebrowser/missing.exe");
    FAIL() << "no exception";
  } catch (const zor::foundation::ZorDrvException& e) {
    EXPECT_EQ(e.GetCodeA(), 4436u);
    EXPECT_NE(std::wstring(e.GetDescription()).find(L"Could not find file: \""),
              std::wstring::npos);
  }
}

// The host's current error, once asked for, throws with the host's texts, one a line; a call that
// succeeds leaves nothing to throw.
TEST(HostErrorCheck, TheHostsErrorIsThrownWithItsTexts) {
  const auto thrown = [] {
    try {
      zor::genicam::ThrowOnHostError(true);
    } catch (const zor::foundation::ZorDrvException& e) {
      return std::to_wstring(e.GetCodeA()) + L"/" + std::to_wstring(e.GetCodeB()) + L" " +
             e.GetDescription();
    }
    return std::wstring(L"no exception");
  };
  QINT64 printing = Q_PRINT_ENABLE;
  HostAppInquire(Q_DEFAULT, Q_ERROR_PRINT, &printing);
  HostAppControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  HostBufInquire(0x7FFFFFFF, Q_HOST_ADDRESS, nullptr);  // an id the host never gave
  EXPECT_TRUE(zor::genicam::ThrowOnHostError(false));
  EXPECT_EQ(thrown(),
            L"4436/2 Invalid identifier.\nHostBufInquire\nNo object has the identifier "
            L"2147483647.\n");
  const QID function = HostFuncAlloc(L"QdigControl", 0, nullptr);
  HostFuncErrorReport(function, 4307, nullptr, L"One", L"Two", L"Three");
  EXPECT_EQ(thrown(), L"4436/2 QdigControl\nOne\nTwo\nThree");
  // An empty text is left out, one character is kept, and a text is cut to 319 characters.
  const std::wstring longest(319, L'k');
  HostFuncErrorReport(function, 4307, nullptr, L"", L"x", (longest + L"c").c_str());
  EXPECT_EQ(thrown(), L"4436/2 QdigControl\nx\n" + longest);
  HostFuncFree(function);
  HostAppControl(Q_DEFAULT, Q_ERROR_PRINT, printing);
  EXPECT_EQ(thrown(), L"no exception");
}

TEST(NodeMapPublisher, MasterAndSlaveServeTheSameClient) {
  auto master = genicamtest::MakePublisher("SysM");
  master->AddNodeMap("MapM", "d", genicamtest::DevicePrefixes("MapM"), 0,
                     genicamtest::MakePublishedMap("MapM"), nullptr);
  const int64_t session = master->SessionValue();
  EXPECT_GT(session, 0);
  TestBrowserClient client;
  ASSERT_TRUE(client.Attach(L"SysM"));
  // Mailboxes of others, whose names carry no client id, are passed over.
  std::vector<QID> foreign;
  for (const wchar_t* name : {L"Other:Stem:77x", L"Other:Stem", L"Other:Stem:x77", L"Other"}) {
    foreign.push_back(HostObjAlloc(genicamtest::kTestSystem, Q_MAILBOX, 2048, nullptr));
    HostObjControl(foreign.back(), Q_OBJECT_NAME, reinterpret_cast<QINT64>(name));
  }
  const auto mailboxes = [] { return HostAppListObjects(Q_DEFAULT, 20, Q_MAILBOX, 0, nullptr); };
  const QINT64 before = mailboxes();
  // The slave starts after the client came and finds it by its mailboxes.
  auto slave = genicamtest::MakePublisher("SysS");
  slave->AddNodeMap("MapS", "d", genicamtest::DevicePrefixes("MapS"), 0,
                    genicamtest::MakePublishedMap("MapS"), nullptr);
  EXPECT_EQ(slave->SessionValue(), session);  // the slave joins the master's session
  EXPECT_EQ(mailboxes(), before + 2);         // the pair of the one client
  for (QID mailbox : foreign) HostObjFree(mailbox);
  client.Send(NodeMapPublisher::kHello, "");
  EXPECT_EQ(client.Take(), (std::vector<Message>{{NodeMapPublisher::kMapsAdded, R"(["MapM"])"}}));
  ASSERT_TRUE(client.Attach(L"SysS"));
  client.Send(NodeMapPublisher::kHello, "");
  EXPECT_EQ(client.Take(), (std::vector<Message>{{NodeMapPublisher::kMapsAdded, R"(["MapS"])"}}));
  slave.reset();
  master.reset();
  // Both gone: the next publisher is master again, of a new session.
  auto next = genicamtest::MakePublisher("SysN");
  next->AddNodeMap("MapN", "d", genicamtest::DevicePrefixes("MapN"), 0,
                   genicamtest::MakePublishedMap("MapN"), nullptr);
  EXPECT_GT(next->SessionValue(), session);
}

TEST(NodeMapPublisher, PollingAskedForIsOnAlsoWithNothingToPoll) {
  auto publisher = genicamtest::MakePublisher("SysP");
  auto map = std::make_shared<GenApi::CNodeMapRef>("Device");
  map->_LoadXMLFromString(
      "<RegisterDescription ModelName=\"Still\" VendorName=\"Test\"><Port Name=\"Device\"/>"
      "<Category Name='Root'><pFeature>Gain</pFeature></Category>"
      "<Integer Name='Gain'><Value>1</Value></Integer></RegisterDescription>");
  publisher->AddNodeMap("Still", "d", genicamtest::DevicePrefixes("Still"), 0, map, nullptr);
  publisher->StartPolling();
  EXPECT_TRUE(publisher->IsPolling());
  publisher->StopPolling();
  EXPECT_FALSE(publisher->IsPolling());
}

TEST(NodeMapPublisher, WithdrawingTheLastMapStopsAndFreesTheClients) {
  auto publisher = genicamtest::MakePublisher("SysW");
  publisher->AddNodeMap("Only", "d", genicamtest::DevicePrefixes("Only"), 0,
                        genicamtest::MakePublishedMap("Only"), nullptr);
  TestBrowserClient client;
  ASSERT_TRUE(client.Attach(L"SysW"));
  publisher->RemoveDevice("Only");
  EXPECT_EQ(publisher->PublishedCount(), 0u);
  EXPECT_FALSE(client.Attach(L"SysW"));
  publisher->AddNodeMap("Only", "d", genicamtest::DevicePrefixes("Only"), 0,
                        genicamtest::MakePublishedMap("Only"), nullptr);
  TestBrowserClient later;
  EXPECT_TRUE(later.Attach(L"SysW"));
}

}  // namespace
