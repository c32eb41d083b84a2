#include "platform/genapi/xml/stylesheet.h"

#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <filesystem>
#include <memory>

#include "platform/genapi/base/exceptions.h"
#include "platform/genapi/xml/xmldocument.h"

namespace GenApi {

std::string ApplyXslt(const std::string& xml, const std::string& styleSheetPath) {
  // libxslt would print its own complaint about a missing file on stderr.
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(styleSheetPath, ignored)) {
    throw RUNTIME_EXCEPTION("Cannot load the style sheet '%s'", styleSheetPath.c_str());
  }
  std::unique_ptr<xsltStylesheet, void (*)(xsltStylesheetPtr)> sheet(
      xsltParseStylesheetFile(reinterpret_cast<const xmlChar*>(styleSheetPath.c_str())),
      xsltFreeStylesheet);
  if (!sheet) {
    throw RUNTIME_EXCEPTION("Cannot load the style sheet '%s'", styleSheetPath.c_str());
  }
  const XmlDocument doc = ParseXml(xml, "genicam.xml");
  if (!doc) throw RUNTIME_EXCEPTION("The XML does not parse");
  const XmlDocument result(xsltApplyStylesheet(sheet.get(), doc.get(), nullptr), xmlFreeDoc);
  if (!result) {
    throw RUNTIME_EXCEPTION("The style sheet '%s' failed", styleSheetPath.c_str());
  }
  xmlChar* text = nullptr;
  int length = 0;
  if (xsltSaveResultToString(&text, &length, result.get(), sheet.get()) != 0) {
    throw RUNTIME_EXCEPTION("Cannot write the result of '%s'", styleSheetPath.c_str());
  }
  std::string output =
      text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length))
           : std::string();
  xmlFree(text);
  return output;
}

}  // namespace GenApi
