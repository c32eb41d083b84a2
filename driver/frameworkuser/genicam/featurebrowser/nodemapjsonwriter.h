// The JSON texts of a node map that the feature-browser server sends and the export files hold.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>

#include "driver/frameworkuser/genicam/featurebrowser/jsonoutput.h"
#include "platform/genapi/genapi.h"

namespace zor::genicam {

// One writer makes one text per call; a caller makes a fresh writer for each message or file,
// sets what it needs, writes, and then reads the node error table.
class NodeMapJsonWriter {
 public:
  static constexpr uint32_t kDescriptionDocument = 0;
  static constexpr uint32_t kStateDocument = 1;
  static constexpr uint32_t kSchemaDocument = 2;

  NodeMapJsonWriter();
  ~NodeMapJsonWriter();
  NodeMapJsonWriter(const NodeMapJsonWriter&) = delete;
  NodeMapJsonWriter& operator=(const NodeMapJsonWriter&) = delete;

  // A GenApi visibility; nodes above it stay out of the top-level lists.
  void SetVisibilityLimit(uint32_t limit) { visibilityLimit_ = limit; }
  void SetMode(uint32_t mode) { mode_ = mode; }
  // Change notices carry values and state only.
  void SetValuesOnly(uint32_t valuesOnly) { valuesOnly_ = valuesOnly; }
  void SetExpandChildren(bool expand) { expandChildren_ = expand; }
  void SetDeviceName(const std::string& name) { deviceName_ = name; }
  void SetUserName(const std::string& name) { userName_ = name; }
  // Sent as "GenICamError" in every description entry while not empty.
  void SetErrorText(const std::string& text) { errorText_ = text; }

  // The snapshot of a whole map: {"Data": state document, "Schema": schema document}.
  // GenICam exceptions met outside any node (the node list, "Root") pass to the caller.
  std::string WriteNodeMap(const std::string& deviceName, const std::string& userName,
                           GenApi::INodeMap& nodeMap);
  // The document of the current mode over the given nodes.
  std::string WriteNodeList(const GenApi::node_vector& nodes, bool indented);

  // Node name to the description of the first GenICam exception met on that node, over the
  // writer's whole life.
  const std::map<GenICam::gcstring, std::string>& NodeErrors() const { return nodeErrors_; }

 private:
  static constexpr uint32_t kNestedVisibilityLimit = 2;

  void StartDocument(size_t capacity, bool indented);
  void WriteDocument(const GenApi::node_vector& nodes);
  void WriteStateDocument(const GenApi::node_vector& nodes);
  void WriteDescriptionDocument(const GenApi::node_vector& nodes);
  void WriteSchemaDocument(const GenApi::node_vector& nodes);
  void WriteSchemaNode(const GenICam::gcstring& parent, const GenICam::gcstring& grouping,
                       GenApi::INode* node);
  void WriteSchemaChildren(const GenICam::gcstring& parent, const GenICam::gcstring& grouping,
                           const GenApi::node_vector& children);
  // The schema tree walk's steps: the skips and the node's object, then what it nests.
  void WriteSchemaNodeBody(const GenICam::gcstring& parent, const GenICam::gcstring& grouping,
                           GenApi::INode* node, const GenICam::gcstring& name);
  void WriteSchemaNested(const GenICam::gcstring& parent, GenApi::INode* node,
                         const GenICam::gcstring& name, GenApi::EInterfaceType type);
  // "ValidValuesList" of an enumeration, its entries grouped under the selector's name.
  void WriteSchemaEntries(const GenICam::gcstring& parent, GenApi::INode* enumeration,
                          const GenICam::gcstring& grouping);

  // Entries of one node (nodestateentry.cpp, nodedescriptionentry.cpp).
  void WriteNodeState(GenApi::INode* node);
  void WriteNodeStateBody(GenApi::INode* node, const GenICam::gcstring& name);
  void WriteStateTexts(GenApi::INode* node, const GenICam::gcstring& name);
  // The keys that depend on the node's interface type.
  void WriteStateValue(GenApi::INode* node, const GenICam::gcstring& name);
  void WriteIntegerState(GenApi::CIntegerPtr value, const GenICam::gcstring& name,
                         GenApi::EAccessMode access);
  // The keys that a change notice (values only) leaves out.
  void WriteIntegerPresentation(GenApi::CIntegerPtr value, const GenICam::gcstring& name);
  void WriteFloatState(GenApi::CFloatPtr value, const GenICam::gcstring& name,
                       GenApi::EAccessMode access);
  void WriteFloatPresentation(GenApi::CFloatPtr value, const GenICam::gcstring& name);
  // "Unit", then "ValidValuesList" when the increment mode is a list (an integer's or a float's).
  template <class Number>
  void WriteUnitAndValidValues(Number value, const GenICam::gcstring& name,
                               GenApi::EIncMode incMode);
  void WriteEnumerationState(GenApi::CEnumerationPtr value, const GenICam::gcstring& name,
                             GenApi::EAccessMode access);
  void WriteEnumEntryState(GenApi::CEnumEntryPtr value, const GenICam::gcstring& name,
                           GenApi::EAccessMode access);
  void WriteNodeDescription(GenApi::INode* node);
  void WriteNodeDescriptionBody(GenApi::INode* node, const GenICam::gcstring& name,
                                bool withNested);
  void WriteDescriptionTexts(GenApi::INode* node, const GenICam::gcstring& name);
  void WriteDescriptionProperties(GenApi::INode* node);
  // The keys that depend on the node's interface type.
  void WriteDescriptionValue(GenApi::INode* node, const GenICam::gcstring& name, bool withNested);
  void WriteCategoryDescription(GenApi::INode* node, GenApi::EAccessMode access, bool withNested);
  void WriteEnumerationDescription(GenApi::INode* node, const GenICam::gcstring& name,
                                   GenApi::EAccessMode access, bool withNested);
  void WriteCurrentEnumValue(GenApi::CEnumerationPtr value, const GenICam::gcstring& name,
                             bool readable);
  void WriteSelectedFeatures(GenApi::INode* selector);
  void WriteDescriptionList(const char* key, const GenApi::node_vector& nodes, bool evenEmpty);

  // The nodes that a list shows: visible enough, not "Root", features or enumeration entries.
  static GenApi::node_vector Select(const GenApi::node_vector& nodes, uint32_t limit);
  // The features a selector selects that a browser shows.
  static GenApi::node_vector SelectedFeatures(GenApi::INode* selector);

  void RecordError(const GenICam::gcstring& node, const GenICam::GenericException& e);
  // Runs a read; a GenICam exception is recorded under the node's name and gives the fallback.
  template <class Read, class T>
  T Guarded(const GenICam::gcstring& node, Read read, T fallback) {
    try {
      return read();
    } catch (const GenICam::GenericException& e) {
      RecordError(node, e);
      return fallback;
    }
  }

  uint32_t visibilityLimit_ = 2;
  uint32_t mode_ = kDescriptionDocument;
  uint32_t valuesOnly_ = 0;
  bool expandChildren_ = false;
  std::string deviceName_;
  std::string userName_;
  std::string errorText_;
  std::map<GenICam::gcstring, std::string> nodeErrors_;
  std::map<GenICam::gcstring, std::set<GenICam::gcstring>> emittedChildren_;
  // The nodes whose description entries are open, outermost first.
  std::unordered_set<GenApi::INode*> openNodes_;
  std::unique_ptr<JsonOutput> out_;
};

}  // namespace zor::genicam
