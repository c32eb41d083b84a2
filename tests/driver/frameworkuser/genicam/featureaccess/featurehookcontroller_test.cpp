// Feature hooks on a map of the test's own: which nodes are hooked, pooled
// contexts and their events, the hook information, and deliveries that
// allocate nothing once the pool has grown.
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "tests/driver/frameworkuser/genicam/featureaccess/allocationcounter.h"
#include "tests/driver/frameworkuser/genicam/featureaccess/proxymap.h"

namespace zor::genicam {
namespace {

struct Seen {
  std::vector<int64_t> types;
  std::vector<int64_t> events;
  FeatureHookController* controller = nullptr;
  int nested = 0;
};

QINT64 Record(QINT64 type, QID event, void* user) {
  auto* seen = static_cast<Seen*>(user);
  seen->types.push_back(type);
  seen->events.push_back(event);
  // A delivery while another is running takes a second context.
  if (seen->nested-- > 0) seen->controller->OnEvent(7);
  return 0;
}

QINT64 Nothing(QINT64, QID, void*) { return 0; }

class HookControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { hooks.SetOwner(Q_DEFAULT_HOST, m.proxy.NodeMap()); }
  void Write(const char* name, int64_t value) {
    GenApi::CIntegerPtr integer = m.proxy.NodeMap()->_GetNode(name);
    integer->SetValue(value);
  }
  ProxyMap m;
  FeatureHookController hooks{3};
};

TEST_F(HookControllerTest, EveryFeatureIsHookedOnceAndChangesReachTheUser) {
  Seen seen;
  hooks.SetHook(FeatureHookKind::kAnyFeature, &Record, &seen, &m.ctx);
  hooks.SetDeliveryEnabled(true);
  EXPECT_EQ(m.Code(), 0);
  Write("Int", 7);
  // "Int" sits in two categories, one of them twice over: one delivery.
  ASSERT_EQ(seen.types, std::vector<int64_t>{kAnyFeatureHookType});
  const FeatureHookController::Context* context =
      FeatureHookController::FindContext(seen.events[0]);
  ASSERT_NE(context, nullptr);
  int64_t length = 0;
  EXPECT_TRUE(FeatureHookController::InquireHookInfo(*context, 0x50000870000, &length));
  EXPECT_EQ(length, 4);
  hooks.Unregister(FeatureHookKind::kAnyFeature, true, &m.ctx);
  Write("Int", 8);
  EXPECT_EQ(seen.types, std::vector<int64_t>{kAnyFeatureHookType});
}

// Each answer of the hook information with what it wrote, and the refused ones.
TEST(HookInfo, EachTypeAnswersFromTheContext) {
  struct Row {
    int64_t type;
    uint32_t sourceKind;
    uint64_t frequency;
    std::string expected;
  };
  const Row rows[] = {
      {Q_GC_EVENT_TYPE, 0, 1, "1 16777216"},
      {Q_GC_EVENT_TYPE, 1, 1, "1 33554432"},
      {Q_GC_EVENT_TYPE, 2, 1, "1 50331648"},
      {Q_GC_EVENT_TYPE, 3, 1, "1 134217728"},
      {Q_GC_EVENT_TYPE, 4, 1, "1 150994944"},
      {Q_GC_EVENT_TYPE, 5, 1, "1 167772160"},
      {Q_GC_EVENT_TYPE, 6, 1, "0 -1"},
      {0x20000, 6, 1, "1 77"},
      {0x160000, 6, 1, "1 77"},
      {0x1C0000, 6, 1, "1 77"},
      {0x1C0001, 6, 1, "0 -1"},
      {Q_GC_NODEMAP_PTR, 6, 1, "1 0"},
      {Q_FEATURE_NAME, 6, 1, "0 -1"},
      {Q_TIME_STAMP, 6, 4, "1 7.5"},
      {Q_TIME_STAMP, 6, 0, "1 0"},
      {7711 + Q_STRING_SIZE, 6, 1, "0 0"},
  };
  for (const Row& r : rows) {
    FeatureHookController::Context context;
    context.sourceKind = r.sourceKind;
    context.frequency = r.frequency;
    context.timeStamp = 30;
    context.hookedObject = 77;
    int64_t out = -1;
    const bool ok = FeatureHookController::InquireHookInfo(context, r.type, &out);
    double seconds = 0;
    std::memcpy(&seconds, &out, sizeof(seconds));
    std::ostringstream answer;
    answer << ok << " ";
    r.type == Q_TIME_STAMP ? answer << seconds : answer << out;
    EXPECT_EQ(answer.str(), r.expected) << r.type << "/" << r.sourceKind;
    EXPECT_FALSE(FeatureHookController::InquireHookInfo(context, r.type, nullptr));
  }
}

// Texts of a changed node and their lengths, each into a buffer with room to spare: nothing is
// written past the answer.
TEST_F(HookControllerTest, NodeTextsAndTheirLengthsAnswerWhole) {
  constexpr size_t kRoom = 12;
  const auto length = [](int64_t value) {
    std::wstring out(kRoom, L'#');
    std::memcpy(out.data(), &value, sizeof(value));
    return out;
  };
  const std::pair<int64_t, std::wstring> rows[] = {
      {Q_FEATURE_NAME, std::wstring(L"Int\0########", kRoom)},
      {Q_FEATURE_NAME + Q_STRING_SIZE, length(4)},
      {7711, std::wstring(L"TestModel\0##", kRoom)},
      {7711 + Q_STRING_SIZE, length(10)},
  };
  FeatureHookController::Context context;
  context.node = m.proxy.NodeMap()->_GetNode("Int");
  for (const auto& [type, expected] : rows) {
    std::wstring out(kRoom, L'#');
    EXPECT_TRUE(FeatureHookController::InquireHookInfo(context, type, out.data())) << type;
    EXPECT_EQ(out, expected) << type;
  }
}

// A context back in the pool holds nothing of its last delivery.
TEST(HookInfo, AResetContextHoldsNothingOfItsDelivery) {
  FeatureHookController::Context context;
  GenApi::INode* const node = reinterpret_cast<GenApi::INode*>(&context);
  context = {5, 7, 9, nullptr, node, 11, 2};
  context.Reset();
  EXPECT_EQ(std::make_tuple(context.timeStamp, context.frequency, context.hookedObject,
                            context.node, context.value, context.sourceKind),
            std::make_tuple(uint64_t{0}, uint64_t{7}, int64_t{0}, nullptr, int64_t{0}, 6u));
}

TEST_F(HookControllerTest, OverlappingDeliveriesUseTheirOwnEventsAndThePoolIsReused) {
  Seen seen;
  seen.controller = &hooks;
  seen.nested = 1;
  hooks.SetHook(FeatureHookKind::kBrowser, &Record, &seen, &m.ctx);
  hooks.SetDeliveryEnabled(true);
  hooks.OnEvent(1);
  ASSERT_EQ(seen.events.size(), 2u);
  EXPECT_NE(seen.events[0], seen.events[1]);
  EXPECT_EQ(seen.types[0], kBrowserFeatureHookType);
  hooks.OnEvent(2);
  EXPECT_EQ(seen.events[2], seen.events[0]);
  EXPECT_EQ(hooks.PoolSize(), 2u);
  // Delivery off: the pool is still used, the user is not called.
  hooks.SetDeliveryEnabled(false);
  hooks.OnEvent(3);
  EXPECT_EQ(seen.events.size(), 3u);
  // Clearing the browser slot leaves the node callbacks alone.
  hooks.SetHook(FeatureHookKind::kAnyFeature, &Nothing, nullptr, &m.ctx);
  hooks.Unregister(FeatureHookKind::kBrowser, true, &m.ctx);
  hooks.SetDeliveryEnabled(true);
  int count = 0;
  hooks.SetHook(
      FeatureHookKind::kAnyFeature,
      [](QINT64, QID, void* user) -> QINT64 {
        ++*static_cast<int*>(user);
        return 0;
      },
      &count, &m.ctx);
  Write("Int", 3);
  EXPECT_EQ(count, 1);
}

TEST_F(HookControllerTest, DeliveriesAllocateNothingOnceThePoolHasGrown) {
  hooks.SetHook(FeatureHookKind::kBrowser, &Nothing, nullptr, &m.ctx);
  hooks.SetDeliveryEnabled(true);
  hooks.OnEvent(int64_t{0});
  const int before = AllocationCount();
  CountAllocations(true);
  for (int i = 0; i < 100; ++i) hooks.OnEvent(i);
  CountAllocations(false);
  EXPECT_EQ(AllocationCount(), before);
  EXPECT_EQ(hooks.PoolSize(), 1u);
}

TEST_F(HookControllerTest, WatchedFeaturesTakeEffectWhenHooked) {
  Seen seen;
  hooks.SetFeatureWatched("Int", true);
  hooks.SetHook(FeatureHookKind::kWatched, &Record, &seen, &m.ctx);
  hooks.SetDeliveryEnabled(true);
  hooks.SetFeatureWatched("Gain", true);
  hooks.SetFeatureWatched("Nope", true);
  Write("Int", 1);
  GenApi::CFloatPtr gain = m.proxy.NodeMap()->_GetNode("Gain");
  gain->SetValue(2.0);
  EXPECT_EQ(seen.types, std::vector<int64_t>{kWatchedFeatureHookType});
  hooks.SetHook(FeatureHookKind::kWatched, &Record, &seen, &m.ctx);
  gain->SetValue(3.0);
  EXPECT_EQ(seen.types, std::vector<int64_t>(2, kWatchedFeatureHookType));
  EXPECT_TRUE(hooks.IsFeatureWatched("Nope"));
  EXPECT_EQ(m.Code(), 0);
}

TEST_F(HookControllerTest, HookingEveryFeatureKeepsAnEarlierErrorAsItWas) {
  m.ctx.SetErrorText(4300, L"earlier", nullptr, nullptr);
  hooks.SetHook(FeatureHookKind::kAnyFeature, &Nothing, nullptr, &m.ctx);
  EXPECT_EQ(m.Code(), 4300);
  EXPECT_EQ(m.Text(1), L"earlier");
  FeatureHookController bare(3);
  m.Clear();
  bare.SetHook(FeatureHookKind::kAnyFeature, &Nothing, nullptr, &m.ctx);
  EXPECT_EQ(m.TakeError(), "4432/3");
}

TEST(GenICamControlHooks, BrowserEventsReachTheControlsHooks) {
  GenICamControl control(GenICamSystemFacts{}, 0, 0, 1);
  int count = 0;
  control.HookController()->SetHook(
      FeatureHookKind::kBrowser,
      [](QINT64 type, QID, void* user) -> QINT64 {
        if (type == kBrowserFeatureHookType) {
          ++*static_cast<int*>(user);
        }
        return 0;
      },
      &count, nullptr);
  control.HookController()->SetDeliveryEnabled(true);
  control.HookController()->OnEvent(int64_t{42});
  EXPECT_EQ(count, 1);
}

}  // namespace
}  // namespace zor::genicam
