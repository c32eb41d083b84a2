#include "platform/genapi/nodes/nodebase.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <unordered_set>

#include "platform/genapi/api/callbackdirectory.h"
#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/missingnode.h"
#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {
namespace {

EVisibility ParseVisibility(const std::string& text) {
  if (text == "Expert") return Expert;
  if (text == "Guru") return Guru;
  if (text == "Invisible") return Invisible;
  return Beginner;
}

EAccessMode ParseAccessMode(const std::string& text) {
  if (text == "RO") return RO;
  if (text == "WO") return WO;
  if (text == "NA") return NA;
  if (text == "NI") return NI;
  return RW;
}

bool IsWritingLink(std::string_view name) {
  return name == "pValue" || name == "pValueIndexed" || name == "pValueDefault";
}

bool IsValueLink(std::string_view name) {
  return IsWritingLink(name) || name == "pVariable" || name == "pIndex";
}

}  // namespace

void RecursionGuard::Refuse(const NodeBase& node) const {
  if (busy_) {
    throw LOGICAL_ERROR_EXCEPTION("Node '%s': its references form a cycle", node.Name().c_str());
  }
  throw LOGICAL_ERROR_EXCEPTION("Node '%s': its references nest deeper than %d nodes",
                                node.Name().c_str(), kMaxDepth);
}

NodeBase::NodeBase(NodeMap& map, SharedNodeXml xml) : map_(map), xml_(std::move(xml)) {
  nameSpace_ = xml_->nameSpace == "Standard" ? Standard : Custom;
  for (const XmlProperty& p : xml_->properties) {
    const std::string_view name = p.name;
    if (name == "Visibility")
      visibility_ = ParseVisibility(p.text);
    else if (name == "ToolTip")
      toolTip_ = &p.text;
    else if (name == "Description")
      description_ = &p.text;
    else if (name == "DisplayName")
      displayName_ = &p.text;
    else if (name == "DocuURL")
      docuUrl_ = &p.text;
    else if (name == "EventID")
      eventId_ = &p.text;
    else if (name == "IsDeprecated")
      deprecated_ = p.text == "Yes";
    else if (name == "Streamable")
      streamable_ = p.text == "Yes";
    else if (name == "ImposedAccessMode")
      imposed_ = ParseAccessMode(p.text);
    else if (name == "PollingTime")
      pollingTime_ = ParseInteger(p.text, *this);
  }
}

NodeBase::~NodeBase() {
  for (const Callback& c : callbacks_) CallbackDirectory::Remove(c.handle);
}

void NodeBase::Link() {
  isImplemented_ = ResolveOptional("pIsImplemented");
  isAvailable_ = ResolveOptional("pIsAvailable");
  isLocked_ = ResolveOptional("pIsLocked");
  alias_ = ResolveOptional("pAlias");
  castAlias_ = ResolveOptional("pCastAlias");
  for (const XmlProperty* p : Properties("pSelected")) selected_.push_back(Resolve(*p));
  for (const XmlProperty* p : Properties("pInvalidator")) invalidators_.push_back(Resolve(*p));
}

// Names compare by length first, so most of a node's elements are passed over
// without comparing text.
const XmlProperty* NodeBase::Property(std::string_view name) const {
  for (const XmlProperty& p : xml_->properties) {
    if (std::string_view(p.name) == name) return &p;
  }
  return nullptr;
}

std::vector<const XmlProperty*> NodeBase::Properties(std::string_view name) const {
  std::vector<const XmlProperty*> found;
  for (const XmlProperty& p : xml_->properties) {
    if (std::string_view(p.name) == name) found.push_back(&p);
  }
  return found;
}

NodeBase* NodeBase::Resolve(const XmlProperty& property) {
  NodeBase* target = map_.FindNode(property.text);
  if (target == nullptr) target = map_.AddMissing(property.text, Name(), property.name);
  const std::string_view link = property.name;
  if (link == "pSelected") {
    AddDependent(target);
    target->AddSelecting(this);
  } else if (link == "pFeature") {
    readingChildren_.push_back(target);
  } else if (link != "pPort" && link != "pAlias" && link != "pCastAlias") {
    target->AddDependent(this);
    if (link != "pInvalidator") readingChildren_.push_back(target);
    if (IsWritingLink(link)) writingChildren_.push_back(target);
    if (IsValueLink(link)) valueChildren_.push_back(target);
  }
  return target;
}

NodeBase* NodeBase::ResolveOptional(std::string_view propertyName) {
  const XmlProperty* p = Property(propertyName);
  return p ? Resolve(*p) : nullptr;
}

void NodeBase::AddDependent(NodeBase* node) {
  if (std::find(dependents_.begin(), dependents_.end(), node) == dependents_.end()) {
    dependents_.push_back(node);
  }
}

