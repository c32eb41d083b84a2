#include <gtest/gtest.h>
#include <zip.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/genapi/xml/zipdata.h"
#include "tests/platform/genapi/memoryport.h"
#include "tests/platform/genapi/testmap.h"

using namespace GenApi;
using namespace genapitest;

namespace {

const char* kXml =
    "<RegisterDescription ModelName='Cam' VendorName='Maker' ToolTip='tip' ProductGuid='P' "
    "VersionGuid='V' MajorVersion='1' MinorVersion='2' SubMinorVersion='3' "
    "SchemaMajorVersion='1' SchemaMinorVersion='1' SchemaSubMinorVersion='0'>"
    "<Port Name='Device'/><Integer Name='Width'><Value>640</Value></Integer>"
    "</RegisterDescription>";

std::string Zipped(const std::vector<std::pair<std::string, std::string>>& files) {
  const std::string path = testing::TempDir() + "/genapi_ref_test.zip";
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  for (const auto& [name, content] : files) {
    zip_file_add(archive, name.c_str(),
                 zip_source_buffer(archive, content.data(), content.size(), 0), 0);
  }
  zip_close(archive);
  return ReadWholeFile(path);
}

std::string Zipped(const std::string& name, const std::string& content) {
  return Zipped({{name, content}});
}

}  // namespace

TEST(CNodeMapRef, LoadsOnceSharesAndDestroys) {
  CNodeMapRef ref;
  EXPECT_THROW(ref._GetNode("Width"), GenICam::AccessException);
  EXPECT_THROW(ref._LoadXMLFromFile(testing::TempDir().c_str()), GenICam::RuntimeException);
  ref._LoadXMLFromString(kXml);
  EXPECT_EQ(ErrorOf<GenICam::RuntimeException>([&] { ref._LoadXMLFromString(kXml); }),
            "Node map already created");
  EXPECT_EQ(ref._GetDeviceName(), "Device");
  CNodeMapRef copy = ref;
  ref._Destroy();
  EXPECT_EQ(ref._Ptr, nullptr);
  EXPECT_EQ(CIntegerPtr(copy._GetNode("Width"))->GetValue(), 640);  // the copy keeps the map
  EXPECT_EQ(copy._GetNode("Nothing"), nullptr);
  EXPECT_FALSE(copy._Connect(nullptr, "NoSuchPort"));

  CNodeMapRef named("Camera2");
  named._Initialize(CNodeMapFactory(ContentType_Xml, kXml, strlen(kXml)).CreateNodeMap("Camera2"));
  EXPECT_EQ(named._GetDeviceName(), "Camera2");
  EXPECT_EQ(named._GetNode("Width")->GetDeviceName(), "Camera2");
}

TEST(CNodeMapRef, DeviceInfoComesFromTheRegisterDescription) {
  CNodeMapRef ref;
  ref._LoadXMLFromString(kXml);
  CPointer<IDeviceInfo, INodeMap> info(ref._Ptr);
  Version_t version{};
  Version_t schema{};
  info->GetDeviceVersion(version);
  info->GetSchemaVersion(schema);
  EXPECT_EQ(info->GetModelName() + "|" + info->GetVendorName() + "|" + info->GetToolTip() + "|" +
                info->GetProductGuid() + "|" + info->GetVersionGuid() + "|" +
                std::to_string(version.Major * 100 + version.Minor * 10 + version.SubMinor) + "|" +
                std::to_string(schema.Minor),
            "Cam|Maker|tip|P|V|123|1");
  // Each standard name space by its name, and none for another.
  std::string spaces;
  for (const char* space : {"IIDC", "GEV", "CL", "USB", "Other"}) {
    CNodeMapRef map;
    map._LoadXMLFromString((std::string("<RegisterDescription StandardNameSpace='") + space +
                            "'><Port Name='Device'/></RegisterDescription>")
                               .c_str());
    spaces += std::to_string(CPointer<IDeviceInfo, INodeMap>(map._Ptr)->GetStandardNameSpace());
  }
  EXPECT_EQ(spaces, "12340");
  CPointer<IDeviceInfo, INodeMap> none;
  EXPECT_EQ(ErrorOf<GenICam::LogicalErrorException>([&] { none->GetModelName(); }),
            "NULL pointer dereferenced");
}

