// The in-process feature browser with the test controller library.
#include "driver/frameworkuser/genicam/featurebrowser/featurebrowser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <utility>

#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "platform/genapi/genapi.h"
#include "platform/host/qtypes.h"
#include "tests/support/genicamcontroller/testcontroller.h"

namespace zor::genicam {
namespace {

// Browser events reach a control's feature hooks of the browser kind.
QINT64 CountBrowserEvent(QINT64 hookType, QID, void* user) {
  if (hookType == kBrowserFeatureHookType) ++*static_cast<int*>(user);
  return 0;
}

void CountEvents(GenICamControl& control, int& count) {
  control.HookController()->SetHook(FeatureHookKind::kBrowser, &CountBrowserEvent, &count, nullptr);
  control.HookController()->SetDeliveryEnabled(true);
}

// A call as one text: its owner and count, then every field of every record.
std::string CallText(const SeenControllerCall& call) {
  std::ostringstream out;
  out << call.owner << " " << call.count;
  for (const SeenControllerRecord& r : call.records) {
    out << " | " << r.kind << " " << r.owner << " " << r.id << " " << r.zero << " " << r.four << " "
        << r.name << "/" << r.title << "/" << r.controlPrefix << "/" << r.inquirePrefix << "/"
        << r.fourthText;
  }
  return out.str();
}

std::wstring ControllerPath() {
  const std::string path = ZOR_TEST_CONTROLLER_LIBRARY;
  return std::wstring(path.begin(), path.end());
}

// Each value as its action (open, close, invalid) and wait.
TEST(FeatureBrowserControl, DecodesActionAndWait) {
  std::string decoded;
  for (int64_t value :
       {int64_t{16}, int64_t{17}, Q_DEFAULT, int64_t{18}, int64_t{32}, int64_t{33}, int64_t{34},
        int64_t{15}, int64_t{19}, int64_t{31}, int64_t{35}, int64_t{0}}) {
    const BrowserAction action = DecodeBrowserControlAction(value);
    decoded += action == BrowserAction::kOpen      ? "o"
               : action == BrowserAction::kClose   ? "c"
               : action == BrowserAction::kInvalid ? "i"
                                                   : "?";
    decoded += std::to_string(DecodeBrowserControlWait(value)) + " ";
  }
  EXPECT_EQ(decoded, "o0 o0 o0 o1 c0 c0 c0 i2 i2 i2 i2 i2 ");
}

TEST(FeatureBrowserControl, KnownMapsLeadAndTheRestFollowByName) {
  std::vector<BrowserDescriptor> descriptors;
  for (const char* name :
       {"Zeta", "DCFInfo", "Alpha", "QdigControl", "QsysControl", "Alpha", "QdigControl"}) {
    BrowserDescriptor descriptor;
    descriptor.name = name;
    descriptor.id = static_cast<int64_t>(descriptors.size());
    descriptors.push_back(descriptor);
  }
  std::vector<std::string> names;
  std::vector<int64_t> ids;
  for (const BrowserDescriptor& descriptor : OrderBrowserDescriptors(descriptors)) {
    names.push_back(descriptor.name);
    ids.push_back(descriptor.id);
  }
  // Only the first of a known name leads; a second one sorts with the rest, equal names stay in
  // their order.
  EXPECT_EQ(names, (std::vector<std::string>{"QsysControl", "QdigControl", "DCFInfo", "Alpha",
                                             "Alpha", "QdigControl", "Zeta"}));
  EXPECT_EQ(ids, (std::vector<int64_t>{4, 3, 1, 2, 5, 6, 0}));
}

TEST(FeatureBrowser, HandsTheControllerOneRecordPerMapAndForwardsItsEvents) {
  TestControllerReset(4242);
  GenICamSystemFacts facts;
  facts.hostSystemId = 77;
  GenICamControl first(facts, 0, 0, 10);
  GenICamControl second(facts, 0, 0, 7);
  int firstEvents = 0;
  int secondEvents = 0;
  CountEvents(first, firstEvents);
  CountEvents(second, secondEvents);

  FeatureBrowser browser(77, ControllerPath());
  std::vector<BrowserDescriptor> descriptors(2);
  descriptors[0] = {true, "System", "QsysControl", "QsysInquire", "", 11, &first, 1234};
  descriptors[1] = {false, "Digitizer", "QdigControl", "QdigInquire", "", 22, &second, 5678};
  foundation::CError error;
  error.SetError(1, 1);  // Open starts from an empty error
  browser.Open(error, "Feature Browser", descriptors, false);
  EXPECT_EQ(error.errorSet, 0);
  EXPECT_FALSE(browser.IsRunning());

  const std::vector<SeenControllerCall> calls = TestControllerCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(CallText(calls[0]),
            "77 2 | 3 1234 11 0 4 System/Feature Browser/QsysControl/QsysInquire/ | 2 5678 22 0 4 "
            "Digitizer/Feature Browser/QdigControl/QdigInquire/");

  EXPECT_EQ(std::make_pair(firstEvents, secondEvents), std::make_pair(1, 1));
  browser.ForwardEvent(22, 7);
  browser.ForwardEvent(33, 8);  // no map of that id
  EXPECT_EQ(std::make_pair(firstEvents, secondEvents), std::make_pair(1, 2));

  browser.Close();
  EXPECT_EQ(TestControllerDeletedHandles().size(), 1u);
  browser.Open(error, "Again", descriptors, false);  // the library is asked for again
  EXPECT_EQ(error.errorSet, 0);
  EXPECT_EQ(TestControllerCalls().size(), 2u);
}

TEST(FeatureBrowser, MissingControllerLibraryIsAnInvalidParameter) {
  FeatureBrowser browser(1, L"libZorNoSuchController.so");
  foundation::CError error;
  browser.Open(error, "t", {}, false);
  EXPECT_EQ(std::make_pair(error.code, error.subCode), std::make_pair(uint64_t{4307}, uint64_t{1}));
  EXPECT_FALSE(browser.IsRunning());
}

TEST(FeatureBrowser, CloseFromAnotherThreadEndsAnOpenThatWaitsForTheBrowser) {
  TestControllerReset(0, true);
  FeatureBrowser browser(5, ControllerPath());
  std::vector<BrowserDescriptor> descriptors(1);
  descriptors[0].name = "System";
  foundation::CError error;
  std::thread opener([&] { browser.Open(error, "Held", descriptors, false); });
  while (TestControllerCalls().empty()) std::this_thread::yield();
  // Closes racing the open: every one ends the browser it finds and none joins twice.
  std::thread closer([&] { browser.Close(); });
  browser.Close();
  closer.join();
  opener.join();
  EXPECT_EQ(error.errorSet, 0);
  EXPECT_FALSE(browser.IsRunning());
  // The held controller only ends on its delete, so every call made was ended.
  EXPECT_EQ(TestControllerDeletedHandles().size(), TestControllerCalls().size());
  TestControllerReset(0);
}

TEST(FeatureBrowser, OpenOnARunningBrowserEndsItFirst) {
  TestControllerReset(0, true);
  FeatureBrowser browser(5, ControllerPath());
  std::vector<BrowserDescriptor> descriptors(1);
  foundation::CError first;
  std::thread opener([&] { browser.Open(first, "First", descriptors, false); });
  while (TestControllerCalls().empty()) std::this_thread::yield();
  foundation::CError second;
  std::thread reopener([&] { browser.Open(second, "Second", descriptors, false); });
  opener.join();  // the second open ended the first browser
  EXPECT_EQ(TestControllerDeletedHandles().size(), 1u);
  while (TestControllerCalls().size() < 2) std::this_thread::yield();
  EXPECT_TRUE(browser.IsRunning());
  browser.Close();
  reopener.join();
  EXPECT_FALSE(browser.IsRunning());
  const std::vector<SeenControllerCall> calls = TestControllerCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].records[0].title, "Second");
  EXPECT_EQ(TestControllerDeletedHandles().size(), 2u);
  TestControllerReset(0);
}

TEST(FeatureBrowser, StartingPollingTwiceKeepsTheFirstPoller) {
  GenApi::CNodeMapRef map("Device");
  map._LoadXMLFromFile(ZOR_TESTDATA_DIR "/genicam/aravis-arv-v4l2.xml");
  FeatureBrowser browser(1, ControllerPath());
  browser.StartPolling(map._Ptr);
  const GenICamPollingNodes* first = browser.Polling();
  ASSERT_NE(first, nullptr);
  browser.StartPolling(map._Ptr);
  EXPECT_EQ(browser.Polling(), first);
  browser.StopPolling();
  EXPECT_EQ(browser.Polling(), nullptr);
}

}  // namespace
}  // namespace zor::genicam
