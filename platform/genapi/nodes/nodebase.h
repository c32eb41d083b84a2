#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/genapi/api/callback.h"
#include "platform/genapi/api/pointer.h"
#include "platform/genapi/formula/number.h"
#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/nodexml.h"

namespace GenApi {

// What every node shares: identity and texts from the XML, references to
// other nodes, the access-mode rules, callbacks and the selector links.
class NodeBase : public virtual INode, public virtual ISelector {
 public:
  NodeBase(NodeMap& map, SharedNodeXml xml);
  ~NodeBase() override;

  // Resolves the references of the XML once every node exists.
  virtual void Link();
  // Releases whatever value the node keeps from the device.
  virtual void InvalidateCache() {}

  // The node's value as other nodes see it through a reference; raises when
  // the node has no numeric value or is not readable. Like every operation
  // between nodes, it runs under the node map's lock its caller holds.
  virtual Number ReadNumber(bool verify, bool ignoreCache);
  virtual void WriteNumber(const Number& value, bool verify);
  // The same write for a caller whose own writability already covers this
  // node (a pValue target).
  virtual void WriteNumberTrusted(const Number& value, bool verify) { WriteNumber(value, verify); }
  // The same read for a caller whose own readability already covers this
  // node (a pValue target); it skips the repeated access check. The caller
  // holds the node map's lock.
  virtual Number ReadNumberTrusted(bool verify, bool ignoreCache) {
    return ReadNumber(verify, ignoreCache);
  }
  virtual Number MinNumber();
  virtual Number MaxNumber();
  virtual Number IncNumber();

  const std::string& Name() const { return xml_->name; }
  const std::string& Kind() const { return xml_->kind; }
  NodeMap& Map() const { return map_; }
  // The first element of that name, in document order; null when none.
  const XmlProperty* Property(std::string_view name) const;
  std::vector<const XmlProperty*> Properties(std::string_view name) const;
  // Resolves a reference by node name and records the link it makes.
  NodeBase* Resolve(const XmlProperty& property);
  NodeBase* ResolveOptional(std::string_view propertyName);
  void AddDependent(NodeBase* node);
  void AddSelecting(NodeBase* node) { selecting_.push_back(node); }
  const std::vector<NodeBase*>& Affected();
  void MarkFeature() { isFeature_ = true; }
  void FireCallbacks(ECallbackType type);
  bool HasCallbacks() const { return !callbacks_.empty(); }
  // True the first time a flush marks the node; flushes are numbered.
  bool MarkFlushed(uint64_t flush) {
    if (flushed_ == flush) return false;
    flushed_ = flush;
    return true;
  }
  // Polling: true when the node's polling time has run out.
  bool AdvancePolling(int64_t elapsed);

  // INode
  gcstring GetName(bool FullQualified = false) const override;
  ENameSpace GetNameSpace() const override { return nameSpace_; }
  EVisibility GetVisibility() const override { return visibility_; }
  void InvalidateNode() override;
  bool IsCachable() const override { return GetCachingMode() != NoCache; }
  // Nodes without a register of their own cache as well as the values they
  // are computed from: the weakest mode among them.
  ECachingMode GetCachingMode() const final;
  // The same under the lock the caller holds.
  ECachingMode CachingMode() const;
  int64_t GetPollingTime() const override { return pollingTime_; }
  gcstring GetToolTip() const override { return Text(toolTip_); }
  gcstring GetDescription() const override { return Text(description_); }
  gcstring GetDisplayName() const override;
  gcstring GetDeviceName() const override;
  void GetChildren(NodeList_t& Children, ELinkType LinkType) const override;
  void GetParents(NodeList_t& Parents, ELinkType LinkType) const override;
  CallbackHandleType RegisterCallback(CNodeCallback* pCallback) override;
  bool DeregisterCallback(CallbackHandleType hCallback) override;
  INodeMap* GetNodeMap() const override;
  gcstring GetEventID() const override { return Text(eventId_); }
  bool IsStreamable() const override { return streamable_; }
  void GetPropertyNames(gcstring_vector& PropertyNames) const override;
  bool GetProperty(const gcstring& PropertyName, gcstring& ValueStr,
                   gcstring& AttributeStr) override;
  void ImposeAccessMode(EAccessMode AccessMode) override;
  void ImposeVisibility(EVisibility Visibility) override { visibility_ = Visibility; }
  INode* GetAlias() const override { return alias_; }
  INode* GetCastAlias() const override { return castAlias_; }
  gcstring GetDocuURL() const override { return Text(docuUrl_); }
  bool IsDeprecated() const override { return deprecated_; }
  bool IsFeature() const override { return isFeature_; }

