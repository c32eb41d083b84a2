#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using namespace genapitest;

TEST(AccessMode, FlagsImposedModesAndThePort) {
  TestMap m(
      "<Integer Name='One'><Value>1</Value></Integer>"
      "<Integer Name='Zero'><Value>0</Value></Integer>"
      "<Integer Name='NotImpl'><pIsImplemented>Zero</pIsImplemented><Value>1</Value></Integer>"
      "<Integer Name='NotAvail'><pIsAvailable>Zero</pIsAvailable><Value>1</Value></Integer>"
      "<Integer Name='Locked'><pIsLocked>One</pIsLocked><Value>1</Value></Integer>"
      "<Integer "
      "Name='Imposed'><ImposedAccessMode>RO</ImposedAccessMode><Value>1</Value></Integer>" +
      Reg("IntReg", "WoReg", "0", "4", "", "WO") + Reg("IntReg", "Reg", "0", "4"));
  // Mode, then implemented, available, readable, writable of the node and of its smart pointer
  // (nothing through an empty one), and whether the pointer is empty.
  const auto answers = [&m](const char* name) {
    INode* node = name != nullptr ? m.Node(name) : nullptr;
    const CIntegerPtr p(node);
    std::string out = node != nullptr ? std::to_string(node->GetAccessMode()) + ":" : "-:";
    for (const bool b : {IsImplemented(node), IsAvailable(node), IsReadable(node), IsWritable(node),
                         IsImplemented(p), IsAvailable(p), IsReadable(p), IsWritable(p),
                         p == nullptr, p != nullptr}) {
      out += b ? '1' : '0';
    }
    return out;
  };
  const std::pair<const char*, const char*> kAnswers[] = {
      {"One", "4:1111111101"},    {"NotImpl", "0:0000000001"}, {"NotAvail", "1:1000100001"},
      {"Locked", "3:1110111001"}, {"Imposed", "3:1110111001"}, {"WoReg", "2:1101110101"},
      {nullptr, "-:0000000010"}};
  for (const auto& [name, expected] : kAnswers) {
    EXPECT_EQ(answers(name), expected) << (name != nullptr ? name : "empty");
  }
  EXPECT_EQ(
      Values(m.ref, "NotAvail WoReg") + Raised([&] { CIntegerPtr(m.Node("Locked"))->SetValue(2); }),
      "NotAvail=!access; WoReg=!accessaccess");
  // The lock follows the flag's value.
  CIntegerPtr(m.Node("One"))->SetValue(0);
  EXPECT_EQ(Modes(m.ref, "Locked"), "Locked=RW");
  // Without a connected port a register cannot be reached.
  CNodeMapRef unconnected;
  unconnected._LoadXMLFromString("<RegisterDescription ModelName='M'><Port Name='Device'/>" +
                                 Reg("IntReg", "Reg", "0", "4") + "</RegisterDescription>");
  EXPECT_EQ(unconnected._GetNode("Reg")->GetAccessMode(), NA);
  // Connected to the port of the default name, read through the port node.
  MemoryPort port;
  port.Put32(8, 0x1234, false);
  ASSERT_TRUE(unconnected._Connect(&port));
  EXPECT_EQ(unconnected._GetNode("Reg")->GetAccessMode(), RW);
  uint32_t word = 0;
  CPortPtr(unconnected._GetNode("Device"))->Read(&word, 8, 4);
  EXPECT_EQ(word, 0x1234u);
}

