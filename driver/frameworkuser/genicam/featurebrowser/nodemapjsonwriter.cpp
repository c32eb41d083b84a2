// NodeMapJsonWriter: writes a node map's nodes, their properties and state as JSON.
#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"

namespace zor::genicam {

using GenApi::INode;
using GenApi::node_vector;
using GenICam::gcstring;

namespace {

constexpr size_t kNodeMapCapacity = 0x200000;
constexpr size_t kNodeListCapacity = 0x100000;

bool IsSelectedFeature(INode* node) {
  GenApi::CSelectorPtr selector(node);
  if (!selector.IsValid() || selector->IsSelector()) return false;
  GenApi::FeatureList_t selecting;
  selector->GetSelectingFeatures(selecting);
  return !selecting.empty();
}

bool IsSelector(INode* node) {
  GenApi::CSelectorPtr selector(node);
  return selector.IsValid() && selector->IsSelector();
}

}  // namespace

NodeMapJsonWriter::NodeMapJsonWriter() = default;
NodeMapJsonWriter::~NodeMapJsonWriter() = default;

void NodeMapJsonWriter::StartDocument(size_t capacity, bool indented) {
  emittedChildren_.clear();
  openNodes_.clear();
  out_.reset();
  out_ = JsonOutput::Make(indented, capacity);
}

std::string NodeMapJsonWriter::WriteNodeMap(const std::string& deviceName,
                                            const std::string& userName,
                                            GenApi::INodeMap& nodeMap) {
  StartDocument(kNodeMapCapacity, false);
  out_->StartObject();

  mode_ = kStateDocument;
  expandChildren_ = false;
  visibilityLimit_ = 2;
  deviceName_ = deviceName;
  userName_ = userName;
  node_vector nodes;
  nodeMap.GetNodes(nodes);
  out_->Key("Data");
  WriteStateDocument(nodes);

  mode_ = kSchemaDocument;
  expandChildren_ = true;
  visibilityLimit_ = 2;
  deviceName_ = deviceName;
  userName_ = userName;
  node_vector children;
  GenApi::CNodePtr root(nodeMap.GetNode("Root"));
  root->GetChildren(children, GenApi::ctReadingChildren);
  out_->Key("Schema");
  WriteSchemaDocument(children);

  out_->EndObject();
  return out_->Text();
}

std::string NodeMapJsonWriter::WriteNodeList(const node_vector& nodes, bool indented) {
  StartDocument(kNodeListCapacity, indented);
  WriteDocument(nodes);
  return out_->Text();
}

void NodeMapJsonWriter::WriteDocument(const node_vector& nodes) {
  switch (mode_) {
    case kDescriptionDocument:
      WriteDescriptionDocument(nodes);
      break;
    case kStateDocument:
      WriteStateDocument(nodes);
      break;
    case kSchemaDocument:
      WriteSchemaDocument(nodes);
      break;
    default:
      break;
  }
}

node_vector NodeMapJsonWriter::Select(const node_vector& nodes, uint32_t limit) {
  node_vector selected;
  selected.reserve(nodes.size());
  for (INode* node : nodes) {
    try {
      if (node == nullptr) continue;
      if (static_cast<uint32_t>(node->GetVisibility()) > limit) continue;
      if (node->GetName() == "Root") continue;
      if (!node->IsFeature() && dynamic_cast<GenApi::IEnumEntry*>(node) == nullptr) continue;
      selected.push_back(node);
    } catch (const GenICam::GenericException&) {
      // A node that cannot tell what it is stays out of the list.
    }
  }
  return selected;
}

node_vector NodeMapJsonWriter::SelectedFeatures(INode* selector) {
  GenApi::FeatureList_t features;
  GenApi::CSelectorPtr(selector)->GetSelectedFeatures(features);
  node_vector shown;
  for (GenApi::IValue* feature : features) {
    GenApi::CNodePtr node(feature == nullptr ? nullptr : feature->GetNode());
    if (node->IsFeature() &&
        static_cast<uint32_t>(node->GetVisibility()) <= kNestedVisibilityLimit) {
      shown.push_back(node);
    }
  }
  return shown;
}

void NodeMapJsonWriter::RecordError(const gcstring& node, const GenICam::GenericException& e) {
  nodeErrors_.emplace(node, e.GetDescription());
}

void NodeMapJsonWriter::WriteStateDocument(const node_vector& nodes) {
  out_->StartObject();
  out_->Key(deviceName_);
  out_->StartObject();
  out_->Key("Nodes");
  out_->StartObject();
  for (INode* node : Select(nodes, visibilityLimit_)) WriteNodeState(node);
  out_->EndObject();
  out_->EndObject();
  out_->EndObject();
}

void NodeMapJsonWriter::WriteDescriptionDocument(const node_vector& nodes) {
  out_->StartArray();
  out_->StartObject();
  out_->Key("Name");
  out_->String(deviceName_);
  const node_vector selected = Select(nodes, visibilityLimit_);
  if (!selected.empty()) {
    out_->Key("Children");
    out_->StartArray();
    for (INode* node : selected) WriteNodeDescription(node);
    out_->EndArray();
  }
  out_->EndObject();
  out_->EndArray();
}

void NodeMapJsonWriter::WriteSchemaDocument(const node_vector& nodes) {
  out_->StartArray();
  out_->StartObject();
  out_->Key("Name");
  out_->String(deviceName_);
  out_->Key("UserName");
  out_->String(userName_);
  const node_vector selected = Select(nodes, visibilityLimit_);
  if (!selected.empty()) {
    out_->Key("Children");
    out_->StartArray();
    for (INode* node : selected) WriteSchemaNode("Root", gcstring(), node);
    out_->EndArray();
  }
  out_->EndObject();
  out_->EndArray();
}

void NodeMapJsonWriter::WriteSchemaChildren(const gcstring& parent, const gcstring& grouping,
                                            const node_vector& children) {
  out_->Key("Children");
  out_->StartArray();
  for (INode* child : children) WriteSchemaNode(parent, grouping, child);
  out_->EndArray();
}

void NodeMapJsonWriter::WriteSchemaNode(const gcstring& parent, const gcstring& grouping,
                                        INode* node) {
  const size_t depth = out_->Depth();
  const gcstring name = Guarded(
      gcstring(), [&] { return node->GetName(); }, gcstring());
  try {
    WriteSchemaNodeBody(parent, grouping, node, name);
  } catch (const GenICam::GenericException& e) {
    RecordError(name, e);
    out_->CloseTo(depth);
  } catch (...) {
    out_->CloseTo(depth);
  }
}

void NodeMapJsonWriter::WriteSchemaNodeBody(const gcstring& parent, const gcstring& grouping,
                                            INode* node, const gcstring& name) {
  if (grouping.empty() && IsSelectedFeature(node) &&
      node->GetPrincipalInterfaceType() != GenApi::intfIEnumEntry) {
    return;  // written under its selector
  }
  if (!emittedChildren_[parent].insert(name).second) return;

  const gcstring displayName = Guarded(
      name, [&] { return node->GetDisplayName(); }, gcstring());
  out_->StartObject();
  out_->Key("Name");
  out_->String(name.str());
  out_->Key("DisplayName");
  out_->String(displayName.str());
  const GenApi::EInterfaceType type = Guarded(
      name, [&] { return node->GetPrincipalInterfaceType(); }, GenApi::intfIValue);
  if (expandChildren_) WriteSchemaNested(parent, node, name, type);
  out_->EndObject();
}

void NodeMapJsonWriter::WriteSchemaNested(const gcstring& parent, INode* node, const gcstring& name,
                                          GenApi::EInterfaceType type) {
  if (type == GenApi::intfICategory) {
    node_vector children;
    node->GetChildren(children, GenApi::ctReadingChildren);
    const node_vector shown = Select(children, kNestedVisibilityLimit);
    if (!shown.empty()) WriteSchemaChildren(name, gcstring(), shown);
    return;
  }
  if (type != GenApi::intfIEnumeration && type != GenApi::intfIInteger) return;
  const bool selector = IsSelector(node);
  if (type == GenApi::intfIEnumeration)
    WriteSchemaEntries(parent, node, selector ? name : gcstring());
  if (selector) {
    const node_vector selected = SelectedFeatures(node);
    if (!selected.empty()) WriteSchemaChildren(parent, name, selected);
  }
}

void NodeMapJsonWriter::WriteSchemaEntries(const gcstring& parent, INode* enumeration,
                                           const gcstring& grouping) {
  node_vector entries;
  GenApi::CEnumerationPtr(enumeration)->GetEntries(entries);
  out_->Key("ValidValuesList");
  out_->StartArray();
  for (INode* entry : Select(entries, kNestedVisibilityLimit)) {
    WriteSchemaNode(parent, grouping, entry);
  }
  out_->EndArray();
}

}  // namespace zor::genicam
