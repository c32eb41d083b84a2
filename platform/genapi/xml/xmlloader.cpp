#include "platform/genapi/xml/xmlloader.h"

#include <string>
#include <string_view>

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

// About the number of nodes the file defines, to size the map once.
size_t NamedElements(const XmlElement& parent) {
  size_t count = 0;
  for (const XmlElement& child : parent.children) {
    for (const auto& attribute : child.attributes) {
      if (attribute.first == "Name") ++count;
    }
    count += NamedElements(child);
  }
  return count;
}

// The element's name, text and attributes move into the property.
XmlProperty ReadProperty(XmlElement& element) {
  Trim(element.text);
  return XmlProperty{std::move(element.name), std::move(element.text),
                     std::move(element.attributes)};
}

bool IsNodeKind(std::string_view kind) {
  static const char* const kKinds[] = {"Category",     "Integer",      "Float",         "Boolean",
                                       "Command",      "Enumeration",  "String",        "Register",
                                       "IntReg",       "MaskedIntReg", "FloatReg",      "StringReg",
                                       "StructReg",    "SwissKnife",   "IntSwissKnife", "Converter",
                                       "IntConverter", "Port",         "Group"};
  for (const char* k : kKinds) {
    if (kind == k) return true;
  }
  return false;
}

class Loader {
 public:
  explicit Loader(NodeMap& map) : map_(map) {}

  void Element(XmlElement& element) {
    const std::string_view kind = element.name;
    if (kind == "Group") {
      for (XmlElement& child : element.children) Element(child);
    } else if (kind == "StructReg") {
      StructReg(element);
    } else if (kind == "Enumeration") {
      Enumeration(element);
    } else if (IsNodeKind(kind)) {
      NodeXml xml = Describe(element);
      map_.AddNode(Create(std::move(xml)));
    } else {
      throw RUNTIME_EXCEPTION("Unknown element '%s' (line %d)", element.name.c_str(), element.line);
    }
  }

 private:
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
        map_.AddNode(Create(std::move(address)));
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
      map_.AddNode(std::make_unique<IntRegNode>(map_, std::move(xml), true));
    }
  }

  void Enumeration(XmlElement& element) {
    NodeXml xml{"Enumeration", element.Attribute("Name"), element.Attribute("NameSpace"), {}};
    std::vector<EnumEntryNode*> entries;
    for (XmlElement& child : element.children) {
      if (child.name != "EnumEntry") {
        xml.properties.push_back(ReadProperty(child));
        continue;
      }
      NodeXml entryXml = Describe(child);
      const std::string symbolic = entryXml.name;
      entryXml.name = "EnumEntry_" + xml.name + "_" + symbolic;
      auto entry = std::make_unique<EnumEntryNode>(map_, std::move(entryXml), symbolic);
      entries.push_back(entry.get());
      map_.AddNode(std::move(entry));
    }
    map_.AddNode(std::make_unique<EnumerationNode>(map_, std::move(xml), std::move(entries)));
  }

  std::unique_ptr<NodeBase> Create(NodeXml xml) {
    const std::string_view kind = xml.kind;
    if (kind == "Category") return std::make_unique<CategoryNode>(map_, std::move(xml));
    if (kind == "Integer") return std::make_unique<IntegerNode>(map_, std::move(xml));
    if (kind == "Float") return std::make_unique<FloatNode>(map_, std::move(xml));
    if (kind == "Boolean") return std::make_unique<BooleanNode>(map_, std::move(xml));
    if (kind == "Command") return std::make_unique<CommandNode>(map_, std::move(xml));
    if (kind == "String") return std::make_unique<StringNode>(map_, std::move(xml));
    if (kind == "Register") return std::make_unique<RegisterNode>(map_, std::move(xml));
    if (kind == "IntReg") return std::make_unique<IntRegNode>(map_, std::move(xml), false);
    if (kind == "MaskedIntReg") return std::make_unique<IntRegNode>(map_, std::move(xml), true);
    if (kind == "FloatReg") return std::make_unique<FloatRegNode>(map_, std::move(xml));
    if (kind == "StringReg") return std::make_unique<StringRegNode>(map_, std::move(xml));
    if (kind == "SwissKnife") return std::make_unique<SwissKnifeNode>(map_, std::move(xml));
    if (kind == "IntSwissKnife") return std::make_unique<IntSwissKnifeNode>(map_, std::move(xml));
    if (kind == "Converter") return std::make_unique<ConverterNode>(map_, std::move(xml));
    if (kind == "IntConverter") return std::make_unique<IntConverterNode>(map_, std::move(xml));
    return std::make_unique<PortNode>(map_, std::move(xml));
  }

  NodeMap& map_;
  int anonymous_ = 0;
};

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

}  // namespace

std::unique_ptr<NodeMap> LoadNodeMap(const std::string& xml, const gcstring& deviceName) {
  XmlElement root = ParseElements(xml);
  if (root.name != "RegisterDescription") {
    throw RUNTIME_EXCEPTION("The XML is not a RegisterDescription");
  }
  auto map = std::make_unique<NodeMap>(deviceName, ReadDeviceInfo(root));
  map->Reserve(NamedElements(root));
  Loader loader(*map);
  for (XmlElement& element : root.children) loader.Element(element);
  map->Finish();
  return map;
}

}  // namespace GenApi