TEST(CNodeMapRef, ZippedXmlFromDataAndFile) {
  const std::string zip = Zipped("Camera.xml", kXml);
  CNodeMapRef fromData;
  fromData._LoadXMLFromZIPData(zip.data(), zip.size());
  CNodeMapRef fromFile;
  fromFile._LoadXMLFromZIPFile((testing::TempDir() + "/genapi_ref_test.zip").c_str());
  CNodeMapRef factory;
  factory._Initialize(
      CNodeMapFactory(ContentType_ZippedXml, zip.data(), zip.size(), CacheUsage_Automatic, false)
          .CreateNodeMap());
  EXPECT_EQ(Values(fromData, "Width") + Values(fromFile, "Width") + Values(factory, "Width"),
            "Width=640Width=640Width=640");
  const std::string noXml = Zipped("readme.txt", "hello");
  CNodeMapRef empty;
  EXPECT_THROW(empty._LoadXMLFromZIPData(noXml.data(), noXml.size()), GenICam::RuntimeException);

  // Names differing only in case are different files.
  const std::string twoCases = Zipped({{"CAMERA.xml", "upper"}, {"camera.xml", "lower"}});
  const ZipData cases(twoCases.data(), twoCases.size());
  EXPECT_EQ(
      cases.Read("camera.xml") + cases.Read("CAMERA.xml") + std::to_string(cases.Has("Camera.xml")),
      "lowerupper0");
  // The description is the first file whose name ends so in either case, the bare suffix too.
  const std::string suffixes = Zipped({{"ml", "short"}, {".XmL", "bare"}, {"camera.xml", "named"}});
  EXPECT_EQ(ZipData(suffixes.data(), suffixes.size()).FirstWithSuffix(".xml"), ".XmL");
}

TEST(CNodeMapFactory, AppliesStyleSheets) {
  const std::string xsl = testing::TempDir() + "/genapi_names.xsl";
  std::ofstream(xsl) << "<xsl:stylesheet version='1.0' "
                        "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                        "<xsl:output method='text'/>"
                        "<xsl:template match='/'>"
                        "<xsl:for-each select='//Integer'>int <xsl:value-of select='@Name'/>;"
                        "</xsl:for-each></xsl:template></xsl:stylesheet>";
  CNodeMapFactory factory(ContentType_Xml, kXml, strlen(kXml));
  EXPECT_EQ(factory.ApplyStyleSheet(xsl.c_str()), "int Width;");
  EXPECT_THROW(factory.ApplyStyleSheet("/nonexistent.xsl"), GenICam::RuntimeException);
  std::remove(xsl.c_str());
}

// The maps of one factory, and of its copies on several threads at once, are built from one
// reading of the XML and are each other's strangers: values, entries and names stay per map.
TEST(CNodeMapFactory, MapsOfOneDescriptionAreIndependent) {
  const std::string xml =
      "<RegisterDescription ModelName='Cam' VendorName='Maker' SchemaMajorVersion='1' "
      "SchemaMinorVersion='1' SchemaSubMinorVersion='0'><Port Name='Device'/>"
      "<Integer Name='Width'><Value>640</Value></Integer>"
      "<Enumeration Name='Mode'><EnumEntry Name='Slow'><Value>0</Value></EnumEntry>"
      "<EnumEntry Name='Fast'><Value>1</Value></EnumEntry><Value>0</Value></Enumeration>"
      "</RegisterDescription>";
  CNodeMapFactory factory(ContentType_Xml, xml.data(), xml.size());
  std::vector<CNodeMapRef> maps(6);
  std::vector<std::thread> builders;
  for (size_t i = 0; i < maps.size(); ++i) {
    builders.emplace_back([&maps, factory, i]() mutable {
      const std::string name = "Camera" + std::to_string(i);
      maps[i] = CNodeMapRef(name.c_str());
      maps[i]._Initialize(factory.CreateNodeMap(name.c_str()));
    });
  }
  for (std::thread& builder : builders) builder.join();
  CIntegerPtr(maps[0]._GetNode("Width"))->SetValue(800);
  CEnumerationPtr(maps[0]._GetNode("Mode"))->FromString("Fast");
  for (size_t i = 1; i < maps.size(); ++i) {
    EXPECT_EQ(CIntegerPtr(maps[i]._GetNode("Width"))->GetValue(), 640);
    CEnumerationPtr mode(maps[i]._GetNode("Mode"));
    EXPECT_EQ(mode->ToString(), "Slow");
    NodeList_t entries;
    mode->GetEntries(entries);
    ASSERT_EQ(entries.size(), 2u);
    for (INode* entry : entries) {
      EXPECT_EQ(entry->GetDeviceName(), "Camera" + std::to_string(i));
      EXPECT_EQ(entry, maps[i]._GetNode(entry->GetName()));
    }
  }
  EXPECT_EQ(CIntegerPtr(maps[0]._GetNode("Width"))->GetValue(), 800);

  // A description that does not read fails every map, not only the first.
  const std::string bad = "<RegisterDescription><Integer Name='W'/><Integer Name='W'/>";
  CNodeMapFactory broken(ContentType_Xml, bad.data(), bad.size());
  EXPECT_THROW(broken.CreateNodeMap(), GenICam::RuntimeException);
  EXPECT_THROW(broken.CreateNodeMap(), GenICam::RuntimeException);
}

