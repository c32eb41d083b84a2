#include "platform/genapi/xml/xmlloader.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/genapi/nodes/booleannode.h"
#include "platform/genapi/nodes/bytesregister.h"
#include "platform/genapi/nodes/categorynode.h"
#include "platform/genapi/nodes/commandnode.h"
#include "platform/genapi/nodes/converternode.h"
#include "platform/genapi/nodes/enumerationnode.h"
#include "platform/genapi/nodes/floatregnode.h"
#include "platform/genapi/nodes/intregnode.h"
#include "platform/genapi/nodes/portnode.h"
#include "platform/genapi/nodes/stringnode.h"
#include "platform/genapi/nodes/swissknifenode.h"
#include "platform/genapi/nodes/textconvert.h"
#include "platform/genapi/xml/elementtree.h"

namespace GenApi {
namespace {

void Trim(std::string& text) {
  const size_t last = text.find_last_not_of(" \t\r\n");
  if (last == std::string::npos) {
    text.clear();
    return;
  }
  text.erase(last + 1);
  text.erase(0, text.find_first_not_of(" \t\r\n"));
}

// The element's name, text and attributes move into the property.
XmlProperty ReadProperty(XmlElement& element) {
  Trim(element.text);
  return XmlProperty{std::move(element.name), std::move(element.text),
                     std::move(element.attributes)};
}

using Form = PreparedNode::Form;

// The node form of an element name, or none for what is not a node.
std::optional<Form> FormOf(std::string_view kind) {
  static constexpr std::pair<std::string_view, Form> kForms[] = {
      {"Category", Form::kCategory},
      {"Integer", Form::kInteger},
      {"Float", Form::kFloat},
      {"Boolean", Form::kBoolean},
      {"Command", Form::kCommand},
      {"String", Form::kString},
      {"Register", Form::kRegister},
      {"IntReg", Form::kIntReg},
      {"MaskedIntReg", Form::kMaskedIntReg},
      {"FloatReg", Form::kFloatReg},
      {"StringReg", Form::kStringReg},
      {"SwissKnife", Form::kSwissKnife},
      {"IntSwissKnife", Form::kIntSwissKnife},
      {"Converter", Form::kConverter},
      {"IntConverter", Form::kIntConverter},
      {"Port", Form::kPort},
  };
  for (const auto& [name, form] : kForms) {
    if (kind == name) return form;
  }
  return std::nullopt;
}

// Reads the elements into node descriptions, in the order a map adds them.
class Describer {
 public:
  explicit Describer(std::vector<PreparedNode>& nodes) : nodes_(nodes) {}

  void Element(XmlElement& element) {
    const std::string_view kind = element.name;
    if (kind == "Group") {
      for (XmlElement& child : element.children) Element(child);
    } else if (kind == "StructReg") {
      StructReg(element);
    } else if (kind == "Enumeration") {
      Enumeration(element);
    } else if (const std::optional<Form> form = FormOf(kind)) {
      NodeXml xml = Describe(element);
      Add(*form, std::move(xml));
    } else {
      throw RUNTIME_EXCEPTION("Unknown element '%s' (line %d)", element.name.c_str(), element.line);
    }
  }

 private:
  size_t Add(Form form, NodeXml xml, std::string symbolic = {}, std::vector<size_t> entries = {}) {
    nodes_.push_back(PreparedNode{form, std::make_shared<const NodeXml>(std::move(xml)),
                                  std::move(symbolic), std::move(entries)});
    return nodes_.size() - 1;
  }

  NodeXml Describe(XmlElement& element) {
    NodeXml xml{
        std::move(element.name), element.Attribute("Name"), element.Attribute("NameSpace"), {}};
    xml.properties.reserve(element.children.size());
    for (XmlElement& child : element.children) {
      if (child.name == "IntSwissKnife") {
        // An address term computed in place: a node of its own, named by the
        // file or after its register.
        NodeXml address = Describe(child);
        if (address.name.empty()) {
          address.name = xml.name + "_Address" + std::to_string(++anonymous_);
        }
        xml.properties.push_back(XmlProperty{"pAddress", address.name, {}});
        Add(Form::kIntSwissKnife, std::move(address));
      } else {
        xml.properties.push_back(ReadProperty(child));
      }
    }
    return xml;
  }

  void StructReg(XmlElement& element) {
    std::vector<XmlProperty> shared;
    for (XmlElement& child : element.children) {
      if (child.name != "StructEntry") shared.push_back(ReadProperty(child));
    }
    for (XmlElement& child : element.children) {
      if (child.name != "StructEntry") continue;
      NodeXml xml = Describe(child);
      xml.kind = "StructEntry";
      // The entry's own elements come first, so they win over the shared ones.
      xml.properties.insert(xml.properties.end(), shared.begin(), shared.end());
      Add(Form::kStructEntry, std::move(xml));
    }
  }

  void Enumeration(XmlElement& element) {
    NodeXml xml{"Enumeration", element.Attribute("Name"), element.Attribute("NameSpace"), {}};
    std::vector<size_t> entries;
    for (XmlElement& child : element.children) {
      if (child.name != "EnumEntry") {
        xml.properties.push_back(ReadProperty(child));
        continue;
      }
      NodeXml entryXml = Describe(child);
      std::string symbolic = entryXml.name;
      entryXml.name = "EnumEntry_" + xml.name + "_" + symbolic;
      entries.push_back(Add(Form::kEnumEntry, std::move(entryXml), std::move(symbolic)));
    }
    Add(Form::kEnumeration, std::move(xml), {}, std::move(entries));
  }

