#include "platform/genapi/firmwareupdate/gufarchive.h"

#include <zip.h>

#include <memory>

#include "platform/genapi/base/exceptions.h"
#include "platform/genapi/nodes/textconvert.h"
#include "platform/genapi/xml/xmldocument.h"
#include "platform/genapi/xml/zipdata.h"

namespace GenICam {
namespace {

using GenApi::XmlAttribute;
using GenApi::XmlContent;

constexpr const char* kManifest = "manifest.xml";

bool Is(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, BAD_CAST name) == 0;
}

int64_t Milliseconds(const std::string& text, const std::string& path) {
  if (text.empty()) return 0;
  const auto value = GenApi::TryParseInteger(text);
  if (!value || *value < 0) {
    throw RUNTIME_EXCEPTION("'%s' is not a valid GUF file: bad delay '%s'", path.c_str(),
                            text.c_str());
  }
  return *value;
}

CFirmwareUpdateInfo ReadUpdate(const xmlNode* element, const std::string& path) {
  CFirmwareUpdateInfo info;
  info.name = XmlAttribute(element, "Name");
  info.version = XmlAttribute(element, "Version");
  info.payload = XmlAttribute(element, "Payload");
  info.targetRegister = XmlAttribute(element, "Register");
  info.resetDelay = Milliseconds(XmlAttribute(element, "ResetDelay"), path);
  info.reconnectDelay = Milliseconds(XmlAttribute(element, "ReconnectDelay"), path);
  info.gufPath = path;
  for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (Is(child, "Model")) info.models.push_back(XmlContent(child));
    if (Is(child, "Vendor")) info.vendor = XmlContent(child);
    if (Is(child, "Description")) info.description = XmlContent(child);
  }
  if (info.models.empty() || info.payload.empty() || info.targetRegister.empty()) {
    throw RUNTIME_EXCEPTION(
        "'%s' is not a valid GUF file: the update '%s' needs Model, Payload and Register",
        path.c_str(), info.name.c_str());
  }
  return info;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

GufArchive::GufArchive(const std::string& path) : path_(path) {
  try {
    data_ = GenApi::ReadWholeFile(path);
  } catch (const GenericException&) {
    throw RUNTIME_EXCEPTION("'%s' is not a valid GUF file: it cannot be read", path.c_str());
  }
  std::unique_ptr<GenApi::ZipData> zip;
  try {
    zip = std::make_unique<GenApi::ZipData>(data_.data(), data_.size());
  } catch (const GenericException&) {
    throw RUNTIME_EXCEPTION("'%s' is not a valid GUF file: it is not a zip archive", path.c_str());
  }
  if (!zip->Has(kManifest)) {
    throw RUNTIME_EXCEPTION("'%s' is not a valid GUF file: it has no %s", path.c_str(), kManifest);
  }
  const std::string manifest = zip->Read(kManifest);
  const GenApi::XmlDocument doc = GenApi::ParseXml(manifest, kManifest);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr || !Is(root, "FirmwareUpdate")) {
    throw RUNTIME_EXCEPTION("'%s' is not a valid GUF file: the manifest is not a FirmwareUpdate",
                            path.c_str());
  }
  for (const xmlNode* child = root->children; child != nullptr; child = child->next) {
    if (!Is(child, "Update")) continue;
    CFirmwareUpdateInfo info = ReadUpdate(child, path);
    if (!zip->Has(info.payload)) {
      throw RUNTIME_EXCEPTION("'%s' is not a valid GUF file: the payload '%s' is missing",
                              path.c_str(), info.payload.c_str());
    }
    updates_.push_back(std::move(info));
  }
  if (updates_.empty()) {
    throw RUNTIME_EXCEPTION("'%s' is not a valid GUF file: it holds no update", path.c_str());
  }
}

std::string GufArchive::Payload(const CFirmwareUpdateInfo& info) const {
  return GenApi::ZipData(data_.data(), data_.size()).Read(info.payload);
}

void WriteGufFile(const std::string& path, const std::vector<CFirmwareUpdateInfo>& updates,
                  const std::vector<std::string>& payloads) {
  std::string manifest = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<FirmwareUpdate>\n";
  for (const CFirmwareUpdateInfo& u : updates) {
    manifest += "  <Update Name=\"" + Escape(u.name) + "\" Version=\"" + Escape(u.version) +
                "\" Payload=\"" + Escape(u.payload) + "\" Register=\"" + Escape(u.targetRegister) +
                "\" ResetDelay=\"" + std::to_string(u.resetDelay) + "\" ReconnectDelay=\"" +
                std::to_string(u.reconnectDelay) + "\">\n";
    for (const std::string& model : u.models)
      manifest += "    <Model>" + Escape(model) + "</Model>\n";
    if (!u.vendor.empty()) manifest += "    <Vendor>" + Escape(u.vendor) + "</Vendor>\n";
    if (!u.description.empty()) {
      manifest += "    <Description>" + Escape(u.description) + "</Description>\n";
    }
    manifest += "  </Update>\n";
  }
  manifest += "</FirmwareUpdate>\n";

  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) throw RUNTIME_EXCEPTION("Cannot create '%s'", path.c_str());
  // libzip reads the buffers when the archive is closed, so they live until then.
  std::vector<std::string> contents{manifest};
  std::vector<std::string> names{kManifest};
  for (size_t i = 0; i < updates.size() && i < payloads.size(); ++i) {
    contents.push_back(payloads[i]);
    names.push_back(updates[i].payload);
  }
  for (size_t i = 0; i < contents.size(); ++i) {
    zip_source_t* source = zip_source_buffer(archive, contents[i].data(), contents[i].size(), 0);
    if (source == nullptr ||
        zip_file_add(archive, names[i].c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
      if (source != nullptr) zip_source_free(source);
      zip_discard(archive);
      throw RUNTIME_EXCEPTION("Cannot add '%s' to '%s'", names[i].c_str(), path.c_str());
    }
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    throw RUNTIME_EXCEPTION("Cannot write '%s'", path.c_str());
  }
}

}  // namespace GenICam
