// A node as one of its interfaces through the per-thread step matches
// dynamic_cast for every node kind, whatever class the thread met before.
#include "driver/frameworkuser/genicam/featureaccess/nodecast.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/driver/frameworkuser/genicam/featureaccess/proxymap.h"

namespace zor::genicam {
namespace {

template <class I>
bool SameAsDynamicCast(GenApi::INode* node) {
  return NodeAs<I>(node) == dynamic_cast<I*>(node);
}

// Every interface of every node, the nodes in turn and each one twice, so a
// step kept from the previous class is met on the next one.
int Mismatches(const GenApi::NodeList_t& nodes) {
  int mismatches = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (GenApi::INode* node : nodes) {
      for (int twice = 0; twice < 2; ++twice) {
        const bool same =
            SameAsDynamicCast<GenApi::IInteger>(node) && SameAsDynamicCast<GenApi::IFloat>(node) &&
            SameAsDynamicCast<GenApi::IBoolean>(node) &&
            SameAsDynamicCast<GenApi::IEnumeration>(node) &&
            SameAsDynamicCast<GenApi::IString>(node) && SameAsDynamicCast<GenApi::ICommand>(node) &&
            SameAsDynamicCast<GenApi::ICategory>(node) &&
            SameAsDynamicCast<GenApi::IRegister>(node) && SameAsDynamicCast<GenApi::IValue>(node);
        if (!same) ++mismatches;
      }
    }
  }
  return mismatches;
}

// Kinds the shared test map lacks.
constexpr const char* kMoreNodes = R"(
<Enumeration Name="Mode"><EnumEntry Name="A"><Value>0</Value></EnumEntry>
  <EnumEntry Name="B"><Value>1</Value></EnumEntry><pValue>Zero</pValue></Enumeration>
<IntSwissKnife Name="Twice"><pVariable Name="X">Int</pVariable><Formula>X*2</Formula></IntSwissKnife>
<String Name="Label"><Value>abc</Value></String>
)";

TEST(NodeCast, MatchesDynamicCastOnEveryNodeKindAndThread) {
  ProxyMap m(false, std::string(kTestNodes) + kMoreNodes);
  GenApi::NodeList_t nodes;
  m.proxy.NodeMap()->_Ptr->GetNodes(nodes);
  ASSERT_GT(nodes.size(), 20u);
  EXPECT_EQ(Mismatches(nodes), 0);
  EXPECT_EQ(NodeAs<GenApi::IInteger>(nullptr), nullptr);
  GenApi::INode* category = m.proxy.NodeMap()->_GetNode("Root");
  EXPECT_THROW(NodeAsRef<GenApi::IInteger>(category), std::bad_cast);

  // Threads casting the same nodes at once keep steps of their own.
  std::vector<int> results(4, -1);
  std::vector<std::thread> threads;
  for (int& result : results) {
    threads.emplace_back([&nodes, &result] { result = Mismatches(nodes); });
  }
  for (std::thread& thread : threads) thread.join();
  for (int result : results) EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace zor::genicam
