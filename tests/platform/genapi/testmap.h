#pragma once

#include <string>

#include "platform/genapi/genapi.h"
#include "tests/platform/genapi/memoryport.h"

namespace genapitest {

// A node map from XML body text, connected to a memory port.
struct TestMap {
  explicit TestMap(const std::string& body) {
    ref._LoadXMLFromString(
        ("<RegisterDescription ModelName=\"TestModel\" VendorName=\"TestVendor\" "
         "ToolTip=\"A test device\" ProductGuid=\"P-1\" VersionGuid=\"V-1\" "
         "StandardNameSpace=\"GEV\" SchemaMajorVersion=\"1\" SchemaMinorVersion=\"1\" "
         "SchemaSubMinorVersion=\"0\" MajorVersion=\"2\" MinorVersion=\"3\" SubMinorVersion=\"4\">"
         "<Port Name=\"Device\"/>" +
         body + "</RegisterDescription>")
            .c_str());
    ref._Connect(&port, "Device");
  }
  GenApi::INode* Node(const char* name) { return ref._GetNode(name); }

  MemoryPort port;
  GenApi::CNodeMapRef ref;
};

}  // namespace genapitest
