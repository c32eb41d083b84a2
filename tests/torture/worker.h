// A torture thread: picks its roads and their arguments with a seeded generator, runs each call
// under the watchdog and counts the calls and the errors of each road.
#pragma once

#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/torture/progresswatch.h"
#include "tests/torture/tortureworld.h"

namespace torture {

class Worker;

struct Road {
  const char* name;
  int weight;  // how often the shared threads take it
  void (*run)(Worker&);
};

// The calls and errors of each road over the whole run.
struct RoadCount {
  std::atomic<uint64_t> calls{0};
  std::atomic<uint64_t> errors{0};
};

// Roads every thread takes, and the roads one thread owns (the feature browser's server and
// clients, a digitizer allocated and freed again).
const std::vector<Road>& SharedRoads();
const Road& BrowserRoad();
const Road& OwnDigitizerRoad();
// Every road of the run, shared ones first; counts are kept in this order.
std::vector<const Road*> AllRoads();

class Worker {
 public:
  Worker(World& world, Progress& progress, uint64_t seed, std::vector<RoadCount>& counts);

  // Takes roads until stop is set: the thread's own road every other time (when it has one),
  // else a shared road, chosen by the weights (one per shared road; not all zero).
  void Run(const std::atomic<bool>& stop, const Road* own, const std::vector<int>& weights);

  // Runs one application call under the watchdog; returns the error it left (0: none).
  template <typename Call>
  QINT64 Do(const char* what, Call&& call) {
    QINT64 error = 0;
    {
      InCall in(progress_, what);
      call();
      error = ErrorCode();
    }
    Count(error);
    return error;
  }

  // Runs something else than an application call (a browser client's request) under the
  // watchdog, counted as a call.
  template <typename Call>
  void Watch(const char* what, Call&& call) {
    {
      InCall in(progress_, what);
      call();
    }
    Count(0);
  }

  size_t Pick(size_t count);
  bool Chance(int percent);
  template <typename Value>
  const Value& PickOf(const std::vector<Value>& values) {
    return values[Pick(values.size())];
  }
  SharedDigitizer& AnyDigitizer();
  SharedSystem& AnySystem();
  World& world() { return world_; }
  // A check that failed, with the road and the call.
  void Note(const std::string& what);

 private:
  void Count(QINT64 error);
  void Take(const Road& road);

  World& world_;
  Progress& progress_;
  std::mt19937_64 random_;
  std::vector<RoadCount>& counts_;
  std::vector<const Road*> roads_;
  size_t road_ = 0;  // index of the road in progress into roads_ and counts_
};

}  // namespace torture