// A node of no access refuses every read and write, whatever its kind.
TEST(AccessMode, EveryKindRefusesWhatItsModeForbids) {
  const std::string reg =
      "<Address>0</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>";
  const std::pair<std::string, std::string> kinds[] = {
      {"Integer", "<Value>1</Value>"},
      {"IntReg", reg},
      {"Float", "<Value>1</Value>"},
      {"Boolean", "<Value>1</Value>"},
      {"String", "<Value>s</Value>"},
      {"StringReg", reg},
      {"Enumeration", "<EnumEntry Name='On'><Value>1</Value></EnumEntry><Value>1</Value>"},
      {"Register", reg},
      {"Command", "<Value>0</Value><CommandValue>1</CommandValue>"}};
  std::string body = "<Integer Name='Zero'><Value>0</Value></Integer>";
  for (const auto& [kind, rest] : kinds) {
    body += "<" + kind + " Name='" + kind + "'><pIsAvailable>Zero</pIsAvailable>" + rest + "</" +
            kind + ">";
  }
  TestMap m(body);
  uint8_t bytes[4] = {};
  const std::pair<const char*, std::function<void()>> refused[] = {
      {"integer write", [&] { CIntegerPtr(m.Node("Integer"))->SetValue(1); }},
      {"register integer write", [&] { CIntegerPtr(m.Node("IntReg"))->SetValue(1); }},
      {"float write", [&] { CFloatPtr(m.Node("Float"))->SetValue(1); }},
      {"boolean read", [&] { CBooleanPtr(m.Node("Boolean"))->GetValue(); }},
      {"boolean write", [&] { CBooleanPtr(m.Node("Boolean"))->SetValue(true); }},
      {"enumeration read", [&] { CEnumerationPtr(m.Node("Enumeration"))->GetIntValue(); }},
      {"enumeration write", [&] { CEnumerationPtr(m.Node("Enumeration"))->SetIntValue(1); }},
      {"string read", [&] { CStringPtr(m.Node("String"))->GetValue(); }},
      {"string write", [&] { CStringPtr(m.Node("String"))->SetValue("t"); }},
      {"string register read", [&] { CStringPtr(m.Node("StringReg"))->GetValue(); }},
      {"string register write", [&] { CStringPtr(m.Node("StringReg"))->SetValue("t"); }},
      {"register read", [&] { CRegisterPtr(m.Node("Register"))->Get(bytes, 4); }},
      {"register text", [&] { CValuePtr(m.Node("Register"))->ToString(); }},
      {"register write", [&] { CRegisterPtr(m.Node("Register"))->Set(bytes, 4); }},
      {"command", [&] { CCommandPtr(m.Node("Command"))->Execute(); }}};
  for (const auto& [name, access] : refused) EXPECT_EQ(Raised(access), "access") << name;
  EXPECT_EQ(Values(m.ref, "Integer IntReg Float"),
            "Integer=!access; IntReg=!access; Float=!access");
}

TEST(AccessMode, ALockTakesWriteAccessAwayOnly) {
  // Registers of each mode, and integers and commands on them, locked by one
  // flag; the lock must leave reading alone and take writing away.
  std::string body = "<Integer Name='Lock'><Value>1</Value></Integer>";
  for (const char* mode : {"RW", "WO", "RO"}) {
    const std::string m = mode;
    body += "<IntReg Name='" + m + "Reg'><Address>0</Address><Length>4</Length><AccessMode>" + m +
            "</AccessMode><pPort>Device</pPort></IntReg>"
            "<Integer Name='" +
            m + "Int'><pIsLocked>Lock</pIsLocked><pValue>" + m +
            "Reg</pValue></Integer>"
            "<Command Name='" +
            m + "Cmd'><pIsLocked>Lock</pIsLocked><pValue>" + m +
            "Reg</pValue><CommandValue>1</CommandValue></Command>";
  }
  TestMap m(body);
  const std::string all = "RWInt WOInt ROInt RWCmd WOCmd ROCmd";
  EXPECT_EQ(Modes(m.ref, all), "RWInt=RO; WOInt=NA; ROInt=RO; RWCmd=RO; WOCmd=NA; ROCmd=RO");
  EXPECT_EQ(Raised([&] { CCommandPtr(m.Node("WOCmd"))->Execute(); }) +
                Raised([&] { CIntegerPtr(m.Node("WOInt"))->SetValue(3); }),
            "accessaccess");
  EXPECT_TRUE(CCommandPtr(m.Node("RWCmd"))->IsDone());

  CIntegerPtr(m.Node("Lock"))->SetValue(0);
  EXPECT_EQ(Modes(m.ref, all), "RWInt=RW; WOInt=WO; ROInt=RO; RWCmd=RW; WOCmd=WO; ROCmd=RO");
  CCommandPtr(m.Node("WOCmd"))->Execute();
  // Done, as far as a command that cannot be read back tells.
  EXPECT_EQ(std::pair(m.port.Get32(0, false), CCommandPtr(m.Node("WOCmd"))->IsDone()),
            std::pair(1u, true));
  CCommandPtr(m.Node("RWCmd"))->Execute();
  m.port.Put32(0, 0, false);  // the device finished: the cache still holds the command
  EXPECT_TRUE(CCommandPtr(m.Node("RWCmd"))->IsDone());
}