  // IBase
  EAccessMode GetAccessMode() const override;
  // The same under the lock the caller holds; kept until the map's access
  // epoch moves on or a node it depends on changes.
  virtual EAccessMode AccessMode() const;
  void ForgetAccessMode() { accessEpoch_ = 0; }

  // ISelector
  bool IsSelector() const override { return !selected_.empty(); }
  void GetSelectedFeatures(FeatureList_t& Features) const override;
  void GetSelectingFeatures(FeatureList_t& Features) const override;

 protected:
  // The access the node has before the common rules apply.
  virtual EAccessMode OwnAccessMode() const { return RW; }
  // The caching mode of a node that decides it itself (a register).
  virtual std::optional<ECachingMode> OwnCachingMode() const { return std::nullopt; }
  // Raises the exceptions of an access check, naming the node.
  void CheckReadable() const;
  void CheckWritable() const;
  // Marks the node as written so dependents are invalidated and told.
  void NotifyChanged();

  std::vector<NodeBase*> readingChildren_;
  std::vector<NodeBase*> writingChildren_;
  std::vector<NodeBase*> valueChildren_;  // what the value is read from

 private:
  EAccessMode EvaluateAccessMode() const;
  bool FlagIsSet(NodeBase* flag) const;

  NodeMap& map_;
  SharedNodeXml xml_;
  ENameSpace nameSpace_ = Custom;
  EVisibility visibility_ = Beginner;
  // Texts stay in the node's XML properties, which never change after loading.
  static gcstring Text(const std::string* text) { return text ? gcstring(*text) : gcstring(); }
  const std::string* toolTip_ = nullptr;
  const std::string* description_ = nullptr;
  const std::string* displayName_ = nullptr;
  const std::string* docuUrl_ = nullptr;
  const std::string* eventId_ = nullptr;
  bool deprecated_ = false;
  bool streamable_ = false;
  bool isFeature_ = false;
  int64_t pollingTime_ = -1;
  int64_t pollingElapsed_ = 0;
  EAccessMode imposed_ = RW;
  NodeBase* isImplemented_ = nullptr;
  NodeBase* isAvailable_ = nullptr;
  NodeBase* isLocked_ = nullptr;
  INode* alias_ = nullptr;
  INode* castAlias_ = nullptr;
  std::vector<NodeBase*> selected_;
  std::vector<NodeBase*> selecting_;
  std::vector<NodeBase*> invalidators_;
  std::vector<NodeBase*> dependents_;
  std::vector<NodeBase*> parents_;
  std::vector<NodeBase*> affected_;
  bool affectedKnown_ = false;
  mutable bool accessBusy_ = false;
  mutable uint64_t accessEpoch_ = 0;  // the map's epoch at which accessMode_ held
  mutable EAccessMode accessMode_ = NI;
  // The links never change after loading, so the walk is done once per node.
  mutable bool cachingBusy_ = false;
  mutable std::optional<ECachingMode> cachingMode_;
  struct Callback {
    CallbackHandleType handle;
    std::shared_ptr<CNodeCallback> callback;
  };
  std::vector<Callback> callbacks_;
  uint64_t flushed_ = 0;

  friend class RecursionGuard;
};

// Marks a node busy for one kind of evaluation; meeting it again on the same
// chain means the references form a cycle. Chains deeper than any real file
// has are refused too, so a hostile file cannot exhaust the stack.
class RecursionGuard {
 public:
  static constexpr int kMaxDepth = 256;

  // Evaluations run under the node map's lock, so the map keeps the depth.
  RecursionGuard(bool& busy, const NodeBase& node)
      : busy_(busy), depth_(node.Map().EvaluationDepth()) {
    if (busy_ || depth_ >= kMaxDepth) Refuse(node);
    busy_ = true;
    ++depth_;
  }
  ~RecursionGuard() {
    busy_ = false;
    --depth_;
  }
  RecursionGuard(const RecursionGuard&) = delete;
  RecursionGuard& operator=(const RecursionGuard&) = delete;

 private:
  [[noreturn]] void Refuse(const NodeBase& node) const;

  bool& busy_;
  int& depth_;
};

}  // namespace GenApi
