// Control type 6905 on the board's system and digitizers: their own node maps published to a
// browser client and withdrawn again, and the browser-change feature hook that a client's write
// raises.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/driver/board/genicam/ownnodemapsfixture.h"
#include "tests/driver/frameworkuser/genicam/features/featurehookinfo.h"
#include "tests/driver/frameworkuser/genicam/publisherfixture.h"
#include "tests/driver/frameworkuser/genicam/testbrowserclient.h"

namespace zor::board {
namespace {

using genicamtest::TestBrowserClient;
using zor::genicam::NodeMapPublisher;

constexpr QINT64 kFeatureBrowser = 6905;

class FeatureBrowserCommand : public OwnNodeMapsFixture {
 protected:
  void SetUp() override {
    // The browser program in the tools folder chooses the web road; read once per process.
    genicamtest::TestInstallFolder();
    OwnNodeMapsFixture::SetUp();
  }
  std::wstring SystemName() const {
    const std::string name = DriverSystem()->MakeSystemDisplayName();
    return std::wstring(name.begin(), name.end());
  }
  // The maps a new client is told of.
  std::string PublishedNames() {
    TestBrowserClient client;
    if (!client.Attach(SystemName())) return "(no mailboxes)";
    client.Send(NodeMapPublisher::kHello, "");
    auto reply = client.WaitFor(NodeMapPublisher::kMapsAdded);
    return reply ? reply->body : "(no reply)";
  }
};

TEST_F(FeatureBrowserCommand, OpenPublishCloseReopen) {
  ASSERT_TRUE(DriverSystem()->UsesNewFeatureBrowser());
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  const std::string systemMap = DriverSystem()->MakeSystemDisplayName();
  const std::string digitizerMap = Control(digitizer, L"QdigControl")->BuildDeviceDisplayName();
  const std::string both = zor::genicam::MapNamesJson({systemMap, digitizerMap});

  QsysControl(system_, kFeatureBrowser, 16);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(PublishedNames(), both);
  // Closing the digitizer keeps the system's map and the publisher.
  QdigControl(digitizer, kFeatureBrowser, 32);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(PublishedNames(), zor::genicam::MapNamesJson({systemMap}));
  QdigControl(digitizer, kFeatureBrowser, 18);  // publishes like 16
  EXPECT_EQ(PublishedNames(), both);
  // Closing the system withdraws everything; the next open starts anew.
  QsysControl(system_, kFeatureBrowser, 33);
  EXPECT_EQ(PublishedNames(), "(no mailboxes)");
  QsysControlDouble(system_, kFeatureBrowser, 17.0);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(PublishedNames(), both);
  QsysControl(system_, kFeatureBrowser, 34);
  QdigFree(digitizer);
}

// Digitizers freed at once after their maps were published: the snapshot that publishing
// started still reads each map, through a port that stays as long as the publisher holds it.
TEST_F(FeatureBrowserCommand, DigitizersFreedRightAfterTheirMapsWerePublished) {
  const std::string systemMap = DriverSystem()->MakeSystemDisplayName();
  QsysControl(system_, kFeatureBrowser, 16);
  for (int round = 0; round < 4; ++round) {
    const QID digitizer = Digitizer(L"Q_NTSC");
    ASSERT_NE(digitizer, 0) << ErrorCode();
    QdigControl(digitizer, kFeatureBrowser, 16);
    EXPECT_EQ(LastError(), Err(0));
    QdigFree(digitizer);
  }
  // The freed digitizers' maps went with them.
  EXPECT_EQ(PublishedNames(), zor::genicam::MapNamesJson({systemMap}));
  QsysControl(system_, kFeatureBrowser, 34);
}

// The browser opened and closed on one thread, a digitizer's map on another, while a third
// switches the polling and asks for the session: each sees a publisher or none, never one
// that goes meanwhile; when all is closed no session is left.
TEST_F(FeatureBrowserCommand, OpenAndCloseWhileOtherThreadsPollAndAskForTheSession) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  constexpr int kRounds = 15;
  std::thread opener([&] {
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    for (int i = 0; i < kRounds; ++i) {
      QsysControl(system_, kFeatureBrowser, 16);
      QsysControl(system_, kFeatureBrowser, 34);
    }
  });
  std::thread digitizerOpener([&] {
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    for (int i = 0; i < kRounds; ++i) {
      QdigControl(digitizer, kFeatureBrowser, 16);
      QdigControl(digitizer, kFeatureBrowser, 32);
    }
  });
  QINT64 value = 0;
  for (int i = 0; i < 4 * kRounds; ++i) {
    QdigControl(digitizer, 6973, i % 2 == 0 ? Q_ENABLE : Q_DISABLE);
    QdigInquire(digitizer, 6973, &value);
    QsysInquire(system_, 6950, &value);
  }
  opener.join();
  digitizerOpener.join();
  QsysControl(system_, kFeatureBrowser, 34);
  QsysInquire(system_, 6950, &value);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(PublishedNames(), "(no mailboxes)");
  QdigFree(digitizer);
}

// With the web browser the session and the polling are the publisher's: none before it exists.
TEST_F(FeatureBrowserCommand, SessionAndPollingFollowThePublisher) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  QINT64 value = -1;
  QsysInquire(system_, 6950, &value);
  EXPECT_EQ(value, 0);
  QdigControl(digitizer, 6973, -9997);  // no publisher: nothing to poll
  QdigInquire(digitizer, 6973, &value);
  EXPECT_EQ(value, 0);
  QsysControl(system_, kFeatureBrowser, 16);
  // The running publisher has joined the application's browser session.
  QsysInquire(system_, 6950, &value);
  EXPECT_GT(value, 0);
  QdigControl(digitizer, 6973, -9997);
  QdigInquire(digitizer, 6973, &value);
  EXPECT_EQ(value, -9997);
  QdigControl(digitizer, 6973, Q_DEFAULT);
  QdigInquire(digitizer, 6973, &value);
  EXPECT_EQ(value, -9999);
  EXPECT_EQ(LastError(), Err(0));
  QsysControl(system_, kFeatureBrowser, 34);
  QdigFree(digitizer);
}

