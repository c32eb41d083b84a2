#include "platform/genapi/xml/xmlloader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <functional>
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
#include "platform/genapi/xml/xmldocument.h"

namespace GenApi {
namespace {

std::string_view Name(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

// The text of an element or attribute whose content is one text or CDATA
// node is read in place; anything else is gathered by libxml2.
const xmlChar* SingleText(const xmlNode* first) {
  if (first == nullptr) return reinterpret_cast<const xmlChar*>("");
  if (first->next == nullptr &&
      (first->type == XML_TEXT_NODE || first->type == XML_CDATA_SECTION_NODE)) {
    return first->content;
  }
  return nullptr;
}

std::string Trimmed(const xmlNode* node) {
  if (const xmlChar* text = SingleText(node->children)) {
    return Trimmed(reinterpret_cast<const char*>(text));
  }
  return Trimmed(XmlContent(node));
}

std::string Value(const xmlNode* element, const xmlAttr* attribute) {
  if (const xmlChar* text = SingleText(attribute->children)) {
    return reinterpret_cast<const char*>(text);
  }
  return XmlAttribute(element, reinterpret_cast<const char*>(attribute->name));
}

// An attribute's value, empty when the element has none.
std::string Attribute(const xmlNode* element, std::string_view name) {
  for (const xmlAttr* a = element->properties; a != nullptr; a = a->next) {
    if (reinterpret_cast<const char*>(a->name) == name) return Value(element, a);
  }
  return {};
}

// About the number of nodes the file defines, to size the map once.
size_t NamedElements(const xmlNode* parent) {
  size_t count = 0;
  for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    for (const xmlAttr* a = child->properties; a != nullptr; a = a->next) {
      if (reinterpret_cast<const char*>(a->name) == std::string_view("Name")) ++count;
    }
    count += NamedElements(child);
  }
  return count;
}

size_t ElementCount(const xmlNode* parent) {
  size_t count = 0;
  for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) ++count;
  }
  return count;
}

XmlProperty ReadProperty(const xmlNode* element) {
  XmlProperty property{std::string(Name(element)), Trimmed(element), {}};
  for (const xmlAttr* a = element->properties; a != nullptr; a = a->next) {
    property.attributes.emplace_back(reinterpret_cast<const char*>(a->name), Value(element, a));
  }
  return property;
}

template <class F>
void ForEachElement(const xmlNode* parent, F&& f) {
  for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) f(child);
  }
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

  void Element(const xmlNode* element) {
    const std::string_view kind = Name(element);
    if (kind == "Group") {
      ForEachElement(element, [this](const xmlNode* child) { Element(child); });
    } else if (kind == "StructReg") {
      StructReg(element);
    } else if (kind == "Enumeration") {
      Enumeration(element);
    } else if (IsNodeKind(kind)) {
      NodeXml xml = Describe(element);
      map_.AddNode(Create(std::move(xml)));
    } else {
      throw RUNTIME_EXCEPTION("Unknown element '%s' (line %u)", std::string(kind).c_str(),
                              static_cast<unsigned>(xmlGetLineNo(element)));
    }
  }

 private:
  NodeXml Describe(const xmlNode* element) {
    NodeXml xml{std::string(Name(element)),
                Attribute(element, "Name"),
                Attribute(element, "NameSpace"),
                {}};
    xml.properties.reserve(ElementCount(element));
    ForEachElement(element, [&](const xmlNode* child) {
      if (Name(child) == "IntSwissKnife") {
        // An address term computed in place: a node of its own, named by the
        // file or after its register.
        NodeXml address = Describe(child);
        if (address.name.empty())
          address.name = xml.name + "_Address" + std::to_string(++anonymous_);
        xml.properties.push_back(XmlProperty{"pAddress", address.name, {}});
        map_.AddNode(Create(std::move(address)));
      } else {
        xml.properties.push_back(ReadProperty(child));
      }
    });
    return xml;
  }

  void StructReg(const xmlNode* element) {
    std::vector<XmlProperty> shared;
    ForEachElement(element, [&](const xmlNode* child) {
      if (Name(child) != "StructEntry") shared.push_back(ReadProperty(child));
    });
    ForEachElement(element, [&](const xmlNode* child) {
      if (Name(child) != "StructEntry") return;
      NodeXml xml = Describe(child);
      xml.kind = "StructEntry";
      // The entry's own elements come first, so they win over the shared ones.
      xml.properties.insert(xml.properties.end(), shared.begin(), shared.end());
      map_.AddNode(std::make_unique<IntRegNode>(map_, std::move(xml), true));
    });
  }

  void Enumeration(const xmlNode* element) {
    NodeXml xml{"Enumeration", Attribute(element, "Name"), Attribute(element, "NameSpace"), {}};
    std::vector<EnumEntryNode*> entries;
    ForEachElement(element, [&](const xmlNode* child) {
      if (Name(child) != "EnumEntry") {
        xml.properties.push_back(ReadProperty(child));
        return;
      }
      NodeXml entryXml = Describe(child);
      const std::string symbolic = entryXml.name;
      entryXml.name = "EnumEntry_" + xml.name + "_" + symbolic;
      auto entry = std::make_unique<EnumEntryNode>(map_, std::move(entryXml), symbolic);
      entries.push_back(entry.get());
      map_.AddNode(std::move(entry));
    });
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

Version_t ReadVersion(const xmlNode* root, const char* major, const char* minor,
                      const char* subMinor) {
  auto number = [&](const char* name) {
    const auto value = TryParseInteger(XmlAttribute(root, name));
    return static_cast<uint16_t>(value ? *value : 0);
  };
  return Version_t{number(major), number(minor), number(subMinor)};
}

DeviceInfoData ReadDeviceInfo(const xmlNode* root) {
  DeviceInfoData info;
  info.modelName = XmlAttribute(root, "ModelName");
  info.vendorName = XmlAttribute(root, "VendorName");
  info.toolTip = XmlAttribute(root, "ToolTip");
  info.productGuid = XmlAttribute(root, "ProductGuid");
  info.versionGuid = XmlAttribute(root, "VersionGuid");
  const std::string space = XmlAttribute(root, "StandardNameSpace");
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
  xmlInitParser();  // once per process; node maps may be loaded on several threads
  // Every text is trimmed, so blank text between elements need not be kept.
  XmlDocument doc = ParseXml(xml, "genicam.xml", XML_PARSE_NOBLANKS | XML_PARSE_COMPACT);
  if (!doc) {
    const xmlError* error = xmlGetLastError();
    throw RUNTIME_EXCEPTION("The XML does not parse: %s (line %d)",
                            error && error->message ? error->message : "unknown error",
                            error ? error->line : 0);
  }
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  if (root == nullptr || Name(root) != "RegisterDescription") {
    throw RUNTIME_EXCEPTION("The XML is not a RegisterDescription");
  }
  auto map = std::make_unique<NodeMap>(deviceName, ReadDeviceInfo(root));
  map->Reserve(NamedElements(root));
  Loader loader(*map);
  ForEachElement(root, [&](const xmlNode* element) { loader.Element(element); });
  map->Finish();
  return map;
}

}  // namespace GenApi
