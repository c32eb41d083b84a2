// Feature hooks through libZOR.so: every feature, chosen features, the hook
// information read inside the user's function, unhooking, and hooks changed on
// some threads while features change on others.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/driver/frameworkuser/genicam/features/featurefixture.h"
#include "tests/driver/frameworkuser/genicam/features/featurehookinfo.h"

namespace zor::board {
namespace {

struct Delivery : genicamtest::FeatureHookInfo {
  QINT64 error = -1;
};

struct Recorder {
  std::mutex lock;
  std::vector<Delivery> seen;
  std::atomic<int> count{0};

  std::vector<Delivery> Take() {
    std::lock_guard guard(lock);
    return seen;
  }
  bool Saw(QINT64 hookType, const std::wstring& name) {
    for (const Delivery& d : Take()) {
      if (d.hookType == hookType && d.name == name) return true;
    }
    return false;
  }
};

QINT64 OnFeature(QINT64 hookType, QID event, void* user) {
  Delivery d;
  static_cast<genicamtest::FeatureHookInfo&>(d) = genicamtest::ReadFeatureHookInfo(hookType, event);
  d.error = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  auto* recorder = static_cast<Recorder*>(user);
  std::lock_guard guard(recorder->lock);
  recorder->seen.push_back(d);
  ++recorder->count;
  return 0;
}

class FeatureHooks : public FeatureFixture {
 protected:
  void SetTimeout(QID digitizer, QINT64 value) {
    QdigControlFeature(digitizer, Q_FEATURE_VALUE, Dig("Q_GRAB_TIMEOUT").c_str(), Q_TYPE_INT64,
                       &value);
  }
  void Watch(const char* feature, QINT64 state) {
    QdigControlFeature(digitizer_, Q_FEATURE_CHANGE_HOOK, Dig(feature).c_str(), Q_TYPE_INT64,
                       &state);
  }
  // Whether a write of the timeout reaches the recorder.
  bool HearsTimeout(Recorder& recorder, QINT64 value) {
    const int before = recorder.count.load();
    SetTimeout(digitizer_, value);
    return recorder.count.load() != before;
  }
};

TEST_F(FeatureHooks, AnyFeatureChangeCarriesItsInformation) {
  Recorder recorder;
  QdigHookFunction(digitizer_, Q_FEATURE_ANY_CHANGE, &OnFeature, &recorder);
  ExpectError(0, 0, "hook");

  SetTimeout(digitizer_, 2500);
  ExpectError(0, 0, "write");
  ASSERT_TRUE(recorder.Saw(Q_FEATURE_ANY_CHANGE, L"Q_GRAB_TIMEOUT"));
  for (const Delivery& d : recorder.Take()) {
    if (d.name != L"Q_GRAB_TIMEOUT") continue;
    EXPECT_EQ(std::make_tuple(d.seconds > 0.0, d.nodeMap != 0, d.object, d.source, d.error),
              std::make_tuple(true, true, digitizer_, QINT64{0x8000000}, QINT64{0}));
  }
  // The system's map is hooked through its digitizer as well.
  const double level = 20;
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, Dig("Q_BRIGHTNESS_REF").c_str(), Q_TYPE_DOUBLE,
                     &level);
  EXPECT_TRUE(recorder.Saw(Q_FEATURE_ANY_CHANGE, L"Q_BRIGHTNESS_REF"));
  QdigHookFunction(digitizer_, Q_FEATURE_ANY_CHANGE + Q_UNHOOK, &OnFeature, &recorder);
  EXPECT_FALSE(HearsTimeout(recorder, 2600));
}

TEST_F(FeatureHooks, WatchedFeaturesOnlyAndOnlyOnceHooked) {
  Recorder recorder;
  Watch("Q_GRAB_TIMEOUT", Q_ENABLE);
  QdigHookFunction(digitizer_, Q_FEATURE_CHANGE, &OnFeature, &recorder);
  SetTimeout(digitizer_, 100);
  EXPECT_TRUE(recorder.Saw(Q_FEATURE_CHANGE, L"Q_GRAB_TIMEOUT"));
  // Watched after the hook was set: heard only once the hook is set again.
  Watch("Q_BRIGHTNESS_REF", Q_ENABLE);
  const double level = 30;
  const std::wstring brightness = Dig("Q_BRIGHTNESS_REF");
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, brightness.c_str(), Q_TYPE_DOUBLE, &level);
  EXPECT_FALSE(recorder.Saw(Q_FEATURE_CHANGE, L"Q_BRIGHTNESS_REF"));
  QdigHookFunction(digitizer_, Q_FEATURE_CHANGE, &OnFeature, &recorder);
  QdigControlFeature(digitizer_, Q_FEATURE_VALUE, brightness.c_str(), Q_TYPE_DOUBLE, &level);
  EXPECT_TRUE(recorder.Saw(Q_FEATURE_CHANGE, L"Q_BRIGHTNESS_REF"));
  QdigHookFunction(digitizer_, Q_FEATURE_CHANGE + Q_UNHOOK, &OnFeature, &recorder);
  EXPECT_FALSE(HearsTimeout(recorder, 200));
  ExpectError(0, 0, "watched hooks");
}