TEST_F(FeatureBrowserCommand, BadValuesAndEmptySearches) {
  QsysControl(system_, kFeatureBrowser, 99);
  EXPECT_EQ(LastError(), Err(4307, 3));
  EXPECT_EQ(PublishedNames(), "(no mailboxes)");  // no publisher made for a bad value
  QsysControl(system_, kFeatureBrowser, 32);      // nothing published: nothing to do
  EXPECT_EQ(LastError(), Err(0));
}

using Delivery = genicamtest::FeatureHookInfo;

struct Recorder {
  std::mutex lock;
  std::vector<Delivery> seen;
  std::function<void()> inHook;

  std::vector<Delivery> Take() {
    std::lock_guard guard(lock);
    return std::exchange(seen, {});
  }
};

QINT64 OnFeatureHook(QINT64 hookType, QID event, void* user) {
  const Delivery d = genicamtest::ReadFeatureHookInfo(hookType, event);
  auto* recorder = static_cast<Recorder*>(user);
  {
    std::lock_guard guard(recorder->lock);
    recorder->seen.push_back(d);
  }
  if (recorder->inHook) recorder->inHook();
  return 0;
}

class BrowserHooks : public FeatureBrowserCommand {
 protected:
  void SetUp() override {
    FeatureBrowserCommand::SetUp();
    // Clients keep writing into mailboxes that a close has freed.
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    digitizer_ = Digitizer(L"Q_NTSC");
    ASSERT_NE(digitizer_, 0) << ErrorCode();
    map_ = Control(digitizer_, L"QdigControl")->BuildDeviceDisplayName();
  }
  void TearDown() override {
    QsysControl(system_, kFeatureBrowser, 34);
    QdigFree(digitizer_);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_ENABLE);
    FeatureBrowserCommand::TearDown();
  }
  // A client that said hello to the system's publisher; none when nothing is published.
  std::unique_ptr<TestBrowserClient> Hello() {
    auto client = std::make_unique<TestBrowserClient>();
    if (!client->Attach(SystemName())) return nullptr;
    client->Send(NodeMapPublisher::kHello, "");
    client->Take();
    return client;
  }
  void SetTimeout(TestBrowserClient& client, QINT64 value) {
    client.Send(NodeMapPublisher::kSet, map_ + ":Q_GRAB_TIMEOUT:" + std::to_string(value));
  }
  QINT64 Timeout() const { return Inquire(digitizer_, Q_GRAB_TIMEOUT); }

  QID digitizer_ = 0;
  std::string map_;
};

