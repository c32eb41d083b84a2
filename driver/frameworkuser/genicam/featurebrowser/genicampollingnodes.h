// Polls GenApi node maps whose nodes declare polling times, on one thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>

#include "driver/foundation/lockorder.h"
#include "platform/genapi/genapi.h"
#include "platform/host/qtypes.h"
#include "platform/os/core/handle.h"
#include "platform/os/sync/critical_section.h"

namespace zor::genicam {

class GenICamPollingNodes {
 public:
  static constexpr int64_t kMinimumPeriodMs = 500;

  GenICamPollingNodes();
  explicit GenICamPollingNodes(GenApi::INodeMap* nodeMap);
  virtual ~GenICamPollingNodes();
  GenICamPollingNodes(const GenICamPollingNodes&) = delete;
  GenICamPollingNodes& operator=(const GenICamPollingNodes&) = delete;

  // (Re)computes the period from the nodes' polling times and starts the thread when there is
  // something to poll.
  void Start();
  // Ends the thread; the period becomes 0.
  void Stop();
  // Under the polling lock; waits for a running polling pass.
  void Add(GenApi::INodeMap* nodeMap);
  // Returns the number of node maps left.
  size_t Remove(GenApi::INodeMap* nodeMap);
  bool Contains(GenApi::INodeMap* nodeMap) const;

  // Milliseconds between polls; 0 while stopped.
  int64_t Period() const { return periodMs_; }
  bool IsRunning() const;

 private:
  static QUINT32 ThreadProc(void* polling);
  QUINT32 PollLoop();
  int64_t ShortestPollingTime();
  void EndThread() ZOR_REQUIRES(control_);

  mutable foundation::Ranked<os::CriticalSection, foundation::LockId::kPollingMaps> lock_;
  os::Handle stopEvent_;
  QID thread_ ZOR_GUARDED_BY(control_) = 0;
  std::set<GenApi::INodeMap*> nodeMaps_ ZOR_GUARDED_BY(lock_);
  std::atomic<int64_t> periodMs_{0};
  // Start and Stop from several threads; never held by the polling thread.
  mutable foundation::Ranked<std::mutex, foundation::LockId::kPollingControl> control_;
};

}  // namespace zor::genicam
