// GenICamPollingNodes: the thread that polls the nodes of its node maps by their polling times.
#include "driver/frameworkuser/genicam/featurebrowser/genicampollingnodes.h"

#include <algorithm>

#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/context/threaderrorreport.h"
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"
#include "driver/frameworkuser/protocol/hostthreads.h"
#include "platform/host/hostservices.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"

namespace zor::genicam {
namespace {

using protocol::kThreadOwner;
constexpr QINT64 kThreadPriority = 1019;
constexpr QINT64 kThreadPriorityValue = 7;

}  // namespace

GenICamPollingNodes::GenICamPollingNodes() : stopEvent_(os::CreateEvent(true, false)) {}

GenICamPollingNodes::GenICamPollingNodes(GenApi::INodeMap* nodeMap) : GenICamPollingNodes() {
  if (nodeMap != nullptr) nodeMaps_.insert(nodeMap);
}

GenICamPollingNodes::~GenICamPollingNodes() {
  Stop();
  {
    foundation::ScopedLock hold(lock_);
    nodeMaps_.clear();
  }
  os::CloseHandle(stopEvent_);
}

void GenICamPollingNodes::Add(GenApi::INodeMap* nodeMap) {
  if (nodeMap == nullptr) return;
  foundation::ScopedLock hold(lock_);
  nodeMaps_.insert(nodeMap);
}

size_t GenICamPollingNodes::Remove(GenApi::INodeMap* nodeMap) {
  foundation::ScopedLock hold(lock_);
  nodeMaps_.erase(nodeMap);
  return nodeMaps_.size();
}

bool GenICamPollingNodes::Contains(GenApi::INodeMap* nodeMap) const {
  foundation::ScopedLock hold(lock_);
  return nodeMaps_.count(nodeMap) != 0;
}

bool GenICamPollingNodes::IsRunning() const {
  foundation::ScopedLock hold(control_);
  return thread_ != 0;
}

int64_t GenICamPollingNodes::ShortestPollingTime() {
  int64_t shortest = 0;
  foundation::ScopedLock hold(lock_);
  for (GenApi::INodeMap* nodeMap : nodeMaps_) {
    GenApi::node_vector nodes;
    nodeMap->GetNodes(nodes);
    for (GenApi::INode* node : nodes) {
      try {
        if (node == nullptr || node->GetAccessMode() == GenApi::NI) continue;
        const int64_t pollingTime = node->GetPollingTime();
        if (pollingTime == 0 || pollingTime == -1) continue;
        if (shortest == 0 || pollingTime < shortest) shortest = pollingTime;
      } catch (const GenICam::GenericException&) {
        // Only this node is left out: one broken reference in a device file must not
        // switch polling off for every node and map scanned after it.
      }
    }
  }
  return shortest;
}

void GenICamPollingNodes::Start() {
  foundation::ScopedLock hold(control_);
  EndThread();
  os::ResetEvent(stopEvent_);

  const int64_t shortest = ShortestPollingTime();
  if (shortest == 0) return;
  periodMs_ = std::max(shortest, kMinimumPeriodMs);
  thread_ = HostThrAlloc(kThreadOwner, Q_THREAD, Q_DEFAULT, &GenICamPollingNodes::ThreadProc, this,
                         nullptr);
  if (thread_ == 0) {
    periodMs_ = 0;
    return;
  }
  HostThrControl(thread_, kThreadPriority, kThreadPriorityValue);
}

void GenICamPollingNodes::Stop() {
  foundation::ScopedLock hold(control_);
  EndThread();
}

void GenICamPollingNodes::EndThread() {
  if (thread_ != 0) {
    os::SetEvent(stopEvent_);
    HostThrWait(thread_, Q_THREAD_WAIT, nullptr);
    HostThrFree(thread_);
    thread_ = 0;
  }
  periodMs_ = 0;
}

QUINT32 GenICamPollingNodes::ThreadProc(void* polling) {
  QINT64 context = 0;
  HostInternalInquire(0, Q_ENTER_THREAD_CONTEXT, &context);
  QUINT32 result = 0;
  frame::ReportEscapes(frame::kThreadFunctionName, [polling, &result] {
    result = static_cast<GenICamPollingNodes*>(polling)->PollLoop();
  });
  HostInternalControl(0, Q_LEAVE_THREAD_CONTEXT, context);
  return result;
}

QUINT32 GenICamPollingNodes::PollLoop() {
  const int64_t period = periodMs_;
  const auto waitMs = static_cast<uint32_t>(std::min<int64_t>(period, os::INFINITE - 1));
  for (;;) {
    if (os::WaitForSingleObject(stopEvent_, waitMs) != os::WAIT_TIMEOUT) {
      return 0;
    }
    // The hooks of polled changes run once the polled maps' lock is released.
    const DeferredFeatureHooks deferred;
    foundation::ScopedLock hold(lock_);
    for (GenApi::INodeMap* nodeMap : nodeMaps_) {
      try {
        nodeMap->Poll(period);
      } catch (const GenICam::GenericException&) {
        // One map's failing node must not stop the polling of the others.
      } catch (...) {
        // Nor anything else that escapes a poll, such as a hook of a changed feature.
        frame::ReportCurrentException(frame::kThreadFunctionName);
      }
    }
  }
}

}  // namespace zor::genicam
