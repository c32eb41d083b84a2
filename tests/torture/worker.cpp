#include "tests/torture/worker.h"

#include <algorithm>

namespace torture {

std::vector<const Road*> AllRoads() {
  std::vector<const Road*> roads;
  for (const Road& road : SharedRoads()) roads.push_back(&road);
  roads.push_back(&BrowserRoad());
  roads.push_back(&OwnDigitizerRoad());
  return roads;
}

Worker::Worker(World& world, Progress& progress, uint64_t seed, std::vector<RoadCount>& counts)
    : world_(world), progress_(progress), random_(seed), counts_(counts), roads_(AllRoads()) {}

void Worker::Run(const std::atomic<bool>& stop, const Road* own, const std::vector<int>& weights) {
  progress_.Attach();
  const std::vector<Road>& shared = SharedRoads();
  std::discrete_distribution<size_t> choose(weights.begin(), weights.end());
  while (!stop.load()) {
    // A thread that owns a road takes it every other time.
    if (own != nullptr && Chance(50)) {
      Take(*own);
    } else {
      Take(shared[choose(random_)]);
    }
  }
}

void Worker::Take(const Road& road) {
  road_ = static_cast<size_t>(std::find(roads_.begin(), roads_.end(), &road) - roads_.begin());
  road.run(*this);
}

void Worker::Count(QINT64 error) {
  ++counts_[road_].calls;
  if (error != 0) ++counts_[road_].errors;
}

size_t Worker::Pick(size_t count) {
  return std::uniform_int_distribution<size_t>(0, count - 1)(random_);
}

bool Worker::Chance(int percent) { return static_cast<int>(Pick(100)) < percent; }

SharedDigitizer& Worker::AnyDigitizer() {
  auto& digitizers = world_.Digitizers();
  return digitizers[Pick(digitizers.size())];
}

SharedSystem& Worker::AnySystem() {
  auto& systems = world_.Systems();
  return systems[Pick(systems.size())];
}

void Worker::Note(const std::string& what) {
  world_.Note(std::string(roads_[road_]->name) + " on " + progress_.name + ": " + what);
}

}  // namespace torture
