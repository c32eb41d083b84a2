#include "platform/genapi/nodemap/nodemap.h"

#include <unordered_set>

#include "platform/genapi/base/exceptions.h"
#include "platform/genapi/nodes/missingnode.h"
#include "platform/genapi/nodes/nodebase.h"
#include "platform/genapi/nodes/portnode.h"

namespace GenApi {

NodeMap::NodeMap(const gcstring& deviceName, DeviceInfoData info)
    : deviceName_(deviceName), info_(std::move(info)) {}

NodeMap::NodeMap(const gcstring& deviceName, DeviceInfoData info,
                 std::shared_ptr<const NodeSource> source)
    : deviceName_(deviceName), info_(std::move(info)), source_(std::move(source)), built_(false) {}

NodeMap::~NodeMap() = default;

void NodeMap::EnsureBuilt() const {
  if (built_.load(std::memory_order_acquire)) return;
  // Nothing outside reaches a node before the map is built, so building
  // changes what the map is, not what it answers.
  const_cast<NodeMap*>(this)->Build();
}

void NodeMap::Build() {
  std::lock_guard lock(buildMutex_);
  if (built_.load(std::memory_order_relaxed)) return;
  try {
    source_->AddNodes(*this);
    Finish();
  } catch (...) {
    missing_.clear();
    order_.clear();
    nodes_.clear();
    throw;
  }
  for (const auto& [name, port] : pendingPorts_) {
    static_cast<PortNode*>(FindNode(name))->SetPort(port);
  }
  pendingPorts_.clear();
  source_.reset();
  built_.store(true, std::memory_order_release);
}

void NodeMap::Reserve(size_t nodes) {
  nodes_.reserve(nodes);
  order_.reserve(nodes);
}

void NodeMap::AddNode(std::unique_ptr<NodeBase> node) {
  if (node->Name().empty()) {
    throw RUNTIME_EXCEPTION("A %s node has no name", node->Kind().c_str());
  }
  NodeBase* raw = node.get();
  const std::string_view name = raw->Name();
  if (nodes_.find(name) != nodes_.end()) {
    throw RUNTIME_EXCEPTION("Node '%s' is defined twice", raw->Name().c_str());
  }
  nodes_.emplace(name, std::move(node));
  order_.push_back(raw);
}

NodeBase* NodeMap::FindNode(std::string_view name) const {
  const auto it = nodes_.find(name);
  return it == nodes_.end() ? nullptr : it->second.get();
}

NodeBase* NodeMap::AddMissing(const std::string& missing, const std::string& referrer,
                              const std::string& link) {
  missing_.push_back(std::make_unique<MissingNode>(*this, missing, referrer, link));
  return missing_.back().get();
}

void NodeMap::Finish() {
  for (NodeBase* node : order_) node->Link();
  MarkFeatures();
}

void NodeMap::MarkFeatures() {
  NodeBase* root = FindNode("Root");
  if (root == nullptr) return;
  std::vector<NodeBase*> pending{root};
  std::unordered_set<NodeBase*> seen{root};
  while (!pending.empty()) {
    NodeBase* node = pending.back();
    pending.pop_back();
    node->MarkFeature();
    for (const XmlProperty* p : node->Properties("pFeature")) {
      NodeBase* child = FindNode(p->text);
      if (child && seen.insert(child).second) pending.push_back(child);
    }
  }
}

void NodeMap::NodeChanged(NodeBase& node) {
  // A node's access mode reads only the nodes it depends on, so the other
  // nodes' modes still hold.
  for (NodeBase* affected : node.Affected()) {
    affected->ForgetAccessMode();
    if (affected != &node) affected->InvalidateCache();
    if (affected->HasCallbacks()) queued_.push_back(affected);
  }
}

NodeMap::Guard::Guard(NodeMap& map) : map_(map) {
  map_.lock_.Lock();
  ++map_.depth_;
}

NodeMap::Guard::~Guard() {
  if (map_.depth_ > 1 || map_.queued_.empty()) {
    --map_.depth_;
    map_.lock_.Unlock();
    return;
  }
  std::vector<NodeBase*> fired;
  map_.FlushInsideLock(fired);
  --map_.depth_;
  map_.lock_.Unlock();
  for (NodeBase* node : fired) node->FireCallbacks(cbPostOutsideLock);
}

void NodeMap::FlushInsideLock(std::vector<NodeBase*>& fired) {
  const uint64_t flush = ++flushes_;
  std::vector<NodeBase*> batch;
  while (!queued_.empty()) {
    batch.clear();
    batch.swap(queued_);
    for (NodeBase* node : batch) {
      if (!node->MarkFlushed(flush)) continue;
      fired.push_back(node);
      node->FireCallbacks(cbPostInsideLock);
    }
  }
}

void NodeMap::GetNodes(NodeList_t& Nodes) const {
  EnsureBuilt();
  Nodes.assign(order_.begin(), order_.end());
}

INode* NodeMap::GetNode(const gcstring& Name) const {
  EnsureBuilt();
  return FindNode(Name.str());
}

uint64_t NodeMap::GetNumNodes() const {
  EnsureBuilt();
  return order_.size();
}

void NodeMap::InvalidateNodes() const {
  // Nodes not yet built hold nothing to invalidate.
  if (!built_.load(std::memory_order_acquire)) return;
  GenICam::AutoLock lock(lock_);
  NewAccessEpoch();
  for (NodeBase* node : order_) node->InvalidateCache();
}

bool NodeMap::Connect(IPort* pPort, const gcstring& PortName) const {
  {
    std::lock_guard lock(buildMutex_);
    if (!built_.load(std::memory_order_relaxed)) {
      if (!source_->HasPort(PortName.str())) return false;
      const auto same = [&](const auto& pending) { return pending.first == PortName.str(); };
      std::erase_if(pendingPorts_, same);
      pendingPorts_.emplace_back(PortName.str(), pPort);
      return true;
    }
  }
  auto* port = dynamic_cast<PortNode*>(FindNode(PortName.str()));
  if (port == nullptr) return false;
  {
    GenICam::AutoLock lock(lock_);
    port->SetPort(pPort);
  }
  InvalidateNodes();
  return true;
}

bool NodeMap::Connect(IPort* pPort) const { return Connect(pPort, "Device"); }

void NodeMap::Poll(int64_t ElapsedTime) {
  EnsureBuilt();
  Guard guard(*this);
  for (NodeBase* node : order_) {
    if (node->AdvancePolling(ElapsedTime)) {
      node->InvalidateCache();
      NodeChanged(*node);
    }
  }
}

}  // namespace GenApi
