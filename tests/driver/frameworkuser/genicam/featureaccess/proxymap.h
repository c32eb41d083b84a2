// A GenICam proxy on a node map of the test's own XML over memory registers,
// and a thread context that records what the operations report.
#pragma once

#include <memory>
#include <string>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"
#include "driver/frameworkuser/genicam/featureaccess/uservalue.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"
#include "tests/driver/frameworkuser/support/testdriver.h"
#include "tests/platform/genapi/memoryport.h"

namespace zor::genicam {

// Registers at 0x100 (4 bytes), 0x200 (text, 16), 0x300 (command), 0x400
// (polled, RO), 0x500 (a category listed twice).
inline const char* const kTestNodes = R"(
<Category Name="Root"><pFeature>First</pFeature><pFeature>Second</pFeature></Category>
<Category Name="First"><pFeature>Int</pFeature><pFeature>Gain</pFeature></Category>
<Category Name="Second"><pFeature>Int</pFeature><pFeature>Flag</pFeature><pFeature>First</pFeature>
  <pFeature>Hidden</pFeature></Category>
<Integer Name="Int"><Value>5</Value><Min>0</Min><Max>10</Max></Integer>
<Integer Name="Zero"><Value>0</Value></Integer>
<Integer Name="Hidden"><pIsImplemented>Zero</pIsImplemented><Value>1</Value></Integer>
<Integer Name="Gone"><pIsAvailable>Zero</pIsAvailable><Value>1</Value></Integer>
<Integer Name="WriteOnly"><ImposedAccessMode>WO</ImposedAccessMode><Value>1</Value></Integer>
<Integer Name="FlagValue"><Value>0</Value></Integer>
<Boolean Name="Flag"><pValue>FlagValue</pValue></Boolean>
<Float Name="Gain"><Value>1.5</Value><Min>0</Min><Max>10</Max></Float>
<Register Name="Bytes"><Address>256</Address><Length>4</Length><AccessMode>RW</AccessMode>
  <pPort>Device</pPort></Register>
<StringReg Name="Text"><Address>512</Address><Length>16</Length><AccessMode>RW</AccessMode>
  <pPort>Device</pPort></StringReg>
<IntReg Name="CommandReg"><Address>768</Address><Length>4</Length><AccessMode>RW</AccessMode>
  <pPort>Device</pPort></IntReg>
<Command Name="Never"><pValue>CommandReg</pValue><CommandValue>1</CommandValue>
  <PollingTime>0</PollingTime></Command>
<IntReg Name="PolledReg"><Address>1024</Address><Length>4</Length><AccessMode>RO</AccessMode>
  <pPort>Device</pPort><PollingTime>250</PollingTime></IntReg>
<Integer Name="Polled"><pValue>PolledReg</pValue></Integer>
)";

// The whole of a variable, as a caller passes it.
template <typename T>
UserVariable Var(T& value) {
  return {&value, static_cast<int64_t>(sizeof(T))};
}

struct ProxyMap {
  explicit ProxyMap(bool waitForCommands = false, const std::string& body = kTestNodes)
      : proxy(0, waitForCommands) {
    auto map = std::make_shared<GenApi::CNodeMapRef>("Device");
    map->_LoadXMLFromString(
        ("<RegisterDescription ModelName=\"TestModel\" VendorName=\"TestVendor\" "
         "StandardNameSpace=\"None\" SchemaMajorVersion=\"1\" SchemaMinorVersion=\"1\" "
         "SchemaSubMinorVersion=\"0\" MajorVersion=\"1\" MinorVersion=\"0\" SubMinorVersion=\"0\" "
         "ToolTip=\"t\" ProductGuid=\"P\" VersionGuid=\"V\"><Port Name=\"Device\"/>" +
         body + "</RegisterDescription>")
            .c_str());
    proxy.SetNodeMap(map, port, "Device", waitForCommands);
  }
  int64_t Code() const { return ctx.ErrorCode(); }
  // The first sub code; -1 when a later one is a code of its own rather than a text's (5 to 7).
  int64_t Sub() const {
    for (int i = 2; i <= 3; ++i) {
      if (ctx.SubCode(i) != 0 && ctx.SubCode(i) < 5) return -1;
    }
    return ctx.SubCodeCount() > 0 ? ctx.SubCode(1) : 0;
  }
  std::wstring Text(int index) {
    wchar_t message[frame::kOwnTextSize];
    wchar_t sub[3][frame::kOwnTextSize];
    ctx.GetError(2, message, sub[0], sub[1], sub[2]);
    return sub[index - 1];
  }
  void Clear() { ctx.SetError(0, 0, 0, 0); }
  // A read by name as "result:value"; the value starts at 99, so that one left alone shows.
  std::string ReadInteger(const char* feature) {
    int64_t value = 99;
    const int64_t result = ReadFeatureInteger(proxy, feature, value, &ctx);
    return std::to_string(result) + ":" + std::to_string(value);
  }
  std::string ReadString(const char* feature) {
    GenICam::gcstring value = "99";
    const int64_t result = ReadFeatureString(proxy, feature, value, &ctx);
    return std::to_string(result) + ":" + value.c_str();
  }
  // The error as "code/sub", cleared for the next step.
  std::string TakeError() {
    const std::string error = std::to_string(Code()) + "/" + std::to_string(Sub());
    Clear();
    return error;
  }

  std::shared_ptr<genapitest::MemoryPort> port = std::make_shared<genapitest::MemoryPort>();
  GenICamProxy proxy;
  bool constructionError = false;
  frame::TestDriver driver{constructionError};
  frame::QDDriverThreadContext ctx{driver, 1};
};

}  // namespace zor::genicam
