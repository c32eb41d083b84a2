// Example source text that sets and reads one feature through the host library.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "driver/frameworkuser/genicam/featurebrowser/featurecodeprefixes.h"
#include "platform/genapi/genapi.h"

namespace zor::genicam {

// The features reachable from a node through categories and selectors, depth first, parent
// before its children, each name once.
GenApi::node_vector CollectSelectedFeatures(GenApi::INode* node);

class FeatureCodeGenerator {
 public:
  // objectType: the host object type of the map's object; 0 for device maps, which get calls of
  // the feature functions instead of the object's own control types.
  FeatureCodeGenerator(const FeatureCodePrefixes& prefixes, int64_t objectType);

  // The requested feature with what it selects or contains.
  void FillNodeList(GenApi::INode* requested);
  void SetNodeList(const GenApi::node_vector& nodes) { nodes_ = nodes; }
  const GenApi::node_vector& NodeList() const { return nodes_; }

  // The whole answer; empty when there is nothing to show.
  std::string Generate();

 private:
  enum class Section {
    kControlDeclarations,
    kFeatureControls,
    kRegisterSizes,
    kInquireDeclarations,
    kFeatureInquiries,
    kRegisterCleanUp,
    kControlTypeControls,
    kControlTypeDeclarations,
    kControlTypeInquiries,
  };

  // A GenICam exception ends the section with an error block; the next section goes on.
  void WriteSection(Section section, std::string& out);
  void WriteNode(Section section, GenApi::INode* node, std::string& out);
  void WriteFeatureStyleNode(Section section, GenApi::INode* node, std::string& out);
  // One call of the control or inquire function on the node's feature.
  std::string FeatureCall(const std::string& function, GenApi::INode* node,
                          const std::string& tail) const;
  void WriteFeatureControl(GenApi::INode* node, std::string& out);
  void WriteInquireDeclaration(GenApi::INode* node, std::string& out) const;
  void WriteFeatureInquiry(GenApi::INode* node, std::string& out);
  void WriteControlTypeNode(Section section, GenApi::INode* node, std::string& out);
  void WriteSelectorSettings(GenApi::INode* node, std::string& out);

  // The feature style declares a writable, readable value once, for the control section.
  bool DeclaredForControl(GenApi::INode* node) const;
  std::string OperationConstant(GenApi::INode* node) const;
  std::string SelectorSuffix(GenApi::INode* node) const;
  std::string DeclarationType(GenApi::INode* node) const;

  FeatureCodePrefixes prefixes_;
  GenApi::node_vector nodes_;
  int64_t objectType_;
  bool featureStyle_;
  bool controlsDeclared_ = false;
  std::set<std::string> selectorsWritten_;
};

}  // namespace zor::genicam
