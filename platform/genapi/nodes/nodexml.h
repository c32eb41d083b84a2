#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace GenApi {

// One child element of a node's XML: its name, text and attributes.
struct XmlProperty {
  std::string name;
  std::string text;
  std::vector<std::pair<std::string, std::string>> attributes;

  const std::string* Attribute(const std::string& key) const {
    for (const auto& [k, v] : attributes) {
      if (k == key) return &v;
    }
    return nullptr;
  }
};

// A node as the XML describes it, before references are resolved.
struct NodeXml {
  std::string kind;  // element name: Integer, IntReg, ...
  std::string name;
  std::string nameSpace;
  std::vector<XmlProperty> properties;
};

// Nodes only read their XML, so the maps of one description share it.
using SharedNodeXml = std::shared_ptr<const NodeXml>;

}  // namespace GenApi
