// Change notices: one per window on the reporter's own worker, every node once, and a safe end.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/genicameventreporter.h"
#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/driver/frameworkuser/genicam/realdevice.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using zor::genicam::GenICamEventReporter;
using zor::genicam::TaskScheduler;

namespace {

// The names of each notice.
using Names = std::vector<std::vector<std::string>>;

// What the publisher would do with a notice: keep the names, in the order given.
class Notices {
 public:
  void OnNodesChanged(const std::string& mapName, const node_vector& nodes) {
    std::vector<std::string> names;
    for (INode* node : nodes) names.push_back(node->GetName().str());
    std::lock_guard<std::mutex> hold(mutex_);
    EXPECT_FALSE(dead_) << "a handler was called after its reporter ended";
    EXPECT_EQ(mapName, "Cam");
    received_.push_back(names);
    threads_.insert(std::this_thread::get_id());
    arrived_.notify_all();
  }
  // False when fewer notices arrived in a generous time.
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> hold(mutex_);
    return arrived_.wait_for(hold, std::chrono::seconds(20),
                             [&] { return received_.size() >= count; });
  }
  Names Received() {
    std::lock_guard<std::mutex> hold(mutex_);
    return received_;
  }
  void MarkDead() {
    std::lock_guard<std::mutex> hold(mutex_);
    dead_ = true;
  }
  std::set<std::thread::id> Threads() {
    std::lock_guard<std::mutex> hold(mutex_);
    return threads_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  Names received_;
  std::set<std::thread::id> threads_;
  bool dead_ = false;
};

std::unique_ptr<GenICamEventReporter> MakeReporter(const node_vector& nodes, Notices& notices,
                                                   int64_t windowMs) {
  auto reporter = GenICamEventReporter::Create("Cam", nodes, windowMs);
  if (reporter) reporter->SetEventHandler(&notices, &Notices::OnNodesChanged);
  return reporter;
}

}  // namespace

TEST(EventReporter, ABurstFromEightThreadsGivesOneNoticeWithEveryNodeOnce) {
  genicamtest::RealDevice device("avt-mako-g030b.xml");
  const node_vector nodes = device.Nodes();
  ASSERT_GT(nodes.size(), 200u);
  Notices notices;
  // A long window, so that the burst surely falls inside it on a loaded machine.
  auto reporter = MakeReporter(nodes, notices, 2000);
  ASSERT_NE(reporter, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 125; ++i) reporter->OnNodeChanged(nodes[(t * 125 + i) % 200]);
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(notices.Received().empty()) << "the burst outlasted the window";
  ASSERT_TRUE(notices.WaitFor(1));
  reporter.reset();
  std::set<std::string> expected;
  for (size_t i = 0; i < 200; ++i) expected.insert(nodes[i]->GetName().str());
  EXPECT_EQ(notices.Received(), (Names{{expected.begin(), expected.end()}}));
  EXPECT_EQ(notices.Threads().count(std::this_thread::get_id()), 0u);
}

TEST(EventReporter, ChangesInSeparateWindowsGiveSeparateNotices) {
  genapitest::TestMap m(
      "<Integer Name='A'><Value>1</Value></Integer>"
      "<Integer Name='B'><Value>2</Value></Integer>");
  Notices notices;
  auto reporter = MakeReporter({m.Node("A"), m.Node("B")}, notices, 5);
  ASSERT_NE(reporter, nullptr);
  reporter->OnNodeChanged(m.Node("B"));
  ASSERT_TRUE(notices.WaitFor(1));
  reporter->OnNodeChanged(m.Node("A"));
  reporter->OnNodeChanged(m.Node("A"));
  ASSERT_TRUE(notices.WaitFor(2));
  reporter.reset();
  const auto received = notices.Received();
  ASSERT_GE(received.size(), 2u);
  EXPECT_EQ(received[0], std::vector<std::string>{"B"});
  EXPECT_EQ(received[1], std::vector<std::string>{"A"});
}

TEST(EventReporter, WithoutAHandlerChangesWaitForOne) {
  genapitest::TestMap m(
      "<Integer Name='A'><Value>1</Value></Integer>"
      "<Integer Name='B'><Value>2</Value></Integer>");
  auto reporter = GenICamEventReporter::Create("Cam", {m.Node("A"), m.Node("B")}, 1);
  ASSERT_NE(reporter, nullptr);
  reporter->OnNodeChanged(m.Node("B"));
  reporter->Flush();  // no handler: nothing is lost
  Notices notices;
  reporter->SetEventHandler(&notices, &Notices::OnNodesChanged);
  reporter->OnNodeChanged(m.Node("A"));
  ASSERT_TRUE(notices.WaitFor(1));
  reporter.reset();
  EXPECT_EQ(notices.Received(), (Names{{"A", "B"}}));
}