  std::vector<PreparedNode>& nodes_;
  int anonymous_ = 0;
};

std::unique_ptr<NodeBase> Create(NodeMap& map, const PreparedNode& node,
                                 const std::vector<NodeBase*>& made) {
  switch (node.form) {
    case Form::kCategory:
      return std::make_unique<CategoryNode>(map, node.xml);
    case Form::kInteger:
      return std::make_unique<IntegerNode>(map, node.xml);
    case Form::kFloat:
      return std::make_unique<FloatNode>(map, node.xml);
    case Form::kBoolean:
      return std::make_unique<BooleanNode>(map, node.xml);
    case Form::kCommand:
      return std::make_unique<CommandNode>(map, node.xml);
    case Form::kString:
      return std::make_unique<StringNode>(map, node.xml);
    case Form::kRegister:
      return std::make_unique<RegisterNode>(map, node.xml);
    case Form::kIntReg:
      return std::make_unique<IntRegNode>(map, node.xml, false);
    case Form::kMaskedIntReg:
    case Form::kStructEntry:
      return std::make_unique<IntRegNode>(map, node.xml, true);
    case Form::kFloatReg:
      return std::make_unique<FloatRegNode>(map, node.xml);
    case Form::kStringReg:
      return std::make_unique<StringRegNode>(map, node.xml);
    case Form::kSwissKnife:
      return std::make_unique<SwissKnifeNode>(map, node.xml);
    case Form::kIntSwissKnife:
      return std::make_unique<IntSwissKnifeNode>(map, node.xml);
    case Form::kConverter:
      return std::make_unique<ConverterNode>(map, node.xml);
    case Form::kIntConverter:
      return std::make_unique<IntConverterNode>(map, node.xml);
    case Form::kPort:
      return std::make_unique<PortNode>(map, node.xml);
    case Form::kEnumEntry:
      return std::make_unique<EnumEntryNode>(map, node.xml, node.symbolic);
    case Form::kEnumeration: {
      std::vector<EnumEntryNode*> entries;
      entries.reserve(node.entries.size());
      for (size_t index : node.entries) entries.push_back(static_cast<EnumEntryNode*>(made[index]));
      return std::make_unique<EnumerationNode>(map, node.xml, std::move(entries));
    }
  }
  return std::make_unique<PortNode>(map, node.xml);
}

Version_t ReadVersion(const XmlElement& root, const char* major, const char* minor,
                      const char* subMinor) {
  auto number = [&](const char* name) {
    const auto value = TryParseInteger(root.Attribute(name));
    return static_cast<uint16_t>(value ? *value : 0);
  };
  return Version_t{number(major), number(minor), number(subMinor)};
}

DeviceInfoData ReadDeviceInfo(const XmlElement& root) {
  DeviceInfoData info;
  info.modelName = root.Attribute("ModelName");
  info.vendorName = root.Attribute("VendorName");
  info.toolTip = root.Attribute("ToolTip");
  info.productGuid = root.Attribute("ProductGuid");
  info.versionGuid = root.Attribute("VersionGuid");
  const std::string space = root.Attribute("StandardNameSpace");
  info.standardNameSpace = space == "IIDC"  ? IIDC
                           : space == "GEV" ? GEV
                           : space == "CL"  ? CL
                           : space == "USB" ? USB
                                            : None;
  info.schemaVersion =
      ReadVersion(root, "SchemaMajorVersion", "SchemaMinorVersion", "SchemaSubMinorVersion");
  info.deviceVersion = ReadVersion(root, "MajorVersion", "MinorVersion", "SubMinorVersion");
  return info;
}

void AddNodes(NodeMap& map, const NodeMapDescription& description) {
  map.Reserve(description.nodes.size());
  std::vector<NodeBase*> made;
  made.reserve(description.nodes.size());
  for (const PreparedNode& node : description.nodes) {
    std::unique_ptr<NodeBase> created = Create(map, node, made);
    made.push_back(created.get());
    map.AddNode(std::move(created));
  }
}

class DescriptionSource : public NodeSource {
 public:
  explicit DescriptionSource(std::shared_ptr<const NodeMapDescription> description)
      : description_(std::move(description)) {}

  void AddNodes(NodeMap& map) const override { GenApi::AddNodes(map, *description_); }
  bool HasPort(std::string_view name) const override {
    for (const PreparedNode& node : description_->nodes) {
      if (node.form == Form::kPort && node.xml->name == name) return true;
    }
    return false;
  }

 private:
  std::shared_ptr<const NodeMapDescription> description_;
};

}  // namespace

NodeMapDescription DescribeNodeMap(XmlElement root) {
  if (root.name != "RegisterDescription") {
    throw RUNTIME_EXCEPTION("The XML is not a RegisterDescription");
  }
  NodeMapDescription description;
  description.info = ReadDeviceInfo(root);
  Describer describer(description.nodes);
  for (XmlElement& element : root.children) describer.Element(element);
  return description;
}

std::unique_ptr<NodeMap> BuildNodeMap(const NodeMapDescription& description,
                                      const gcstring& deviceName) {
  auto map = std::make_unique<NodeMap>(deviceName, description.info);
  AddNodes(*map, description);
  map->Finish();
  return map;
}

std::unique_ptr<NodeMap> DeferNodeMap(std::shared_ptr<const NodeMapDescription> description,
                                      const gcstring& deviceName) {
  DeviceInfoData info = description->info;
  return std::make_unique<NodeMap>(deviceName, std::move(info),
                                   std::make_shared<DescriptionSource>(std::move(description)));
}

}  // namespace GenApi
