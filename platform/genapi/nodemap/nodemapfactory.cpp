#include "platform/genapi/nodemap/nodemapfactory.h"

#include <mutex>

#include "platform/genapi/base/exceptions.h"
#include "platform/genapi/xml/elementtree.h"
#include "platform/genapi/xml/stylesheet.h"
#include "platform/genapi/xml/xmlloader.h"
#include "platform/genapi/xml/zipdata.h"

namespace GenApi {
namespace {

std::string Unpack(EContentType type, std::string data) {
  if (type != ContentType_ZippedXml) return data;
  ZipData zip(data.data(), data.size());
  return zip.Read(zip.FirstWithSuffix(".xml"));
}

}  // namespace

struct CNodeMapFactory::Description {
  explicit Description(std::string text) : xml(std::move(text)) {}

  const std::string xml;
  std::mutex mutex;
  std::shared_ptr<const NodeMapDescription> nodes;
  // A map of it has been built: its faults, if any, have shown.
  bool built = false;
};

CNodeMapFactory::CNodeMapFactory(EContentType ContentType, const gcstring& FileName, ECacheUsage_t,
                                 bool)
    : description_(
          std::make_shared<Description>(Unpack(ContentType, ReadWholeFile(FileName.str())))) {}

CNodeMapFactory::CNodeMapFactory(EContentType ContentType, const void* pData, size_t DataSize,
                                 ECacheUsage_t, bool) {
  if (pData == nullptr && DataSize != 0) {
    throw INVALID_ARGUMENT_EXCEPTION("No data for the node map");
  }
  description_ = std::make_shared<Description>(
      Unpack(ContentType, std::string(static_cast<const char*>(pData), DataSize)));
}

INodeMap* CNodeMapFactory::CreateNodeMap(const gcstring& DeviceName, bool) {
  Description& description = *description_;
  std::shared_ptr<const NodeMapDescription> nodes;
  bool built = false;
  {
    // A description that does not parse raises here, and again on the next try.
    std::lock_guard lock(description.mutex);
    if (description.nodes == nullptr) {
      description.nodes = std::make_shared<const NodeMapDescription>(
          DescribeNodeMap(ParseElements(description.xml)));
    }
    nodes = description.nodes;
    built = description.built;
  }
  // The first map is built at once, so that a bad description raises here;
  // later ones build their nodes when first asked.
  if (built) return DeferNodeMap(std::move(nodes), DeviceName).release();
  std::unique_ptr<NodeMap> map = BuildNodeMap(*nodes, DeviceName);
  std::lock_guard lock(description.mutex);
  description.built = true;
  return map.release();
}

gcstring CNodeMapFactory::ApplyStyleSheet(const gcstring& XSLFileName) {
  return ApplyXslt(description_->xml, XSLFileName.str());
}

}  // namespace GenApi