TEST(EventReporter, EndingWhileAFlushIsDueNeitherHangsNorCallsAGoneHandler) {
  genapitest::TestMap m("<Integer Name='A'><Value>1</Value></Integer>");
  for (int round = 0; round < 40; ++round) {
    Notices notices;
    {
      auto reporter = MakeReporter({m.Node("A")}, notices, round % 3);
      ASSERT_NE(reporter, nullptr);
      reporter->Subscribe();
      std::thread writer([&] {
        for (int i = 0; i < 20; ++i) CIntegerPtr(m.Node("A"))->SetValue(i);
      });
      reporter->OnNodeChanged(m.Node("A"));
      if (round % 2 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      writer.join();
    }
    notices.MarkDead();
    // A callback from a write after the end must not reach the gone reporter either.
    CIntegerPtr(m.Node("A"))->SetValue(round);
  }
}

// A flush running as the reporter ends still reads the reporter's name: the end waits for it.
TEST(EventReporter, TheEndWaitsForARunningFlush) {
  genapitest::TestMap m("<Integer Name='A'><Value>1</Value></Integer>");
  struct Blocking {
    void On(const std::string& mapName, const node_vector&) {
      entered.set_value();
      released.wait();
      name = mapName;
    }
    std::promise<void> entered;
    std::shared_future<void> released;
    std::string name;
  };
  std::promise<void> release;
  Blocking blocking{{}, release.get_future().share(), {}};
  const std::string longName(40, 'N');  // on the heap, where a gone reporter's text is freed
  auto reporter = GenICamEventReporter::Create(longName, {m.Node("A")}, 0);
  ASSERT_NE(reporter, nullptr);
  reporter->SetEventHandler(&blocking, &Blocking::On);
  reporter->OnNodeChanged(m.Node("A"));
  blocking.entered.get_future().wait();
  std::thread ending([&] { reporter.reset(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  release.set_value();
  ending.join();
  EXPECT_EQ(blocking.name, longName);
}

TEST(EventReporter, SubscribedChangesArriveWithTheirNewValues) {
  genicamtest::RealDevice device("aravis-arv-v4l2.xml");
  Notices notices;
  auto reporter = MakeReporter(device.Nodes(), notices, 5);
  ASSERT_NE(reporter, nullptr);
  EXPECT_FALSE(reporter->IsSubscribed());
  // Subscribing before the snapshot is what keeps a change between them from being lost.
  reporter->Subscribe();
  EXPECT_TRUE(reporter->IsSubscribed());
  zor::genicam::NodeMapJsonWriter snapshotWriter;
  snapshotWriter.WriteNodeMap("Cam", "", device.Map());
  CIntegerPtr width(device.Node("Width"));
  ASSERT_TRUE(width.IsValid());
  width->SetValue(width->GetMax());
  ASSERT_TRUE(notices.WaitFor(1));
  const auto received = notices.Received();
  bool widthSeen = false;
  for (const auto& notice : received) {
    for (const std::string& name : notice) widthSeen = widthSeen || name == "Width";
  }
  EXPECT_TRUE(widthSeen);
  // After unsubscribing, writes give no notices (a flush of the earlier change may still come).
  reporter->DeregisterAll();
  EXPECT_FALSE(reporter->IsSubscribed());
  CIntegerPtr height(device.Node("Height"));
  height->SetValue(height->GetMax());
  reporter.reset();
  for (const auto& notice : notices.Received()) {
    EXPECT_EQ(std::count(notice.begin(), notice.end(), "Height"), 0);
  }
}

TEST(TaskScheduler, KeepsEveryTaskInModeOneAndOnlyOneWaitingOtherwise) {
  struct Counter {
    void Run() { ++runs; }
    std::atomic<int> runs{0};
  } counter;
  {
    TaskScheduler keepAll;
    ASSERT_TRUE(keepAll.IsRunning());
    EXPECT_EQ(keepAll.Post(&counter, &Counter::Run, 20), 1u);
    EXPECT_EQ(keepAll.Post(&counter, &Counter::Run, 1), 2u);
    EXPECT_EQ(keepAll.Post(&counter, &Counter::Run, 10), 3u);
    for (int i = 0; i < 2000 && counter.runs < 3; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(counter.runs, 3);
  }
  TaskScheduler single;
  single.SetMode(0);
  EXPECT_NE(single.Post(&counter, &Counter::Run, 60000), 0u);
  EXPECT_EQ(single.Post(&counter, &Counter::Run, 1), 0u);
  single.Stop();  // a waiting task does not hold the end up
  EXPECT_EQ(single.Post(&counter, &Counter::Run, 1), 0u);
  EXPECT_EQ(counter.runs, 3);
}