const std::vector<NodeBase*>& NodeBase::Affected() {
  if (!affectedKnown_) {
    std::unordered_set<NodeBase*> seen{this};
    affected_ = {this};
    for (size_t i = 0; i < affected_.size(); ++i) {
      for (NodeBase* d : affected_[i]->dependents_) {
        if (seen.insert(d).second) affected_.push_back(d);
      }
    }
    affectedKnown_ = true;
  }
  return affected_;
}

void NodeBase::FireCallbacks(ECallbackType type) {
  std::vector<std::shared_ptr<CNodeCallback>> current;
  {
    NodeMap::Guard guard(map_);
    for (const Callback& c : callbacks_) current.push_back(c.callback);
  }
  for (const auto& callback : current) {
    try {
      (*callback)(type);
    } catch (...) {
      // One client's failing callback must neither undo the write that is
      // already done nor keep the other clients from being told.
    }
  }
}

bool NodeBase::AdvancePolling(int64_t elapsed) {
  if (pollingTime_ <= 0) return false;
  pollingElapsed_ += elapsed;
  if (pollingElapsed_ < pollingTime_) return false;
  pollingElapsed_ = 0;
  return true;
}

Number NodeBase::ReadNumber(bool, bool) {
  throw LOGICAL_ERROR_EXCEPTION("Node '%s' (%s) has no numeric value", Name().c_str(),
                                Kind().c_str());
}

void NodeBase::WriteNumber(const Number&, bool) {
  throw LOGICAL_ERROR_EXCEPTION("Node '%s' (%s) cannot take a numeric value", Name().c_str(),
                                Kind().c_str());
}

Number NodeBase::MinNumber() {
  throw LOGICAL_ERROR_EXCEPTION("Node '%s' (%s) has no minimum", Name().c_str(), Kind().c_str());
}

Number NodeBase::MaxNumber() {
  throw LOGICAL_ERROR_EXCEPTION("Node '%s' (%s) has no maximum", Name().c_str(), Kind().c_str());
}

Number NodeBase::IncNumber() { return Number::Int(1); }

gcstring NodeBase::GetName(bool FullQualified) const {
  if (!FullQualified) return Name();
  return (nameSpace_ == Standard ? "Std::" : "Cust::") + Name();
}

void NodeBase::InvalidateNode() {
  NodeMap::Guard guard(map_);
  InvalidateCache();
  map_.NodeChanged(*this);
}

ECachingMode NodeBase::GetCachingMode() const {
  NodeMap::Guard guard(map_);
  return CachingMode();
}

ECachingMode NodeBase::CachingMode() const {
  if (std::optional<ECachingMode> own = OwnCachingMode()) return *own;
  if (cachingMode_) return *cachingMode_;
  // A walk with its own stack: a chain of any length neither exhausts the
  // thread's stack nor is walked again for each of its nodes.
  struct Frame {
    const NodeBase* node;
    size_t next;
    ECachingMode mode;
  };
  const auto weaker = [](ECachingMode a, ECachingMode b) {
    if (a == NoCache || b == NoCache) return NoCache;
    return a == WriteAround || b == WriteAround ? WriteAround : WriteThrough;
  };
  std::vector<Frame> stack{{this, 0, WriteThrough}};
  cachingBusy_ = true;
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next < top.node->valueChildren_.size()) {
      const NodeBase* child = top.node->valueChildren_[top.next++];
      if (std::optional<ECachingMode> own = child->OwnCachingMode()) {
        top.mode = weaker(top.mode, *own);
      } else if (child->cachingMode_) {
        top.mode = weaker(top.mode, *child->cachingMode_);
      } else if (!child->cachingBusy_) {  // a node met again on a cycle adds nothing
        child->cachingBusy_ = true;
        stack.push_back(Frame{child, 0, WriteThrough});
      }
      continue;
    }
    const Frame done = top;
    stack.pop_back();
    done.node->cachingBusy_ = false;
    done.node->cachingMode_ = done.mode;
    if (!stack.empty()) stack.back().mode = weaker(stack.back().mode, done.mode);
  }
  return *cachingMode_;
}

gcstring NodeBase::GetDisplayName() const {
  return displayName_ && !displayName_->empty() ? *displayName_ : Name();
}

gcstring NodeBase::GetDeviceName() const { return map_.GetDeviceName(); }

void NodeBase::GetChildren(NodeList_t& Children, ELinkType LinkType) const {
  Children.clear();
  const std::vector<NodeBase*>* list = &readingChildren_;
  if (LinkType == ctWritingChildren || LinkType == ctValueChangingChildren) {
    list = &writingChildren_;
  } else if (LinkType == ctInvalidatingChildren) {
    list = &invalidators_;
  } else if (LinkType == ctParentNodes) {
    list = &dependents_;
  } else if (LinkType == ctDependingNodes) {
    list = &const_cast<NodeBase*>(this)->Affected();
  }
  for (NodeBase* n : *list) {
    if (n != this) Children.push_back(n);
  }
}

