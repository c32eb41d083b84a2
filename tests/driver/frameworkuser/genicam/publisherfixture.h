// A publisher of a test system with small node maps, in an install folder of the test's own.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "driver/frameworkuser/genicam/featurebrowser/nodemappublisher.h"
#include "platform/os/registry/registry.h"
#include "tests/platform/genapi/memoryport.h"

namespace genicamtest {

inline const char* const kPublishedXml =
    "<Category Name='Root'><pFeature>Width</pFeature><pFeature>Start</pFeature>"
    "<pFeature>Lut</pFeature><pFeature>Address</pFeature><pFeature>Temperature</pFeature>"
    "<pFeature>Broken</pFeature></Category>"
    "<Integer Name='Width'><pValue>WidthReg</pValue><Min>16</Min><Max>1024</Max></Integer>"
    "<IntReg Name='WidthReg'><Address>0x0</Address><Length>4</Length><AccessMode>RW</AccessMode>"
    "<pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></IntReg>"
    "<Command Name='Start'><pValue>StartReg</pValue><CommandValue>1</CommandValue></Command>"
    "<IntReg Name='StartReg'><Address>0x4</Address><Length>4</Length><AccessMode>RW</AccessMode>"
    "<pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></IntReg>"
    "<Register Name='Lut'><Address>0x10</Address><Length>3</Length><AccessMode>RW</AccessMode>"
    "<pPort>Device</pPort></Register>"
    "<Integer Name='Address'><Value>0</Value><Representation>IPV4Address</Representation>"
    "</Integer>"
    "<IntReg Name='Temperature'><Address>0x20</Address><Length>4</Length>"
    "<AccessMode>RO</AccessMode><pPort>Device</pPort><PollingTime>100</PollingTime>"
    "<Cachable>NoCache</Cachable><Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess>"
    "</IntReg>"
    "<IntReg Name='Broken'><Address>0x100</Address><Length>4</Length><AccessMode>RO</AccessMode>"
    "<pPort>Device</pPort><Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></IntReg>";

// Memory registers; address 0x100 fails as a broken device would.
class FlakyPort : public genapitest::MemoryPort {
 public:
  void Read(void* buffer, int64_t address, int64_t length) override {
    if (address == 0x100) throw RUNTIME_EXCEPTION("The device does not answer");
    MemoryPort::Read(buffer, address, length);
  }
};

// A node map and the registers behind it, kept alive by the map's holder.
inline std::shared_ptr<GenApi::CNodeMapRef> MakePublishedMap(const std::string& model) {
  struct Device {
    FlakyPort port;
    GenApi::CNodeMapRef ref{"Device"};
  };
  auto device = std::make_shared<Device>();
  device->ref._LoadXMLFromString(("<RegisterDescription ModelName=\"" + model +
                                  "\" VendorName=\"Test\"><Port Name=\"Device\"/>" + kPublishedXml +
                                  "</RegisterDescription>")
                                     .c_str());
  device->ref._Connect(&device->port, "Device");
  device->port.Put32(0, 640, false);
  return std::shared_ptr<GenApi::CNodeMapRef>(device, &device->ref);
}

// The install folder of the process (the driver keeps the first one it finds): the browser
// program's stand-in and the web files.
inline std::filesystem::path TestInstallFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorinstall.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return std::filesystem::path();
    const std::filesystem::path root(pattern);
    const auto tools = root / "tools" / "featurebrowser";
    std::filesystem::create_directories(tools / "resources" / "app" / "dist");
    std::ofstream(tools / "featurebrowser.exe") << "browser\n";
    std::ofstream(tools / "resources" / "app" / "dist" / "index.html")
        << "<!doctype html><title>Feature browser</title>\n";
    return root;
  }();
  // Into the registry of each test: every test has a registry root of its own.
  const std::wstring value = folder.wstring();
  os::Handle key = os::kNullHandle;
  os::RegCreateKey(os::HKEY_LOCAL_MACHINE,
                   L"Software\\Velant\\Velant Zor Library\\Runtime\\Install",
                   os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS, &key, nullptr);
  for (const wchar_t* name : {L"INSTALLDIR", L"InstallDir"}) {
    os::RegSetValue(key, name, os::REG_SZ, value.c_str(),
                    static_cast<uint32_t>((value.size() + 1) * sizeof(wchar_t)));
  }
  os::RegCloseKey(key);
  return folder;
}

inline zor::genicam::FeatureCodePrefixes DevicePrefixes(const std::string& model) {
  zor::genicam::FeatureCodePrefixes prefixes;
  prefixes.inquireFunction = "QdigInquireFeature";
  prefixes.controlFunction = "QdigControlFeature";
  prefixes.objectVariable = "ZorDigitizer";
  prefixes.featureNamePrefix = model + ":";
  return prefixes;
}

inline constexpr QID kTestSystem = 0x7F000001;

inline std::unique_ptr<zor::genicam::NodeMapPublisher> MakePublisher(const std::string& systemName,
                                                                     bool webServer = false,
                                                                     int64_t port = 0) {
  TestInstallFolder();
  zor::genicam::PublisherSystem system;
  system.hostId = kTestSystem;
  system.name = systemName;
  system.webServer = webServer;
  system.port = port;
  system.flushDelayMs = 1;
  return std::make_unique<zor::genicam::NodeMapPublisher>(system,
                                                          L"featurebrowser/featurebrowser.exe");
}

}  // namespace genicamtest