TEST_F(FeatureHooks, RemovingOneKindLeavesTheOthersDelivering) {
  Recorder any;
  Recorder watched;
  Watch("Q_GRAB_TIMEOUT", Q_ENABLE);
  QdigHookFunction(digitizer_, Q_FEATURE_ANY_CHANGE, &OnFeature, &any);
  QdigHookFunction(digitizer_, Q_FEATURE_CHANGE, &OnFeature, &watched);
  QdigHookFunction(digitizer_, Q_FEATURE_CHANGE + Q_UNHOOK, &OnFeature, &watched);
  SetTimeout(digitizer_, 1500);
  EXPECT_TRUE(any.Saw(Q_FEATURE_ANY_CHANGE, L"Q_GRAB_TIMEOUT"));
  EXPECT_EQ(watched.count.load(), 0);
  QdigHookFunction(digitizer_, Q_FEATURE_CHANGE, &OnFeature, &watched);
  QdigHookFunction(digitizer_, Q_FEATURE_ANY_CHANGE + Q_UNHOOK, &OnFeature, &any);
  EXPECT_FALSE(HearsTimeout(any, 1600));
  EXPECT_TRUE(watched.Saw(Q_FEATURE_CHANGE, L"Q_GRAB_TIMEOUT"));
  QdigHookFunction(digitizer_, Q_FEATURE_CHANGE + Q_UNHOOK, &OnFeature, &watched);
  Watch("Q_GRAB_TIMEOUT", Q_DISABLE);
  ExpectError(0, 0, "kinds");
}

TEST_F(FeatureHooks, InformationOfOtherEventsIsNotTakenForFeatures) {
  // A host event that is no feature event answers nothing of a feature.
  QID event = 0;
  QthrAlloc(system_, Q_EVENT, Q_DEFAULT, &event);
  ASSERT_NE(event, 0);
  QINT64 length = -7;
  QdigGetHookInfo(event, Q_FEATURE_NAME + Q_STRING_SIZE, &length);
  EXPECT_EQ(length, -7);
  QthrFree(event);
}

// What one digitizer's hook counts; it reads a feature of its digitizer as it is called.
struct DigitizerHook {
  QID digitizer = 0;
  std::atomic<int> count{0};
};

QINT64 CountAndRead(QINT64, QID, void* user) {
  auto* hook = static_cast<DigitizerHook*>(user);
  ++hook->count;
  QINT64 timeout = 0;
  QdigInquireFeature(hook->digitizer, Q_FEATURE_VALUE, L"QdigControl:Q_GRAB_TIMEOUT", Q_TYPE_INT64,
                     &timeout, 0);
  return 0;
}

// Hooks set and removed while features change on other threads. The system's map is written
// through either digitizer, and its hook (whichever digitizer set it last) reads a feature of
// its own digitizer: the hooks run outside the feature locks, or two writers would each hold
// one digitizer's and wait for the other's.
TEST_F(FeatureHooks, HooksChangeOnSomeThreadsWhileFeaturesChangeOnOthers) {
  const QID second = Digitizer(L"Q_NTSC", 1);
  ASSERT_NE(second, 0);
  DigitizerHook hooks[2];
  hooks[0].digitizer = digitizer_;
  hooks[1].digitizer = second;
  const auto total = [&hooks] { return hooks[0].count.load() + hooks[1].count.load(); };
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (QID digitizer : {digitizer_, second}) {
    // Each writes its digitizer's map and, through it, the system's shared one.
    writers.emplace_back([this, digitizer, &stop] {
      QINT64 value = 1;
      const std::wstring system = Sys("Q_TIMEOUT");
      while (!stop.load()) {
        SetTimeout(digitizer, ++value % 1000);
        QdigControlFeature(digitizer, Q_FEATURE_VALUE, system.c_str(), Q_TYPE_INT64, &value);
      }
    });
  }
  std::vector<std::thread> hookers;
  for (DigitizerHook& hook : hooks) {
    hookers.emplace_back([&hook] {
      for (int round = 0; round < 20; ++round) {
        QdigHookFunction(hook.digitizer, Q_FEATURE_ANY_CHANGE, &CountAndRead, &hook);
        QdigHookFunction(hook.digitizer, Q_FEATURE_ANY_CHANGE + Q_UNHOOK, &CountAndRead, &hook);
      }
      QdigHookFunction(hook.digitizer, Q_FEATURE_ANY_CHANGE, &CountAndRead, &hook);
    });
  }
  for (std::thread& t : hookers) t.join();
  const int hooked = total();
  while (total() < hooked + 4) std::this_thread::yield();
  stop = true;
  for (std::thread& t : writers) t.join();
  for (DigitizerHook& hook : hooks) {
    QdigHookFunction(hook.digitizer, Q_FEATURE_ANY_CHANGE + Q_UNHOOK, &CountAndRead, &hook);
  }
  const int after = total();
  SetTimeout(digitizer_, 5);
  SetTimeout(second, 5);
  EXPECT_EQ(total(), after);
  ExpectError(0, 0, "threads");
  QdigFree(second);
}

}  // namespace
}  // namespace zor::board
