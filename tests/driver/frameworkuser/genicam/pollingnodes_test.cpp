// Node polling: the period from the nodes' polling times, switching from many threads, and
// the change callbacks of polled nodes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "driver/frameworkuser/genicam/featurebrowser/genicampollingnodes.h"
#include "tests/driver/frameworkuser/genicam/realdevice.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using zor::genicam::GenICamPollingNodes;

namespace {

std::string Polled(const char* name, const char* pollingTime, const char* access = "RO") {
  return std::string("<IntReg Name='") + name + "'><Address>0</Address><Length>4</Length>" +
         "<AccessMode>" + access + "</AccessMode><pPort>Device</pPort><PollingTime>" + pollingTime +
         "</PollingTime></IntReg>";
}

int64_t PeriodOf(const std::string& body) {
  genapitest::TestMap m(body);
  GenICamPollingNodes polling(m.ref._Ptr);
  polling.Start();
  const int64_t period = polling.Period();
  EXPECT_EQ(polling.IsRunning(), period != 0);
  polling.Stop();
  EXPECT_EQ(polling.Period(), 0);
  return period;
}

}  // namespace

TEST(PollingNodes, PeriodIsTheShortestPollingTimeButAtLeastHalfASecond) {
  EXPECT_EQ(PeriodOf(Polled("A", "100") + Polled("B", "2000")), 500);
  EXPECT_EQ(PeriodOf(Polled("A", "700") + Polled("B", "2000")), 700);
  EXPECT_EQ(PeriodOf(Polled("A", "0") + Polled("B", "-1")), 0);
  // A node that is not implemented is not polled.
  EXPECT_EQ(PeriodOf("<Integer Name='Off'><Value>0</Value></Integer>"
                     "<IntReg Name='A'><Address>0</Address><Length>4</Length>"
                     "<AccessMode>RO</AccessMode><pIsImplemented>Off</pIsImplemented>"
                     "<pPort>Device</pPort><PollingTime>100</PollingTime></IntReg>"),
            0);
}

TEST(PollingNodes, ANodeThatFailsToSayItsAccessModeLeavesTheOthersPolled) {
  // Node maps are scanned in address order; the broken one must not hide the other.
  for (int round = 0; round < 4; ++round) {
    genapitest::TestMap broken(
        "<IntReg Name='Broken'><Address>0</Address><Length>4</Length><AccessMode>RO</AccessMode>"
        "<pIsAvailable>Missing</pIsAvailable><pPort>Device</pPort><PollingTime>100</PollingTime>"
        "</IntReg>");
    genapitest::TestMap good(Polled("A", "800"));
    GenICamPollingNodes polling;
    polling.Add(broken.ref._Ptr);
    polling.Add(good.ref._Ptr);
    polling.Start();
    EXPECT_EQ(polling.Period(), 800);
    polling.Stop();
  }
}

TEST(PollingNodes, RealFilesPollAtTheirShortestPollingTime) {
  genicamtest::RealDevice mako("avt-mako-g030b.xml");
  genicamtest::RealDevice v4l2("aravis-arv-v4l2.xml");
  GenICamPollingNodes polling;
  polling.Add(v4l2.ref._Ptr);
  polling.Start();
  EXPECT_FALSE(polling.IsRunning());  // nothing in this file is polled
  polling.Add(mako.ref._Ptr);
  polling.Start();  // a restart takes up the map added meanwhile
  EXPECT_TRUE(polling.IsRunning());
  EXPECT_EQ(polling.Period(), 1000);
  EXPECT_EQ(polling.Remove(v4l2.ref._Ptr), 1u);
  EXPECT_EQ(polling.Remove(v4l2.ref._Ptr), 1u);  // not in the set: the count stays
  EXPECT_EQ(polling.Remove(mako.ref._Ptr), 0u);
  EXPECT_TRUE(polling.IsRunning());  // the owner stops it
  polling.Stop();
  EXPECT_FALSE(polling.IsRunning());
}

TEST(PollingNodes, PolledNodesFireTheirChangeCallbacks) {
  genapitest::TestMap m(Polled("Temperature", "100"));
  std::mutex mutex;
  std::condition_variable fired;
  int calls = 0;
  struct Counter {
    void On(INode*) {
      std::lock_guard<std::mutex> hold(*mutex);
      ++*calls;
      fired->notify_all();
    }
    std::mutex* mutex;
    std::condition_variable* fired;
    int* calls;
  } counter{&mutex, &fired, &calls};
  const auto handle = Register(m.Node("Temperature"), counter, &Counter::On, cbPostOutsideLock);
  GenICamPollingNodes polling(m.ref._Ptr);
  polling.Start();
  {
    std::unique_lock<std::mutex> hold(mutex);
    EXPECT_TRUE(fired.wait_for(hold, std::chrono::seconds(20), [&] { return calls >= 2; }));
  }
  polling.Stop();
  Deregister(handle);
}

TEST(PollingNodes, SwitchingOnAndOffFromManyThreadsEndsStopped) {
  genapitest::TestMap m(Polled("A", "100") + Polled("B", "600"));
  GenICamPollingNodes polling(m.ref._Ptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 15; ++i) {
        if ((t + i) % 2 == 0) {
          polling.Start();
        } else {
          polling.Stop();
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  polling.Start();
  EXPECT_TRUE(polling.IsRunning());
  EXPECT_EQ(polling.Period(), 500);
  polling.Stop();
  polling.Stop();  // stopping a stopped poller only clears the period
  EXPECT_FALSE(polling.IsRunning());
  EXPECT_EQ(polling.Period(), 0);
}