// Access modes are kept between reads; each way a flag or the port can change
// must still reach them.
TEST(AccessMode, KeptOnlyWhileNothingItReadsMayHaveChanged) {
  TestMap m(
      Reg("IntReg", "CachedFlag", "0", "4", "", "RO") +
      Reg("IntReg", "LiveFlag", "4", "4", "<Cachable>NoCache</Cachable>", "RO") +
      Reg("IntReg", "Reg", "8", "4", "<Cachable>NoCache</Cachable>") +
      "<Integer Name='Cached'><pIsAvailable>CachedFlag</pIsAvailable><pValue>Reg</pValue>"
      "</Integer>"
      "<Integer Name='Live'><pIsAvailable>LiveFlag</pIsAvailable><pValue>Reg</pValue></Integer>"
      "<Integer Name='Plain'><pValue>Reg</pValue></Integer>");
  m.port.Put32(0, 1, false);
  m.port.Put32(4, 1, false);
  INode* cached = m.Node("Cached");
  INode* live = m.Node("Live");
  EXPECT_EQ(Modes(m.ref, "Cached Live"), "Cached=RW; Live=RW");

  // The device takes both flags away unseen: the uncached one counts at once,
  // the cached one once its cache is given up or read past.
  m.port.Put32(0, 0, false);
  m.port.Put32(4, 0, false);
  EXPECT_EQ(Modes(m.ref, "Cached Live"), "Cached=RW; Live=NA");
  EXPECT_EQ(CIntegerPtr(m.Node("CachedFlag"))->GetValue(false, true), 0);
  EXPECT_EQ(cached->GetAccessMode(), NA);
  m.port.Put32(0, 1, false);
  m.Node("CachedFlag")->InvalidateNode();
  EXPECT_EQ(cached->GetAccessMode(), RW);
  m.port.Put32(4, 1, false);
  EXPECT_EQ(live->GetAccessMode(), RW);

  // Invalidating the whole map reaches a mode kept through value reads.
  EXPECT_EQ(CIntegerPtr(cached)->GetValue(), 0);
  m.port.Put32(0, 0, false);
  m.ref._InvalidateNodes();
  EXPECT_THROW(CIntegerPtr(cached)->GetValue(), GenICam::AccessException);

  INode* plain = m.Node("Plain");
  EXPECT_EQ(plain->GetAccessMode(), RW);
  plain->ImposeAccessMode(RO);
  EXPECT_EQ(Modes(m.ref, "Plain") + Raised([&] { CIntegerPtr(plain)->SetValue(1); }),
            "Plain=ROaccess");

  // A port that becomes read-only counts from its next connection.
  struct ReadOnlyPort : MemoryPort {
    EAccessMode GetAccessMode() const override { return RO; }
  } readOnly;
  m.ref._Connect(&readOnly, "Device");
  EXPECT_EQ(m.Node("Reg")->GetAccessMode(), RO);
}

