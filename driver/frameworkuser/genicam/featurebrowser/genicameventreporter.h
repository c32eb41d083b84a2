// Turns bursts of node changes into one change notice per window, sent from its own worker.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/mutex.h"
#include "driver/frameworkuser/genicam/featurebrowser/taskscheduler.h"
#include "platform/genapi/genapi.h"

namespace zor::genicam {

class GenICamEventReporter {
 public:
  static constexpr int64_t kFlushDelayMs = 50;

  class Event {
   public:
    virtual ~Event() = default;
    virtual void Invoke(const std::string& mapName, const GenApi::node_vector& nodes) = 0;
  };

  template <class T>
  class EventImpl : public Event {
   public:
    using Function = void (T::*)(const std::string&, const GenApi::node_vector&);
    EventImpl(T* object, Function function) : object_(object), function_(function) {}
    void Invoke(const std::string& mapName, const GenApi::node_vector& nodes) override {
      (object_->*function_)(mapName, nodes);
    }

   private:
    T* object_;
    Function function_;
  };

  // Null when memory or the worker thread cannot be had. flushDelayMs is the window; tests
  // shorten or lengthen it.
  static std::unique_ptr<GenICamEventReporter> Create(const std::string& mapName,
                                                      const GenApi::node_vector& nodes,
                                                      int64_t flushDelayMs = kFlushDelayMs);
  ~GenICamEventReporter();
  GenICamEventReporter(const GenICamEventReporter&) = delete;
  GenICamEventReporter& operator=(const GenICamEventReporter&) = delete;

  // The target must outlive the reporter.
  template <class T>
  void SetEventHandler(T* object, typename EventImpl<T>::Function function) {
    SetEvent(std::make_shared<EventImpl<T>>(object, function));
  }

  // Registers OnNodeChanged on every feature and enumeration entry of the node list that is
  // visible up to the limit; nothing when callbacks are registered already.
  void Subscribe();
  void DeregisterAll();
  bool IsSubscribed() const;

  // Notes the node and asks for a flush one window later.
  void OnNodeChanged(GenApi::INode* node);
  // Hands every node noted so far, in name order, to the event handler.
  void Flush();

  uint32_t VisibilityLimit() const { return visibilityLimit_; }
  const std::string& MapName() const { return mapName_; }
  const GenApi::node_vector& Nodes() const { return nodes_; }

 private:
  // Lets a callback that GenApi is already running reach the reporter only while it exists;
  // GenApi keeps the gate alive as long as it holds the callback.
  class CallbackGate {
   public:
    explicit CallbackGate(GenICamEventReporter* reporter) : reporter_(reporter) {}
    void Forward(GenApi::INode* node);
    // After this no callback reaches the reporter and none is still inside it.
    void Close();

   private:
    // Guards reporter_ and running_; a leaf, waited on by Close until no callback runs.
    foundation::Ranked<std::mutex, foundation::LockId::kEventReporterIdle> mutex_;
    foundation::ConditionVariable idle_;
    GenICamEventReporter* reporter_ ZOR_GUARDED_BY(mutex_);
    int running_ ZOR_GUARDED_BY(mutex_) = 0;
  };

  GenICamEventReporter(const std::string& mapName, const GenApi::node_vector& nodes,
                       int64_t flushDelayMs);
  void SetEvent(std::shared_ptr<Event> handler);

  uint32_t visibilityLimit_ = GenApi::Guru;
  // Guards the handler and the nodes waiting for the next flush; a leaf, held only to swap
  // them. Declared before what it guards.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kEventReporter> lock_;
  TaskScheduler scheduler_;
  std::string mapName_;
  int64_t flushDelayMs_;
  // Shared, so that a flush running outside the lock keeps the handler it took.
  std::shared_ptr<Event> handler_ ZOR_GUARDED_BY(lock_);
  std::map<GenICam::gcstring, GenApi::INode*> pending_ ZOR_GUARDED_BY(lock_);
  std::list<GenApi::CallbackHandleType> handles_ ZOR_GUARDED_BY(subscription_);
  GenApi::node_vector nodes_;
  std::shared_ptr<CallbackGate> gate_;
  // Subscribe and DeregisterAll from several threads: guards handles_. Held while GenApi
  // registers and deregisters callbacks (the node map's own locks come after it).
  mutable foundation::Ranked<std::mutex, foundation::LockId::kEventSubscription> subscription_;
};

}  // namespace zor::genicam
