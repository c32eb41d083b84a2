// GenICamEventReporter: collects node changes and sends one notice per window from its worker.
#include "driver/frameworkuser/genicam/featurebrowser/genicameventreporter.h"

#include <new>

namespace zor::genicam {

using GenApi::INode;

void GenICamEventReporter::CallbackGate::Forward(INode* node) {
  GenICamEventReporter* reporter = nullptr;
  {
    foundation::ScopedLock hold(mutex_);
    if (reporter_ == nullptr) return;
    reporter = reporter_;
    ++running_;
  }
  reporter->OnNodeChanged(node);
  foundation::ScopedLock hold(mutex_);
  if (--running_ == 0) idle_.notify_all();
}

void GenICamEventReporter::CallbackGate::Close() {
  foundation::UniqueLock hold(mutex_);
  reporter_ = nullptr;
  while (running_ != 0) idle_.Wait(hold);
}

std::unique_ptr<GenICamEventReporter> GenICamEventReporter::Create(const std::string& mapName,
                                                                   const GenApi::node_vector& nodes,
                                                                   int64_t flushDelayMs) {
  try {
    std::unique_ptr<GenICamEventReporter> reporter(
        new GenICamEventReporter(mapName, nodes, flushDelayMs));
    if (!reporter->scheduler_.IsRunning()) return nullptr;
    return reporter;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

GenICamEventReporter::GenICamEventReporter(const std::string& mapName,
                                           const GenApi::node_vector& nodes, int64_t flushDelayMs)
    : mapName_(mapName),
      flushDelayMs_(flushDelayMs),
      nodes_(nodes),
      gate_(std::make_shared<CallbackGate>(this)) {
  scheduler_.SetMode(0);  // at most one waiting flush
}

GenICamEventReporter::~GenICamEventReporter() {
  DeregisterAll();
  gate_->Close();
  scheduler_.DeleteWaitingTasks();
  // A running flush uses the lock and the handler, so the worker ends before they go.
  scheduler_.Stop();
}

void GenICamEventReporter::SetEvent(std::shared_ptr<Event> handler) {
  foundation::ScopedLock hold(lock_);
  handler_ = std::move(handler);
}

void GenICamEventReporter::Subscribe() {
  foundation::ScopedLock hold(subscription_);
  if (!handles_.empty()) return;
  const std::shared_ptr<CallbackGate> gate = gate_;
  for (INode* node : nodes_) {
    try {
      if (!node->IsFeature() && node->GetPrincipalInterfaceType() != GenApi::intfIEnumEntry) {
        continue;
      }
      if (static_cast<uint32_t>(node->GetVisibility()) > visibilityLimit_) continue;
      handles_.push_back(node->RegisterCallback(new GenApi::CNodeCallback(
          node, [gate](INode* changed) { gate->Forward(changed); }, GenApi::cbPostOutsideLock)));
    } catch (const GenICam::GenericException&) {
      // A node that cannot say what it is is not watched; the others are.
    }
  }
}

void GenICamEventReporter::DeregisterAll() {
  foundation::ScopedLock hold(subscription_);
  for (GenApi::CallbackHandleType handle : handles_) GenApi::Deregister(handle);
  handles_.clear();
}

bool GenICamEventReporter::IsSubscribed() const {
  foundation::ScopedLock hold(subscription_);
  return !handles_.empty();
}

void GenICamEventReporter::OnNodeChanged(INode* node) {
  if (node == nullptr) return;
  GenICam::gcstring name;
  try {
    name = node->GetName();
  } catch (const GenICam::GenericException&) {
    return;  // a node without a name cannot be reported
  }
  {
    foundation::ScopedLock hold(lock_);
    pending_[name] = node;
  }
  // Refused while a flush waits: that flush takes this node too.
  scheduler_.Post(this, &GenICamEventReporter::Flush, flushDelayMs_);
}

void GenICamEventReporter::Flush() {
  std::shared_ptr<Event> handler;
  GenApi::node_vector nodes;
  {
    foundation::ScopedLock hold(lock_);
    if (handler_ == nullptr) return;  // the nodes wait for a handler
    handler = handler_;
    nodes.reserve(pending_.size());
    for (const auto& [name, node] : pending_) nodes.push_back(node);
    pending_.clear();
  }
  handler->Invoke(mapName_, nodes);
}

}  // namespace zor::genicam