// A write makes only the nodes that read the written one compute their modes
// again; every kind of link must still carry the change, however far.
TEST(AccessMode, AWriteReachesEveryModeThatReadsIt) {
  const auto reg = [](const char* name, int address, const char* mode) {
    return std::string("<IntReg Name='") + name + "'><Address>" + std::to_string(address) +
           "</Address><Length>4</Length><AccessMode>" + mode +
           "</AccessMode><pPort>Device</pPort></IntReg>";
  };
  TestMap m(reg("FlagReg", 0, "RW") + reg("RwReg", 4, "RW") + reg("RoReg", 8, "RO") +
            "<IntSwissKnife Name='Lock'><pVariable Name='F'>FlagReg</pVariable>"
            "<Formula>F = 1</Formula></IntSwissKnife>"
            "<Integer Name='Locked'><pIsLocked>Lock</pIsLocked><Value>0</Value></Integer>"
            "<Integer Name='Outer'><pValue>Locked</pValue></Integer>"
            "<Integer Name='Sel'><Value>0</Value></Integer>"
            "<Integer Name='Selected'><pIndex>Sel</pIndex>"
            "<pValueIndexed Index='0'>RwReg</pValueIndexed>"
            "<pValueIndexed Index='1'>RoReg</pValueIndexed></Integer>"
            "<Integer Name='Other'><Value>0</Value></Integer>");
  INode* outer = m.Node("Outer");
  INode* selected = m.Node("Selected");
  const auto modes = [&] { return std::pair(outer->GetAccessMode(), selected->GetAccessMode()); };
  EXPECT_EQ(modes(), std::pair(RW, RW));

  // Register, formula, lock, pValue: the change travels three links.
  CIntegerPtr(m.Node("FlagReg"))->SetValue(1);
  EXPECT_EQ(modes(), std::pair(RO, RW));
  EXPECT_THROW(CIntegerPtr(outer)->SetValue(2), GenICam::AccessException);
  // A selector moves its feature onto a register of another mode.
  CIntegerPtr(m.Node("Sel"))->SetValue(1);
  EXPECT_EQ(modes(), std::pair(RO, RO));
  CIntegerPtr(m.Node("Other"))->SetValue(1);
  EXPECT_EQ(modes(), std::pair(RO, RO));

  CIntegerPtr(m.Node("FlagReg"))->SetValue(0);
  CIntegerPtr(m.Node("Sel"))->SetValue(0);
  EXPECT_EQ(modes(), std::pair(RW, RW));
  CIntegerPtr(outer)->SetValue(2);
  EXPECT_EQ(CIntegerPtr(m.Node("Locked"))->GetValue(), 2);
}

TEST(AccessMode, CombineTakesTheStricterMode) {
  EXPECT_EQ(std::vector({Combine(RW, RO), Combine(RO, WO), Combine(NA, NI), Combine(RW, RW)}),
            std::vector({RO, NA, NI, RW}));
}

TEST(Callbacks, FireOnWriteOnDependentsAndInOrder) {
  TestMap m(
      "<Integer Name='A'><Value>1</Value></Integer>"
      "<IntSwissKnife Name='Twice'><pVariable Name='X'>A</pVariable><Formula>X*2</Formula>"
      "</IntSwissKnife>"
      "<Integer Name='Unrelated'><Value>0</Value></Integer>");
  struct Recorder {
    void Inside(INode* node) {
      heldLock = map->GetLock().TryLock();  // re-entrant: succeeds on this thread either way
      if (heldLock) map->GetLock().Unlock();
      events.push_back("in:" + node->GetName().str());
    }
    void Outside(INode* node) { events.push_back("out:" + node->GetName().str()); }
    INodeMap* map = nullptr;
    bool heldLock = false;
    std::vector<std::string> events;
  } rec;
  rec.map = m.ref._Ptr;
  const auto h1 = Register(m.Node("Twice"), rec, &Recorder::Inside, cbPostInsideLock);
  const auto h2 = Register(m.Node("Twice"), rec, &Recorder::Outside, cbPostOutsideLock);
  Register(m.Node("Unrelated"), rec, &Recorder::Outside, cbPostOutsideLock);
  EXPECT_NE(std::min(h1, h2), 0);  // no handle is 0, which a caller takes for none
  CIntegerPtr(m.Node("A"))->SetValue(5);
  rec.events.push_back(Values(m.ref, "Twice"));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"in:Twice", "out:Twice", "Twice=10"}));
  // A node's own deregistration tells whether the handle was its own and still there.
  INode* twice = m.Node("Twice");
  EXPECT_EQ((std::vector<bool>{m.Node("A")->DeregisterCallback(h1), twice->DeregisterCallback(h1),
                               twice->DeregisterCallback(h1)}),
            (std::vector<bool>{false, true, false}));
  Deregister(h2);
  Deregister(h2);  // a stale handle is ignored
  rec.events.clear();
  CIntegerPtr(m.Node("A"))->SetValue(6);
  EXPECT_TRUE(rec.events.empty());
  // A feature that the map lacks gives a null node: an exception, not a crash.
  EXPECT_EQ(Raised([&] { Register(m.Node("Missing"), rec, &Recorder::Outside); }) +
                Raised([&] { Register(m.Node("Missing"), [](INode*) {}); }),
            "logiclogic");
}

