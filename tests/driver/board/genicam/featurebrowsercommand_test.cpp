// Control type 6905 on the board's system and digitizers: their own node maps published to a
// browser client and withdrawn again.
#include <gtest/gtest.h>

#include <thread>

#include "tests/driver/board/genicam/ownnodemapsfixture.h"
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

}  // namespace
}  // namespace zor::board
