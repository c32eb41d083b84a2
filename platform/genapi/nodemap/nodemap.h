#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/genapi/api/inodemap.h"

namespace GenApi {

class NodeBase;
class NodeMap;

// What a map that builds its nodes on first use is made from.
class NodeSource {
 public:
  virtual ~NodeSource() = default;
  // Adds every node, unlinked.
  virtual void AddNodes(NodeMap& map) const = 0;
  virtual bool HasPort(std::string_view name) const = 0;
};

// What the RegisterDescription element declares.
struct DeviceInfoData {
  std::string modelName, vendorName, toolTip, productGuid, versionGuid;
  EStandardNameSpace standardNameSpace = None;
  Version_t schemaVersion{1, 0, 0};
  Version_t deviceVersion{0, 0, 0};
};

// The nodes of one device description and the lock that guards them.
class NodeMap : public INodeMap, public IDeviceInfo {
 public:
  NodeMap(const gcstring& deviceName, DeviceInfoData info);
  // Nodes come from the source when something first asks for one: a map that
  // is made and dropped unused costs little.
  NodeMap(const gcstring& deviceName, DeviceInfoData info,
          std::shared_ptr<const NodeSource> source);
  ~NodeMap() override;

  void Reserve(size_t nodes);
  void AddNode(std::unique_ptr<NodeBase> node);
  NodeBase* FindNode(std::string_view name) const;
  // A stand-in for a node the file references but does not define.
  NodeBase* AddMissing(const std::string& missing, const std::string& referrer,
                       const std::string& link);
  // Resolves every reference and derives the reverse links.
  void Finish();

  // A node's stored value changed: invalidate what depends on it, make it
  // and its dependents compute their access modes again, and queue the
  // callbacks of every affected node.
  void NodeChanged(NodeBase& node);
  // How deep the running evaluation nests; guarded by the lock.
  int& EvaluationDepth() { return evaluationDepth_; }
  // Access modes computed at the current epoch still hold unless a node they
  // depend on changed. Whatever may change modes beyond one node's dependents
  // (an invalidation, a value read fresh from the port, a port, an imposed
  // mode) starts a new epoch; all of it runs under the lock.
  uint64_t AccessEpoch() const { return accessEpoch_; }
  void NewAccessEpoch() const { ++accessEpoch_; }
  // Counts the values read from the device and kept nowhere: an access mode
  // that read one may change without notice and is not kept.
  uint64_t UncachedReads() const { return uncachedReads_; }
  void NoteUncachedRead() { ++uncachedReads_; }

  // Holds the node-map lock for one operation; when the outermost guard ends
  // it fires the queued callbacks, the outside-lock ones after unlocking.
  class Guard {
   public:
    explicit Guard(NodeMap& map);
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    NodeMap& map_;
  };

  // INodeMap
  void GetNodes(NodeList_t& Nodes) const override;
  INode* GetNode(const gcstring& Name) const override;
  void InvalidateNodes() const override;
  bool Connect(IPort* pPort, const gcstring& PortName) const override;
  bool Connect(IPort* pPort) const override;
  gcstring GetDeviceName() override { return deviceName_; }
  void Poll(int64_t ElapsedTime) override;
  CLock& GetLock() const override { return lock_; }
  uint64_t GetNumNodes() const override;

  // IDeviceInfo
  gcstring GetModelName() override { return info_.modelName; }
  gcstring GetVendorName() override { return info_.vendorName; }
  gcstring GetToolTip() override { return info_.toolTip; }
  EStandardNameSpace GetStandardNameSpace() override { return info_.standardNameSpace; }
  void GetSchemaVersion(Version_t& Version) override { Version = info_.schemaVersion; }
  void GetDeviceVersion(Version_t& Version) override { Version = info_.deviceVersion; }
  gcstring GetProductGuid() override { return info_.productGuid; }
  gcstring GetVersionGuid() override { return info_.versionGuid; }

 private:
  // Adds and links the source's nodes once, on any thread.
  void EnsureBuilt() const;
  void Build();
  void MarkFeatures();
  void Queue(NodeBase* node);
  void FlushInsideLock(std::vector<NodeBase*>& fired);

  gcstring deviceName_;
  DeviceInfoData info_;
  // Keyed by a view of the node's own name.
  std::unordered_map<std::string_view, std::unique_ptr<NodeBase>> nodes_;
  std::vector<NodeBase*> order_;
  std::vector<std::unique_ptr<NodeBase>> missing_;
  mutable CLock lock_;
  int depth_ = 0;
  int evaluationDepth_ = 0;
  mutable uint64_t accessEpoch_ = 1;
  uint64_t uncachedReads_ = 0;
  uint64_t flushes_ = 0;
  std::vector<NodeBase*> queued_;             // changed nodes that have callbacks
  std::shared_ptr<const NodeSource> source_;  // until the nodes are built
  std::atomic<bool> built_{true};
  mutable std::mutex buildMutex_;
  // Ports connected before the nodes were built, by port name.
  mutable std::vector<std::pair<std::string, IPort*>> pendingPorts_;
};

}  // namespace GenApi
