// The node-map registry and the own node maps, over objects libZOR.so serves
// itself.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "driver/frameworkuser/genicam/ownnodemaps/ownnodemaps.h"
#include "platform/host/hostservices.h"
#include "platform/host/zor.h"
#include "tests/driver/frameworkuser/genicam/hostsystemfixture.h"

namespace zor::genicam {
namespace {

class NodeMapRegistryTest : public HostSystem {
 protected:
  std::shared_ptr<GenICamControl> Control(int64_t hostObject, uint32_t kind = 7) {
    return std::make_shared<GenICamControl>(facts_, hostObject, 0, kind);
  }
};

TEST_F(NodeMapRegistryTest, OwnSystemGetsOneNodeMapWhoseFeaturesReadThroughTheHost) {
  NodeMapRegistry registry(false);
  CreateOwnNodeMaps(registry, facts_, system_, nullptr);
  ASSERT_EQ(registry.Size(), 1u);
  std::shared_ptr<GenICamControl> control = registry.Get(system_, L"QsysControl");
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(std::make_tuple(control->Kind(), control->HostObjectId(), control->ResourceName()),
            std::make_tuple(10u, system_, std::wstring(L"_SYS_ZORID")));
  auto* port = dynamic_cast<CZorTransportLayer<QsysTLProxy>*>(control->Port().get());
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->GetObjectId(), system_);

  GenApi::CStringPtr descriptor = control->NodeMap()->_GetNode("Q_SYSTEM_DESCRIPTOR");
  EXPECT_STREQ(descriptor->GetValue().c_str(), "Q_SYSTEM_HOST");
  GenApi::CIntegerPtr number = control->NodeMap()->_GetNode("Q_NUMBER");
  EXPECT_EQ(number->GetValue(), 0);
  // The host system does not know the board's types: they are not available.
  GenApi::CIntegerPtr board = control->NodeMap()->_GetNode("Q_BOARD_TYPE");
  EXPECT_FALSE(GenApi::IsAvailable(board));

