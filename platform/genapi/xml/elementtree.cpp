#include "platform/genapi/xml/elementtree.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/genapi/base/exceptions.h"

namespace GenApi {
namespace {

std::string_view View(const xmlChar* begin, const xmlChar* end) {
  return {reinterpret_cast<const char*>(begin), static_cast<size_t>(end - begin)};
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Attribute values keep character and predefined entity references when
// entities are not substituted; they are decoded here.
std::string Decoded(std::string_view value) {
  if (value.find('&') == std::string_view::npos) return std::string(value);
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size();) {
    const size_t semicolon = value[i] == '&' ? value.find(';', i) : std::string_view::npos;
    if (semicolon == std::string_view::npos) {
      out += value[i++];
      continue;
    }
    const std::string_view name = value.substr(i + 1, semicolon - i - 1);
    unsigned long code = 0;
    if (name == "amp") {
      code = '&';
    } else if (name == "lt") {
      code = '<';
    } else if (name == "gt") {
      code = '>';
    } else if (name == "quot") {
      code = '"';
    } else if (name == "apos") {
      code = '\'';
    } else if (name.size() > 1 && name[0] == '#') {
      const std::string digits(name.substr(name[1] == 'x' ? 2 : 1));
      char* end = nullptr;
      code = std::strtoul(digits.c_str(), &end, name[1] == 'x' ? 16 : 10);
      if (digits.empty() || *end != '\0') code = 0;
    }
    if (code == 0 || code > 0x10FFFF) {  // not one of ours: keep it as written
      out += value[i++];
      continue;
    }
    // UTF-8, as libxml2 gives every other text.
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
    i = semicolon + 1;
  }
  return out;
}

// Receives the parser's events and grows the tree. Nothing may be thrown
// through libxml2's frames, so a failure stops the parser and is kept.
struct Builder {
  xmlParserCtxtPtr context = nullptr;
  XmlElement document;
  std::vector<XmlElement*> open{&document};
  bool failed = false;

  template <class F>
  void Guarded(F&& f) {
    if (failed) return;
    try {
      f();
    } catch (...) {
      failed = true;
      xmlStopParser(context);
    }
  }
};

Builder& Of(void* context) {
  return *static_cast<Builder*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

void Start(void* context, const xmlChar* localName, const xmlChar*, const xmlChar*, int,
           const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
  Builder& b = Of(context);
  b.Guarded([&] {
    XmlElement& parent = *b.open.back();
    XmlElement& element = parent.children.emplace_back();
    element.name = reinterpret_cast<const char*>(localName);
    element.line = xmlSAX2GetLineNumber(context);
    element.attributes.reserve(static_cast<size_t>(attributeCount));
    for (int i = 0; i < attributeCount; ++i) {
      const xmlChar** a = attributes + 5 * i;  // name, prefix, URI, value, end
      element.attributes.emplace_back(reinterpret_cast<const char*>(a[0]),
                                      Decoded(View(a[3], a[4])));
    }
    b.open.push_back(&element);
  });
}

void End(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  Builder& b = Of(context);
  if (!b.failed && b.open.size() > 1) b.open.pop_back();
}

void Text(void* context, const xmlChar* text, int length) {
  Builder& b = Of(context);
  b.Guarded([&] {
    const std::string_view chunk(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    std::string& into = b.open.back()->text;
    // Every text is trimmed later; indentation between elements is not kept.
    if (into.empty() && IsBlank(chunk)) return;
    into += chunk;
  });
}

using ContextPtr = std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)>;

}  // namespace

std::string XmlElement::Attribute(std::string_view key) const {
  for (const auto& [k, v] : attributes) {
    if (k == key) return v;
  }
  return {};
}

XmlElement ParseElements(const std::string& xml) {
  xmlInitParser();  // once per process; node maps may be loaded on several threads
  ContextPtr context(xmlCreateMemoryParserCtxt(xml.data(), static_cast<int>(xml.size())),
                     xmlFreeParserCtxt);
  if (!context) throw RUNTIME_EXCEPTION("The XML does not parse: out of memory");
  xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  // The default handlers build a document; ours build the element tree.
  xmlSAXHandler* sax = context->sax;
  sax->startElementNs = Start;
  sax->endElementNs = End;
  sax->characters = Text;
  sax->cdataBlock = Text;
  sax->ignorableWhitespace = Text;
  sax->comment = nullptr;
  sax->processingInstruction = nullptr;
  sax->reference = nullptr;
  Builder builder;
  builder.context = context.get();
  context->_private = &builder;
  const int result = xmlParseDocument(context.get());
  if (context->myDoc != nullptr) {
    xmlFreeDoc(context->myDoc);
    context->myDoc = nullptr;
  }
  if (builder.failed) throw BAD_ALLOC_EXCEPTION("Out of memory while reading the XML");
  if (result != 0 || !context->wellFormed) {
    const xmlError* error = xmlCtxtGetLastError(context.get());
    throw RUNTIME_EXCEPTION("The XML does not parse: %s (line %d)",
                            error && error->message ? error->message : "unknown error",
                            error ? error->line : 0);
  }
  if (builder.document.children.size() != 1) {
    throw RUNTIME_EXCEPTION("The XML has no single root element");
  }
  return std::move(builder.document.children.front());
}

}  // namespace GenApi