// A write through another node queues callbacks inside a nested access: they run only once the
// outermost access has left the lock.
TEST(Callbacks, OutsideLockCallbacksRunWithTheLockFree) {
  TestMap m(
      "<Integer Name='A'><pValue>V</pValue></Integer><Integer Name='V'><Value>1</Value></Integer>");
  bool lockFreeElsewhere = false;
  INodeMap* map = m.ref._Ptr;
  struct Probe {
    void operator()(INode*) {
      std::thread other([&] {
        *result = map->GetLock().TryLock();
        if (*result) map->GetLock().Unlock();
      });
      other.join();
    }
    INodeMap* map;
    bool* result;
  } probe{map, &lockFreeElsewhere};
  m.Node("A")->RegisterCallback(new CNodeCallback(m.Node("A"), probe, cbPostOutsideLock));
  CIntegerPtr(m.Node("A"))->SetValue(2);
  EXPECT_TRUE(lockFreeElsewhere);
}

TEST(Callbacks, SelectorChangeTellsTheSelectedFeature) {
  TestMap m(
      "<Enumeration Name='Sel'><pSelected>Gain</pSelected>"
      "<EnumEntry Name='A'><Value>0</Value></EnumEntry><EnumEntry Name='B'><Value>1</Value>"
      "</EnumEntry><Value>0</Value></Enumeration>"
      "<Integer Name='Gain'><pIndex>Sel</pIndex><ValueIndexed Index='0'>10</ValueIndexed>"
      "<ValueIndexed Index='1'>20</ValueIndexed></Integer>");
  Counter counter;
  Register(
      m.Node("Gain"), [](INode*) {}, cbPostInsideLock);
  Register(m.Node("Gain"), counter, &Counter::On, cbPostOutsideLock);
  CEnumerationPtr(m.Node("Sel"))->FromString("B");
  FeatureList_t selecting;
  CSelectorPtr(m.Node("Gain"))->GetSelectingFeatures(selecting);
  CSelectorPtr(m.Node("Gain"))->GetSelectingFeatures(selecting);  // replaces, never appends
  EXPECT_EQ(std::to_string(counter.count) + " " + Values(m.ref, "Gain") + " " + Names(selecting) +
                std::to_string(CSelectorPtr(m.Node("Sel"))->IsSelector()),
            "1 Gain=20 Sel,1");
}

TEST(Callbacks, PollFiresForExpiredNodesOnly) {
  TestMap m(Reg("IntReg", "Temp", "0", "4", "<PollingTime>50</PollingTime>", "RO") +
            Reg("IntReg", "Still", "4", "4", "<PollingTime>0</PollingTime>", "RO"));
  std::vector<std::string> fired;
  struct Rec {
    void On(INode* n) { out->push_back(n->GetName().str()); }
    std::vector<std::string>* out;
  } rec{&fired};
  Register(m.Node("Temp"), rec, &Rec::On, cbPostOutsideLock);
  Register(m.Node("Still"), rec, &Rec::On, cbPostOutsideLock);
  // The polling time runs out at the second poll; the count starts again at the poll.
  for (const int64_t elapsed : {49, 1, 49, 1}) {
    m.ref._Poll(elapsed);
    fired.push_back("|");
  }
  EXPECT_EQ(fired, (std::vector<std::string>{"|", "Temp", "|", "|", "Temp", "|"}));
  EXPECT_EQ(m.Node("Temp")->GetPollingTime(), 50);
}