  CreateOwnNodeMaps(registry, facts_, system_, nullptr);
  EXPECT_EQ(registry.Size(), 1u);
  EXPECT_EQ(registry.Get(system_, L"QsysControl"), control);
}

TEST_F(NodeMapRegistryTest, ObjectsWithoutAFittingResourceGetNone) {
  NodeMapRegistry registry(false);
  const QID sequence = HostObjAlloc(system_, Q_SEQUENCE, 0, nullptr);
  CreateOwnNodeMaps(registry, facts_, sequence, nullptr);
  EXPECT_TRUE(registry.Empty());
  // A digitizer resource on a system object: kinds 7 and 10 differ.
  std::vector<GenICamXmlResource> resources;
  LoadGenICamXmlResources(resources);
  resources.erase(resources.begin());
  CreateOwnNodeMaps(registry, facts_, system_, nullptr, CreateTransportLayers, &resources);
  EXPECT_TRUE(registry.Empty());
  HostObjFree(sequence);
}

TEST_F(NodeMapRegistryTest, FindTakesNamedModulesOfTheObject) {
  NodeMapRegistry registry(false);
  registry.Register(5, L"QdigControl", Control(5));
  registry.Register(5, L"QsysControl", Control(5));
  registry.Register(5, L"Camera", Control(5));
  registry.Register(6, L"QdigControl", Control(6));
  registry.Register(-1, L"QbufControl", Control(0));
  EXPECT_EQ(registry.Find(L"*", 5, -1).size(), 4u);
  EXPECT_EQ(registry.Find(L";QdigControl;;QsysControl", 5, -1).size(), 2u);
  EXPECT_EQ(registry.Find(L"", 5, -1).size(), 3u);  // the own modules only
  EXPECT_EQ(registry.Find(L"QdigControl", 5, 6).size(), 2u);
  EXPECT_EQ(registry.Find(L"QdigControl", 6, 7).size(), 1u);  // no entry of the second id
  EXPECT_EQ(registry.Find(L"QdigControl", 0, -1).size(), 2u);
  EXPECT_TRUE(NodeMapRegistry(false).Find(L"*", 0, -1).empty());
}

TEST_F(NodeMapRegistryTest, FreeingAnObjectErasesItsEntriesAndTellsWhoWantsToKnow) {
  const QID sequence = HostObjAlloc(system_, Q_SEQUENCE, 0, nullptr);
  NodeMapRegistry registry(true);
  std::vector<std::shared_ptr<GenICamControl>> dropped;
  registry.SetDropHandler([&dropped](const auto& control) { dropped.push_back(control); });
  const auto own = Control(sequence), camera = Control(sequence);
  registry.Register(sequence, L"QseqControl", own);
  registry.Register(sequence, L"Camera", camera);
  registry.Register(system_, L"QsysControl", Control(0, 10));
  HostObjFree(sequence);
  EXPECT_EQ(dropped, (std::vector<std::shared_ptr<GenICamControl>>{camera, own}));
  EXPECT_EQ(registry.Size(), 1u);
  EXPECT_EQ(registry.Get(sequence, L"QseqControl"), nullptr);
}

TEST_F(NodeMapRegistryTest, ARegistryThatGoesFirstLeavesNoHookBehind) {
  const QID sequence = HostObjAlloc(system_, Q_SEQUENCE, 0, nullptr);
  std::weak_ptr<GenICamControl> watched;
  int errors = 0;
  const QHOOK_FUNCTION count = [](QINT64, QID, void* user) -> QINT64 {
    return ++*static_cast<int*>(user);
  };
  QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, count, &errors);
  {
    NodeMapRegistry registry(true);
    auto control = Control(sequence);
    watched = control;
    registry.Register(sequence, L"QseqControl", std::move(control));
    registry.Register(sequence, L"Camera", Control(sequence));
  }
  QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, count, &errors);
  EXPECT_EQ(errors, 0);  // it unhooked exactly what it hooked
  EXPECT_TRUE(watched.expired());
  HostObjFree(sequence);  // would call into the gone registry if still hooked
  EXPECT_EQ(QappGetError(Q_DEFAULT, Q_CURRENT, nullptr), 0);
}

// Each change of the entries, and only a change, moves the generation on: routes cached by it
// are then looked up again.
TEST_F(NodeMapRegistryTest, EveryChangeOfTheEntriesMovesTheGeneration) {
  NodeMapRegistry registry(false);
  struct Step {
    const char* what;
    std::function<void()> change;
    bool moves;
    size_t size;
  };
  const Step steps[] = {
      {"register", [&] { registry.Register(9, L"QdigControl", Control(9)); }, true, 1},
      {"another module", [&] { registry.Register(9, L"Camera", Control(9)); }, true, 2},
      {"replace", [&] { registry.Register(9, L"Camera", Control(9)); }, true, 2},
      {"another object", [&] { registry.Register(10, L"QdigControl", Control(10)); }, true, 3},
      {"erase a module", [&] { registry.Erase(9, L"Camera"); }, true, 2},
      {"erase a module it lacks", [&] { registry.Erase(9, L"Nothing"); }, false, 2},
      {"erase all of an object", [&] { EXPECT_EQ(registry.EraseAllOf(9).size(), 1u); }, true, 1},
      {"erase the first of none", [&] { EXPECT_EQ(registry.EraseFirstOf(9), nullptr); }, false, 1},
  };
  for (const Step& step : steps) {
    const uint64_t before = registry.Generation();
    step.change();
    EXPECT_EQ(registry.Generation() != before, step.moves) << step.what;
    EXPECT_EQ(registry.Size(), step.size) << step.what;
  }
  EXPECT_NE(registry.Get(10, L"QdigControl"), nullptr);
  EXPECT_EQ(registry.FindEntry(1), nullptr);
}

}  // namespace
}  // namespace zor::genicam
