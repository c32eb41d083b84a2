#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "tests/platform/genapi/testmap.h"

using namespace GenApi;

TEST(Concurrency, ReadersWritersPollingAndCallbacksShareOneMap) {
  genapitest::TestMap m(
      "<IntReg Name='R'><Address>0</Address><Length>4</Length><AccessMode>RW</AccessMode>"
      "<pPort>Device</pPort><PollingTime>1</PollingTime></IntReg>"
      "<IntSwissKnife Name='K'><pVariable Name='X'>R</pVariable><Formula>X * 2</Formula>"
      "</IntSwissKnife>");
  // The memory port itself is not thread-safe; the node-map lock must serialise it.
  std::atomic<int> callbacks{0};
  struct Counter {
    void On(INode*) { ++*count; }
    std::atomic<int>* count;
  } counter{&callbacks};
  const auto handle = Register(m.Node("K"), counter, &Counter::On, cbPostOutsideLock);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      CIntegerPtr r(m.Node("R"));
      CIntegerPtr k(m.Node("K"));
      for (int i = 0; i < 500; ++i) {
        if (t == 0) {
          r->SetValue(i);
        } else if (t == 1) {
          m.ref._Poll(1);
        } else {
          EXPECT_EQ(k->GetValue() % 2, 0);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_GE(callbacks.load(), 500);
  Deregister(handle);
}

// Maps of two devices, each served by a thread of its own, register and drop callbacks at
// once: every registration gets a handle of its own and finds its node again.
TEST(Concurrency, CallbacksRegisteredFromTwoThreadsKeepTheirHandlesApart) {
  genapitest::TestMap first("<Integer Name='A'><Value>1</Value></Integer>");
  genapitest::TestMap second("<Integer Name='A'><Value>2</Value></Integer>");
  genapitest::TestMap* maps[2] = {&first, &second};
  struct Nothing {
    void On(INode*) {}
  } nothing;
  std::vector<CallbackHandleType> handles[2];
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        handles[t].push_back(Register(maps[t]->Node("A"), nothing, &Nothing::On, cbPostInsideLock));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::vector<CallbackHandleType> all(handles[0]);
  all.insert(all.end(), handles[1].begin(), handles[1].end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  for (const auto& list : handles) {
    for (CallbackHandleType handle : list) Deregister(handle);
  }
}

TEST(Concurrency, AFailingCallbackDoesNotStopTheWriteOrTheOthers) {
  genapitest::TestMap m("<Integer Name='A'><Value>0</Value></Integer>");
  int after = 0;
  struct Thrower {
    void On(INode*) { throw GenICam::RuntimeException("client failed", __FILE__, __LINE__); }
  } thrower;
  struct Counter {
    void On(INode*) { ++*count; }
    int* count;
  } counter{&after};
  Register(m.Node("A"), thrower, &Thrower::On, cbPostInsideLock);
  Register(m.Node("A"), counter, &Counter::On, cbPostInsideLock);
  Register(m.Node("A"), thrower, &Thrower::On, cbPostOutsideLock);
  Register(m.Node("A"), counter, &Counter::On, cbPostOutsideLock);
  EXPECT_NO_THROW(CIntegerPtr(m.Node("A"))->SetValue(3));
  EXPECT_EQ(CIntegerPtr(m.Node("A"))->GetValue(), 3);
  EXPECT_EQ(after, 2);
}

TEST(Concurrency, CallbackMayWriteAndDeregisterItself) {
  genapitest::TestMap m(
      "<Integer Name='A'><Value>0</Value></Integer><Integer Name='B'><Value>0</Value></Integer>");
  struct Chain {
    void On(INode*) {
      CIntegerPtr(map->GetNode("B"))->SetValue(7);
      Deregister(*handle);
    }
    INodeMap* map;
    CallbackHandleType* handle;
  };
  CallbackHandleType handle = 0;
  Chain chain{m.ref._Ptr, &handle};
  handle = Register(m.Node("A"), chain, &Chain::On, cbPostInsideLock);
  CIntegerPtr(m.Node("A"))->SetValue(1);
  EXPECT_EQ(CIntegerPtr(m.Node("B"))->GetValue(), 7);
  CIntegerPtr(m.Node("B"))->SetValue(0);
  CIntegerPtr(m.Node("A"))->SetValue(2);  // no longer registered
  EXPECT_EQ(CIntegerPtr(m.Node("B"))->GetValue(), 0);
}
