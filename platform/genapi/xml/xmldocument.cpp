#include "platform/genapi/xml/xmldocument.h"

#include <libxml/parser.h>

namespace GenApi {

XmlDocument ParseXml(const std::string& text, const char* name) {
  return XmlDocument(xmlReadMemory(text.data(), static_cast<int>(text.size()), name, nullptr,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                     xmlFreeDoc);
}

std::string XmlAttribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return {};
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

std::string XmlContent(const xmlNode* node) {
  xmlChar* value = xmlNodeGetContent(node);
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

}  // namespace GenApi
