#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>

namespace GenApi {

using XmlDocument = std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)>;

// Parses XML text without network access or messages on stderr; null when it
// does not parse (xmlGetLastError tells why).
XmlDocument ParseXml(const std::string& text, const char* name);

// An attribute's value, empty when the element has none.
std::string XmlAttribute(const xmlNode* node, const char* name);
// The text inside an element.
std::string XmlContent(const xmlNode* node);

}  // namespace GenApi