// Maps after the first build their nodes when first asked: until then a port connects by name,
// and afterwards the map answers as the first one does, however many threads ask at once.
TEST(CNodeMapFactory, LaterMapsAnswerAsTheFirst) {
  const std::string xml =
      "<RegisterDescription ModelName='Cam' VendorName='Maker' SchemaMajorVersion='1' "
      "SchemaMinorVersion='1' SchemaSubMinorVersion='0'><Port Name='Device'/><Port Name='Aux'/>"
      "<Category Name='Root'><pFeature>Gain</pFeature></Category>" +
      Reg("IntReg", "Gain", "0x10", "4",
          "<Endianess>LittleEndian</Endianess><pInvalidator>Level</pInvalidator>") +
      "<Integer Name='Level'><pValue>Gain</pValue></Integer>"
      "<Integer Name='Unused'><pValue>Missing</pValue></Integer></RegisterDescription>";
  CNodeMapFactory factory(ContentType_Xml, xml.data(), xml.size());
  CNodeMapRef first;
  first._Initialize(factory.CreateNodeMap());
  MemoryPort firstPort;
  firstPort.Put32(0x10, 7, false);
  ASSERT_TRUE(first._Connect(&firstPort, "Device"));

  CNodeMapRef later;
  later._Initialize(factory.CreateNodeMap());
  MemoryPort unused;
  MemoryPort port;
  port.Put32(0x10, 9, false);
  EXPECT_FALSE(later._Connect(&port, "Gain"));  // not a port
  EXPECT_FALSE(later._Connect(&port, "Nothing"));
  EXPECT_TRUE(later._Connect(&unused, "Device"));
  EXPECT_TRUE(later._Connect(&port, "Device"));  // the last connection holds
  EXPECT_TRUE(later._Connect(&unused, "Aux"));   // and another port's leaves it be
  later._InvalidateNodes();
  EXPECT_EQ(unused.reads, 0);

  std::vector<INode*> seen(4);
  std::vector<std::thread> readers;
  for (size_t i = 0; i < seen.size(); ++i) {
    readers.emplace_back([&later, &seen, i] {
      seen[i] = later._GetNode("Level");
      EXPECT_EQ(CIntegerPtr(seen[i])->GetValue(), 9);
    });
  }
  for (std::thread& reader : readers) reader.join();
  for (INode* node : seen) EXPECT_EQ(node, seen[0]);
  EXPECT_EQ(unused.reads, 0);

  // Each node's name, whether it is a feature and the nodes that depend on it.
  const auto describe = [](CNodeMapRef& map) {
    NodeList_t nodes;
    map._GetNodes(nodes);
    std::string out = std::to_string(map._Ptr->GetNumNodes()) + "\n";
    for (INode* node : nodes) {
      NodeList_t children;
      node->GetChildren(children, ctDependingNodes);
      out += node->GetName() + std::to_string(node->IsFeature()) + ":" + Names(children) + "\n";
    }
    return out;
  };
  EXPECT_EQ(describe(later), describe(first));
  EXPECT_EQ(CIntegerPtr(first._GetNode("Gain"))->GetValue(), 7);
  EXPECT_THROW(CIntegerPtr(later._GetNode("Unused"))->GetValue(), GenICam::GenericException);

  // Polling before the first question builds the map too.
  CNodeMapRef polled;
  polled._Initialize(factory.CreateNodeMap());
  polled._Poll(1000);
  EXPECT_NE(polled._GetNode("Gain"), nullptr);
}

TEST(Exceptions, CarryDescriptionSourceAndLine) {
  try {
    throw RUNTIME_EXCEPTION("value %d of %s", 3, "x");
  } catch (const GenICam::GenericException& e) {
    EXPECT_STREQ(e.GetDescription(), "value 3 of x");
    EXPECT_NE(std::string(e.GetSourceFileName()).find("nodemapref_test.cpp"), std::string::npos);
    EXPECT_GT(e.GetSourceLine(), 0u);
    EXPECT_NE(std::string(e.what()).find("value 3 of x"), std::string::npos);
  }
  const GenICam::RuntimeException direct("text", "genicamfirmwareupdate", 42);
  EXPECT_STREQ(direct.GetSourceFileName(), "genicamfirmwareupdate");
  EXPECT_EQ(direct.GetSourceLine(), 42u);
}
