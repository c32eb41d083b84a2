#include "platform/genapi/nodemap/nodemapfactory.h"

#include "platform/genapi/base/exceptions.h"
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

CNodeMapFactory::CNodeMapFactory(EContentType ContentType, const gcstring& FileName, ECacheUsage_t,
                                 bool)
    : xml_(Unpack(ContentType, ReadWholeFile(FileName.str()))) {}

CNodeMapFactory::CNodeMapFactory(EContentType ContentType, const void* pData, size_t DataSize,
                                 ECacheUsage_t, bool) {
  if (pData == nullptr && DataSize != 0) {
    throw INVALID_ARGUMENT_EXCEPTION("No data for the node map");
  }
  xml_ = Unpack(ContentType, std::string(static_cast<const char*>(pData), DataSize));
}

INodeMap* CNodeMapFactory::CreateNodeMap(const gcstring& DeviceName, bool) {
  return LoadNodeMap(xml_, DeviceName).release();
}

gcstring CNodeMapFactory::ApplyStyleSheet(const gcstring& XSLFileName) {
  return ApplyXslt(xml_, XSLFileName.str());
}

}  // namespace GenApi
