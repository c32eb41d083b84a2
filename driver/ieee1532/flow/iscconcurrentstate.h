// ChainConcurrentState: where a device stands while the chain runs concurrently.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/ieee1532/bsdl/bsdlentity.h"

namespace zor::isc {

// Where one device stands in its action while the chain is processed concurrently.
struct ChainConcurrentState {
  struct Level {
    const std::vector<BsdlActivity>* list = nullptr;
    size_t index = 0;
    const BsdlActivity* loop = nullptr;  // null for the phase's own list
    int64_t iteration = 0;
    int failures = 0;
  };
  std::vector<int> procedures;  // indices into the action's procedure list that run
  size_t procedure = 0;
  size_t flow = 0;
  int phase = -1;
  int64_t repeat = 1;
  std::vector<Level> stack;
  bool started = false;
  bool done = false;
  bool failed = false;
  bool stoppedByExit = false;
  // The prepared activity of this step.
  const BsdlActivity* activity = nullptr;
  int flowType = -1;
  std::string ir;
  std::string tdi;
  int64_t drLength = 1;
};

}  // namespace zor::isc
