#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/genapi/api/inodemap.h"

namespace GenApi {

enum EContentType { ContentType_Xml = 0, ContentType_ZippedXml = 1 };
enum ECacheUsage_t {
  CacheUsage_Automatic = 0,
  CacheUsage_ForceWrite,
  CacheUsage_ForceRead,
  CacheUsage_Ignore
};

// Holds one device description (plain or zipped XML, from a file or memory)
// and builds node maps from it. The description is read on the first map and
// copies share it, so further maps are built without reading the XML again,
// from copies on several threads at once.
class CNodeMapFactory {
 public:
  CNodeMapFactory(EContentType ContentType, const gcstring& FileName,
                  ECacheUsage_t CacheUsage = CacheUsage_Automatic,
                  bool SuppressStringsOnLoad = false);
  CNodeMapFactory(EContentType ContentType, const void* pData, size_t DataSize,
                  ECacheUsage_t CacheUsage = CacheUsage_Automatic,
                  bool SuppressStringsOnLoad = false);

  // A new node map the caller owns (CNodeMapRef::_Initialize takes it over).
  INodeMap* CreateNodeMap(const gcstring& DeviceName = "Device", bool DoRelease = true);
  // The text that the XSL style sheet makes of the description.
  gcstring ApplyStyleSheet(const gcstring& XSLFileName);

 private:
  struct Description;
  std::shared_ptr<Description> description_;
};

}  // namespace GenApi
