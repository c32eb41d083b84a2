// Every road of the application interface at once: threads that pick their calls with a seeded
// generator on shared systems, digitizers and buffers, a thread of the feature browser's server
// and its client, and one that allocates and frees a digitizer, under a watchdog that fails the
// run when a thread makes no progress for 10 s. Calls may fail; the run checks progress, the
// answers that are known, and (under the sanitizers) memory and locks.
//
// ZOR_TORTURE_SEED, ZOR_TORTURE_SECONDS and ZOR_TORTURE_THREADS choose the run (1, 20 and 10 by
// default), ZOR_TORTURE_ROADS (road names, comma-separated) narrows it to some roads to find
// what a failure needs; scripts/torture.sh runs it long with other seeds.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/torture/roads.h"

namespace torture {
namespace {

struct Settings {
  uint64_t seed = 1;
  int seconds = 20;
  int threads = 10;
  std::string roads;  // the roads taken, by name, comma-separated; empty: all

  std::string Command() const {
    std::string command = "ZOR_TORTURE_SEED=" + std::to_string(seed) +
                          " ZOR_TORTURE_SECONDS=" + std::to_string(seconds) +
                          " ZOR_TORTURE_THREADS=" + std::to_string(threads);
    return roads.empty() ? command : command + " ZOR_TORTURE_ROADS='" + roads + "'";
  }
  bool Takes(const Road& road) const {
    return roads.empty() ||
           ("," + roads + ",").find("," + std::string(road.name) + ",") != std::string::npos;
  }
};

uint64_t Setting(const char* name, uint64_t otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : otherwise;
}

Settings ReadSettings() {
  Settings settings;
  settings.seed = Setting("ZOR_TORTURE_SEED", settings.seed);
  settings.seconds = static_cast<int>(Setting("ZOR_TORTURE_SECONDS", settings.seconds));
  // The browser's thread and the digitizer's thread take shared roads as well.
  settings.threads =
      std::max(2, static_cast<int>(Setting("ZOR_TORTURE_THREADS", settings.threads)));
  if (const char* roads = std::getenv("ZOR_TORTURE_ROADS")) settings.roads = roads;
  return settings;
}

// A thread's generator: its own sequence of the run's seed.
uint64_t ThreadSeed(uint64_t seed, int thread) {
  std::seed_seq sequence{seed, static_cast<uint64_t>(thread)};
  uint64_t words[2];
  sequence.generate(std::begin(words), std::end(words));
  return words[0] << 32 ^ words[1];
}

void PrintCounts(const std::vector<const Road*>& roads, const std::vector<RoadCount>& counts) {
  for (size_t i = 0; i < roads.size(); ++i) {
    std::printf("torture:   %-22s %8llu calls, %8llu failed\n", roads[i]->name,
                static_cast<unsigned long long>(counts[i].calls.load()),
                static_cast<unsigned long long>(counts[i].errors.load()));
  }
}

void PrintEvents(World& world) {
  uint64_t processed = 0;
  uint64_t grabHooks = 0;
  uint64_t featureHooks = 0;
  for (const SharedDigitizer& digitizer : world.Digitizers()) {
    processed += digitizer.events.processed.load();
    grabHooks += digitizer.events.grabHooks.load();
    featureHooks += digitizer.events.featureHooks.load();
  }
  std::printf("torture: %llu buffers processed, %llu grab hooks, %llu feature hooks called\n",
              static_cast<unsigned long long>(processed),
              static_cast<unsigned long long>(grabHooks),
              static_cast<unsigned long long>(featureHooks));
}

TEST(Torture, EveryRoadAtOnce) {
  const Settings settings = ReadSettings();
  std::printf("torture: %s\n", settings.Command().c_str());
  World world;
  ASSERT_TRUE(world.Build());
  const std::vector<const Road*> roads = AllRoads();
  std::vector<RoadCount> counts(roads.size());
  ProgressWatch watch(std::chrono::seconds(10), settings.Command());
  Progress& main = watch.Add("main");
  std::vector<Progress*> slots;
  for (int i = 0; i < settings.threads; ++i)
    slots.push_back(&watch.Add("torture-" + std::to_string(i)));
  main.Attach();
  watch.Start();
  std::atomic<bool> stop{false};
  std::vector<int> weights;
  for (const Road& road : SharedRoads()) weights.push_back(settings.Takes(road) ? road.weight : 0);
  if (std::count(weights.begin(), weights.end(), 0) == static_cast<int>(weights.size())) {
    weights.assign(weights.size(), 1);
  }
  std::vector<std::thread> threads;
  for (int i = 0; i < settings.threads; ++i) {
    const Road* own = i == 0 ? &BrowserRoad() : i == 1 ? &OwnDigitizerRoad() : nullptr;
    if (own != nullptr && !settings.Takes(*own)) own = nullptr;
    threads.emplace_back([&, i, own] {
      pthread_setname_np(pthread_self(), slots[i]->name.c_str());
      Worker(world, *slots[i], ThreadSeed(settings.seed, i), counts).Run(stop, own, weights);
    });
  }
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(settings.seconds));
  stop = true;
  // Each thread ends its road; a road that hangs is the watchdog's.
  for (std::thread& thread : threads) thread.join();
  const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - start;
  {
    InCall tearingDown(main, "tearing down");
    world.TearDown();
  }
  watch.Stop();

  const uint64_t calls = watch.TotalCalls() - 1;  // the tear-down is no call
  std::printf("torture: %llu calls in %.1f s: %.0f calls a second\n",
              static_cast<unsigned long long>(calls), ran.count(),
              static_cast<double>(calls) / ran.count());
  PrintCounts(roads, counts);
  PrintEvents(world);
  for (size_t i = 0; i < roads.size(); ++i) {
    if (!settings.Takes(*roads[i])) continue;
    EXPECT_GT(counts[i].calls.load(), 0u)
        << "the road \"" << roads[i]->name << "\" was never taken";
  }
  EXPECT_TRUE(world.Findings().empty())
      << world.Findings().size() << " checks failed; run again with " << settings.Command();
}

}  // namespace
}  // namespace torture
