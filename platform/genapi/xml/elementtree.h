#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace GenApi {

// An element of a device description as the loader needs it: read straight
// from the parser's events, so no document tree of libxml2 is built and its
// texts can be moved on.
struct XmlElement {
  std::string name;
  std::string text;  // text and CDATA, blank text before any other left out
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<XmlElement> children;
  int line = 0;

  // The attribute's value, empty when the element has none.
  std::string Attribute(std::string_view key) const;
};

// The root element of XML text; bad XML raises a RuntimeException that says
// why and on which line.
XmlElement ParseElements(const std::string& xml);

}  // namespace GenApi