TEST_F(BrowserHooks, ClientWritesRaiseTheHookWithTheFeature) {
  Recorder recorder;
  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE, &OnFeatureHook, &recorder);
  QdigControl(digitizer_, kFeatureBrowser, 16);
  ASSERT_EQ(ErrorCode(), 0);
  auto client = Hello();
  ASSERT_NE(client, nullptr);

  SetTimeout(*client, 2500);
  EXPECT_EQ(Timeout(), 2500);
  const std::vector<Delivery> seen = recorder.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].hookType, Q_FEATURE_BROWSER_CHANGE);
  EXPECT_EQ(seen[0].name, L"Q_GRAB_TIMEOUT");
  EXPECT_EQ(seen[0].object, digitizer_);
  EXPECT_NE(seen[0].nodeMap, 0);
  EXPECT_EQ(seen[0].source, 0x8000000);

  // Reads, subscriptions and the application's own writes are no browser changes.
  client->Send(NodeMapPublisher::kSubscribe, map_);
  client->Send(NodeMapPublisher::kSnapshot, map_);
  client->Send(NodeMapPublisher::kGet, map_ + ":Q_GRAB_TIMEOUT");
  QdigControl(digitizer_, Q_GRAB_TIMEOUT, 3100);
  // Refused by the feature (below its minimum of -1, or not a number): nothing changed.
  SetTimeout(*client, -5);
  client->Send(NodeMapPublisher::kSet, map_ + ":Q_GRAB_TIMEOUT:soon");
  EXPECT_TRUE(recorder.Take().empty());
  EXPECT_EQ(LastError(), Err(0));
}

TEST_F(BrowserHooks, NothingAfterTheHookIsRemovedOrTheBrowserClosed) {
  Recorder recorder;
  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE, &OnFeatureHook, &recorder);
  QdigControl(digitizer_, kFeatureBrowser, 16);
  auto client = Hello();
  ASSERT_NE(client, nullptr);
  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE + Q_UNHOOK, &OnFeatureHook, &recorder);
  SetTimeout(*client, 1200);
  EXPECT_EQ(Timeout(), 1200);  // written all the same
  EXPECT_TRUE(recorder.Take().empty());

  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE, &OnFeatureHook, &recorder);
  SetTimeout(*client, 1300);
  EXPECT_EQ(recorder.Take().size(), 1u);
  QdigControl(digitizer_, kFeatureBrowser, 32);
  EXPECT_EQ(Hello(), nullptr);
  SetTimeout(*client, 1400);
  EXPECT_EQ(Timeout(), 1300);
  EXPECT_TRUE(recorder.Take().empty());
  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE + Q_UNHOOK, &OnFeatureHook, &recorder);
  EXPECT_EQ(LastError(), Err(0));
}

// The user's hook may close the browser that raised it.
TEST_F(BrowserHooks, HookThatClosesTheBrowser) {
  Recorder recorder;
  recorder.inHook = [this] { QsysControl(system_, kFeatureBrowser, 34); };
  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE, &OnFeatureHook, &recorder);
  QsysControl(system_, kFeatureBrowser, 16);
  auto client = Hello();
  ASSERT_NE(client, nullptr);
  SetTimeout(*client, 1700);
  EXPECT_EQ(recorder.Take().size(), 1u);
  EXPECT_EQ(Timeout(), 1700);
  EXPECT_EQ(Hello(), nullptr);
  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE + Q_UNHOOK, &OnFeatureHook, &recorder);
}

