#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/nodexml.h"
#include "platform/genapi/xml/elementtree.h"

namespace GenApi {

// One node of a device description as a map adds it; maps built from one
// description share the nodes' XML.
struct PreparedNode {
  enum class Form {
    kCategory,
    kInteger,
    kFloat,
    kBoolean,
    kCommand,
    kString,
    kRegister,
    kIntReg,
    kMaskedIntReg,
    kStructEntry,
    kFloatReg,
    kStringReg,
    kSwissKnife,
    kIntSwissKnife,
    kConverter,
    kIntConverter,
    kPort,
    kEnumEntry,
    kEnumeration,
  };
  Form form;
  SharedNodeXml xml;
  std::string symbolic;         // an enumeration entry's
  std::vector<size_t> entries;  // an enumeration's, as indices of earlier nodes
};

struct NodeMapDescription {
  DeviceInfoData info;
  std::vector<PreparedNode> nodes;
};

// Reads parsed GenICam XML, whose texts move into the description; bad XML
// raises a GenICam exception that says what is wrong.
NodeMapDescription DescribeNodeMap(XmlElement root);
// A linked node map of the description's nodes; a bad description raises a
// GenICam exception that says what is wrong and, where it can, which node.
std::unique_ptr<NodeMap> BuildNodeMap(const NodeMapDescription& description,
                                      const gcstring& deviceName);
// The same map, its nodes built on first use: for a description that has
// built cleanly before.
std::unique_ptr<NodeMap> DeferNodeMap(std::shared_ptr<const NodeMapDescription> description,
                                      const gcstring& deviceName);

}  // namespace GenApi