TEST(SelectorSet, WalksEveryCombinationAndRestores) {
  TestMap m(
      "<Enumeration Name='Outer'><pSelected>Inner</pSelected><pSelected>Value</pSelected>"
      "<EnumEntry Name='A'><Value>0</Value></EnumEntry><EnumEntry Name='B'><Value>1</Value>"
      "</EnumEntry><Value>1</Value></Enumeration>"
      "<Integer Name='Inner'><pSelected>Value</pSelected><Value>2</Value><Min>0</Min><Max>2</Max>"
      "</Integer>"
      "<Boolean Name='Flag'><pSelected>Value</pSelected><Value>1</Value></Boolean>"
      "<Integer Name='Value'><Value>0</Value></Integer>");
  CSelectorSet set(m.Node("Value"));
  ASSERT_FALSE(set.IsEmpty());
  FeatureList_t list;
  set.GetSelectorList(list);
  ASSERT_EQ(list.size(), 3u);
  set.SetFirst();
  std::string seen = set.ToString().str();
  while (set.SetNext()) seen += "|" + set.ToString().str();
  EXPECT_EQ(seen,
            "Outer=A Inner=0 Flag=0|Outer=A Inner=0 Flag=1|Outer=A Inner=1 Flag=0|Outer=A Inner=1 "
            "Flag=1|Outer=A Inner=2 Flag=0|Outer=A Inner=2 Flag=1|Outer=B Inner=0 Flag=0|Outer=B "
            "Inner=0 Flag=1|Outer=B Inner=1 Flag=0|Outer=B Inner=1 Flag=1|Outer=B Inner=2 Flag=0|"
            "Outer=B Inner=2 Flag=1");
  set.Restore();
  EXPECT_EQ(Values(m.ref, "Outer Inner Flag"), "Outer=B; Inner=2 [0,2]; Flag=1");
  set.SetFirst();
  set.GetSelectorList(list, true);
  EXPECT_EQ(list.size(), 3u);
  set.SetNext();
  set.GetSelectorList(list, true);
  EXPECT_EQ(Names(list), "Flag,");  // only the last selector moved
  EXPECT_TRUE(CSelectorSet(m.Node("Outer")).IsEmpty());
}

TEST(Concurrency, ReadersWritersPollingAndCallbacksShareOneMap) {
  TestMap m(Reg("IntReg", "R", "0", "4", "<PollingTime>1</PollingTime>") +
            "<IntSwissKnife Name='K'><pVariable Name='X'>R</pVariable><Formula>X * 2</Formula>"
            "</IntSwissKnife>");
  // The memory port itself is not thread-safe; the node-map lock must serialise it.
  Counter callbacks;
  const auto handle = Register(m.Node("K"), callbacks, &Counter::On, cbPostOutsideLock);
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
  EXPECT_GE(callbacks.count, 500);
  Deregister(handle);
}

// Maps of two devices, each served by a thread of its own, register and drop callbacks at
// once: every registration gets a handle of its own and finds its node again.
TEST(Concurrency, CallbacksRegisteredFromTwoThreadsKeepTheirHandlesApart) {
  TestMap first("<Integer Name='A'><Value>1</Value></Integer>");
  TestMap second("<Integer Name='A'><Value>2</Value></Integer>");
  TestMap* maps[2] = {&first, &second};
  Counter counter;
  std::vector<CallbackHandleType> handles[2];
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        handles[t].push_back(Register(maps[t]->Node("A"), counter, &Counter::On, cbPostInsideLock));
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
  TestMap m("<Integer Name='A'><Value>0</Value></Integer>");
  Counter after;
  struct Thrower {
    void On(INode*) { throw GenICam::RuntimeException("client failed", __FILE__, __LINE__); }
  } thrower;
  Register(m.Node("A"), thrower, &Thrower::On, cbPostInsideLock);
  Register(m.Node("A"), after, &Counter::On, cbPostInsideLock);
  Register(m.Node("A"), thrower, &Thrower::On, cbPostOutsideLock);
  Register(m.Node("A"), after, &Counter::On, cbPostOutsideLock);
  EXPECT_NO_THROW(CIntegerPtr(m.Node("A"))->SetValue(3));
  EXPECT_EQ(CIntegerPtr(m.Node("A"))->GetValue(), 3);
  EXPECT_EQ(after.count, 2);
}

TEST(Concurrency, CallbackMayWriteAndDeregisterItself) {
  TestMap m(
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