// Clients write and read on their threads while the application hooks, unhooks and opens the
// digitizer's browser again on its own (which takes the digitizer's lock and then the
// publisher's): nothing hangs, and every hook names the feature written.
TEST_F(BrowserHooks, ClientsWriteWhileHooksAndTheBrowserChange) {
  Recorder recorder;
  QdigControl(digitizer_, kFeatureBrowser, 16);
  std::vector<std::unique_ptr<TestBrowserClient>> clients;
  for (int i = 0; i < 2; ++i) {
    clients.push_back(Hello());
    ASSERT_NE(clients.back(), nullptr);
  }
  std::atomic<bool> stop{false};
  std::atomic<int> writes{0};
  std::vector<std::thread> writers;
  for (auto& client : clients) {
    writers.emplace_back([this, &client, &stop, &writes] {
      for (QINT64 value = 100; !stop.load(); ++value) {
        SetTimeout(*client, value % 1000 + 100);
        client->Send(NodeMapPublisher::kGet, map_ + ":Q_GRAB_TIMEOUT");
        ++writes;
      }
    });
  }
  for (int round = 0; round < 20; ++round) {
    QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE, &OnFeatureHook, &recorder);
    QdigControl(digitizer_, kFeatureBrowser, 16);
    QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE + Q_UNHOOK, &OnFeatureHook, &recorder);
  }
  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE, &OnFeatureHook, &recorder);
  const int hooked = writes.load();
  while (writes.load() < hooked + 4) std::this_thread::yield();
  stop = true;
  for (std::thread& writer : writers) writer.join();
  const std::vector<Delivery> seen = recorder.Take();
  EXPECT_FALSE(seen.empty());
  for (const Delivery& d : seen) {
    EXPECT_EQ(d.hookType, Q_FEATURE_BROWSER_CHANGE);
    EXPECT_EQ(d.name, L"Q_GRAB_TIMEOUT");
    EXPECT_EQ(d.object, digitizer_);
  }
  QdigControl(digitizer_, kFeatureBrowser, 32);
  SetTimeout(*clients[0], 150);
  EXPECT_TRUE(recorder.Take().empty());
  QdigHookFunction(digitizer_, Q_FEATURE_BROWSER_CHANGE + Q_UNHOOK, &OnFeatureHook, &recorder);
  EXPECT_EQ(LastError(), Err(0));
}

// Closing the digitizer's browser waits for the clients' requests in progress,
// which need the digitizer: the close must not hold it meanwhile.
TEST_F(BrowserHooks, TheBrowserClosesWhileClientsWrite) {
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    QdigControl(digitizer_, kFeatureBrowser, 16);
    std::unique_ptr<TestBrowserClient> client = Hello();
    ASSERT_NE(client, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    std::thread writer([this, &client, &stop, &writes] {
      for (QINT64 value = 100; !stop.load(); ++value) {
        SetTimeout(*client, value % 1000 + 100);
        ++writes;
      }
    });
    while (writes.load() < 2) std::this_thread::yield();
    QdigControl(digitizer_, kFeatureBrowser, 32);
    stop = true;
    writer.join();
    EXPECT_EQ(LastError(), Err(0));
  }
}

// A client's write holds the map while it reaches the digitizer; a write by
// name reaches the map from the digitizer's command: the two never wait on
// each other in opposite order.
TEST_F(BrowserHooks, ClientWritesBesideWritesByName) {
  QdigControl(digitizer_, kFeatureBrowser, 16);
  std::unique_ptr<TestBrowserClient> client = Hello();
  ASSERT_NE(client, nullptr);
  std::atomic<bool> stop{false};
  std::thread writer([this, &client, &stop] {
    for (QINT64 value = 100; !stop.load(); ++value) SetTimeout(*client, value % 1000 + 100);
  });
  for (QINT64 value = 0; value < 200; ++value) {
    QINT64 timeout = 2000 + value;
    QdigControlFeature(digitizer_, Q_DEFAULT, L"QdigControl:Q_GRAB_TIMEOUT", Q_TYPE_INT64,
                       &timeout);
    ASSERT_EQ(ErrorCode(), 0);
  }
  stop = true;
  writer.join();
  QdigControl(digitizer_, kFeatureBrowser, 32);
}

}  // namespace
}  // namespace zor::board