void NodeBase::GetParents(NodeList_t& Parents, ELinkType) const {
  Parents.assign(dependents_.begin(), dependents_.end());
}

CallbackHandleType NodeBase::RegisterCallback(CNodeCallback* pCallback) {
  std::shared_ptr<CNodeCallback> owned(pCallback);
  NodeMap::Guard guard(map_);
  const CallbackHandleType handle = CallbackDirectory::Add(this);
  callbacks_.push_back(Callback{handle, std::move(owned)});
  return handle;
}

bool NodeBase::DeregisterCallback(CallbackHandleType hCallback) {
  NodeMap::Guard guard(map_);
  const auto it = std::find_if(callbacks_.begin(), callbacks_.end(),
                               [&](const Callback& c) { return c.handle == hCallback; });
  if (it == callbacks_.end()) return false;
  CallbackDirectory::Remove(hCallback);
  callbacks_.erase(it);
  return true;
}

INodeMap* NodeBase::GetNodeMap() const { return &map_; }

void NodeBase::GetPropertyNames(gcstring_vector& PropertyNames) const {
  std::set<std::string> names{"Name"};
  for (const XmlProperty& p : xml_->properties) names.insert(p.name);
  PropertyNames.assign(names.begin(), names.end());
}

bool NodeBase::GetProperty(const gcstring& PropertyName, gcstring& ValueStr,
                           gcstring& AttributeStr) {
  ValueStr.clear();
  AttributeStr.clear();
  if (PropertyName == "Name") {
    ValueStr = Name();
    return true;
  }
  bool found = false;
  for (const XmlProperty& p : xml_->properties) {
    if (p.name != PropertyName.str()) continue;
    if (found) {
      ValueStr += '\t';
      AttributeStr += '\t';
    }
    ValueStr += p.text.c_str();
    for (const auto& [key, value] : p.attributes) AttributeStr += (key + "=" + value).c_str();
    found = true;
  }
  return found;
}

void NodeBase::ImposeAccessMode(EAccessMode AccessMode) {
  NodeMap::Guard guard(map_);
  imposed_ = AccessMode;
  map_.NewAccessEpoch();
}

EAccessMode NodeBase::GetAccessMode() const {
  NodeMap::Guard guard(map_);
  return AccessMode();
}

EAccessMode NodeBase::AccessMode() const {
  const uint64_t epoch = map_.AccessEpoch();
  if (accessEpoch_ == epoch) return accessMode_;
  const uint64_t uncachedBefore = map_.UncachedReads();
  const EAccessMode mode = EvaluateAccessMode();
  if (map_.UncachedReads() == uncachedBefore) {
    accessMode_ = mode;
    accessEpoch_ = epoch;
  }
  return mode;
}

EAccessMode NodeBase::EvaluateAccessMode() const {
  RecursionGuard recursion(accessBusy_, *this);
  if (isImplemented_ && !FlagIsSet(isImplemented_)) return NI;
  EAccessMode mode = OwnAccessMode();
  if (mode == NI) return NI;
  if (isAvailable_ && !FlagIsSet(isAvailable_)) return NA;
  // A lock takes write access away and nothing else: RW becomes RO, and a
  // write-only node (a locked trigger command, say) has nothing left.
  if (isLocked_ && FlagIsSet(isLocked_)) mode = Combine(mode, RO);
  return Combine(mode, imposed_);
}

bool NodeBase::FlagIsSet(NodeBase* flag) const {
  return IsReadable(flag->AccessMode()) && flag->ReadNumberTrusted(false, false).IsTrue();
}

void NodeBase::GetSelectedFeatures(FeatureList_t& Features) const {
  Features.clear();
  for (NodeBase* n : selected_) {
    if (auto* v = dynamic_cast<IValue*>(n)) Features.push_back(v);
  }
}

void NodeBase::GetSelectingFeatures(FeatureList_t& Features) const {
  Features.clear();
  for (NodeBase* n : selecting_) {
    if (auto* v = dynamic_cast<IValue*>(n)) Features.push_back(v);
  }
}

void NodeBase::CheckReadable() const {
  if (!IsReadable(AccessMode())) {
    throw ACCESS_EXCEPTION("Node '%s' is not readable", Name().c_str());
  }
}

void NodeBase::CheckWritable() const {
  if (!IsWritable(AccessMode())) {
    throw ACCESS_EXCEPTION("Node '%s' is not writable", Name().c_str());
  }
}

void NodeBase::NotifyChanged() { map_.NodeChanged(*this); }

}  // namespace GenApi
