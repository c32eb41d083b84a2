#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/genapi/testmap.h"

using namespace GenICam;
using genapitest::ErrorOf;

namespace {

const char* kDevice =
    "<StringReg Name='DeviceModelName'><Address>0x0</Address><Length>16</Length>"
    "<AccessMode>RO</AccessMode><pPort>Device</pPort></StringReg>"
    "<StringReg Name='DeviceVendorName'><Address>0x10</Address><Length>16</Length>"
    "<AccessMode>RO</AccessMode><pPort>Device</pPort></StringReg>"
    "<Register Name='FirmwareData'><Address>0x1000</Address><Length>4</Length>"
    "<AccessMode>WO</AccessMode><pPort>Device</pPort><Cachable>NoCache</Cachable></Register>";

// Records what reaches the firmware register.
class FlashPort : public genapitest::MemoryPort {
 public:
  void Write(const void* buffer, int64_t address, int64_t length) override {
    MemoryPort::Write(buffer, address, length);
    if (address == 0x1000) {
      flashed.append(static_cast<const char*>(buffer), static_cast<size_t>(length));
    }
  }
  std::string flashed;
};

struct Device {
  Device(const char* model, const char* vendor) : map(kDevice) {
    map.ref._Connect(&port, "Device");
    for (size_t i = 0; model[i]; ++i) port.bytes[i] = static_cast<uint8_t>(model[i]);
    for (size_t i = 0; vendor[i]; ++i) port.bytes[0x10 + i] = static_cast<uint8_t>(vendor[i]);
  }
  genapitest::TestMap map;
  FlashPort port;
};

class FakeDevice : public IFirmwareUpdatableDevice {
 public:
  explicit FakeDevice(Device& device) : device_(device) {}
  void ReadDeviceIdentifier() override { calls.push_back("ReadDeviceIdentifier"); }
  GenApi::INodeMap* GetNodeMap() override { return noMap ? nullptr : device_.map.ref._Ptr; }
  GenApi::INodeMap* ResetAndReconnect(int64_t reset, int64_t reconnect) override {
    calls.push_back("Reset " + std::to_string(reset) + " " + std::to_string(reconnect));
    return lost ? nullptr : device_.map.ref._Ptr;
  }
  void OnUpdateApplied() override { calls.push_back("Applied"); }
  gcstring GetDeviceIdentifier() override { return "SN42"; }
  std::vector<std::string> calls;
  bool noMap = false;  // the device offers no node map
  bool lost = false;   // not found again after its reset

 private:
  Device& device_;
};

class Observer : public IFirmwareUpdateProgressObserver {
 public:
  void BeginProgress(const gcstring&, int64_t steps) override {
    log.push_back("begin " + std::to_string(steps));
  }
  void ReportProgressText(int64_t step, const gcstring& text) override {
    log.push_back(std::to_string(step) + " " + text.str());
  }
  void ReportProgressValue(int64_t, double percent) override {
    log.push_back(std::to_string(static_cast<int>(percent)) + "%");
  }
  void CompleteProgressStep(int64_t step) override {
    log.push_back("done " + std::to_string(step));
  }
  void EndProgress(bool ok) override { log.push_back(ok ? "end ok" : "end failed"); }
  void ReportWarning(const gcstring&) override {}
  std::vector<std::string> log;
};

class Collector : public IFirmwareUpdateInfoCollector {
 public:
  explicit Collector(size_t stopAfter) : stopAfter_(stopAfter) {}
  bool OnUpdateInfo(const CFirmwareUpdateInfo& info) override {
    seen.push_back(info);
    return seen.size() < stopAfter_;
  }
  std::vector<CFirmwareUpdateInfo> seen;

 private:
  size_t stopAfter_;
};

CFirmwareUpdateInfo Entry(const std::string& name, const std::string& model,
                          const std::string& vendor = "") {
  CFirmwareUpdateInfo info;
  info.name = name;
  info.version = "2.0";
  info.models = {model};
  info.vendor = vendor;
  info.payload = name + ".bin";
  info.targetRegister = "FirmwareData";
  info.resetDelay = 10;
  info.reconnectDelay = 20;
  return info;
}

std::string Guf(const std::string& file, const std::vector<CFirmwareUpdateInfo>& entries,
                const std::vector<std::string>& payloads) {
  const std::string path = testing::TempDir() + "/" + file;
  WriteGufFile(path, entries, payloads);
  return path;
}

}  // namespace

TEST(FirmwareUpdate, VerifyRefusesWhatIsNotAValidGufFile) {
  CFirmwareUpdater updater;
  const std::string good =
      Guf("good.guf", {Entry("a", "Cam")}, {"12345", "a payload no entry names"});
  const std::string text = testing::TempDir() + "/text.guf";
  std::ofstream(text) << "plain text";
  CFirmwareUpdateInfo noModel = Entry("b", "Cam");
  noModel.models.clear();
  CFirmwareUpdateInfo early = Entry("c", "Cam");
  early.resetDelay = -5;
  // A directory is no file: a GenICam exception, not a stream failure.
  const std::pair<std::string, std::string> files[] = {
      {good, ""},
      {text, "it is not a zip archive"},
      {"/nonexistent.guf", "it cannot be read"},
      {testing::TempDir(), "it cannot be read"},
      {Guf("nopayload.guf", {Entry("a", "Cam")}, {}), "the payload 'a.bin' is missing"},
      {Guf("nomodel.guf", {noModel}, {"x"}), "the update 'b' needs Model, Payload and Register"},
      {Guf("early.guf", {early}, {"x"}), "bad delay '-5'"}};
  for (const auto& [path, reason] : files) {
    EXPECT_EQ(
        ErrorOf<RuntimeException>([&] { updater.VerifyGufFile(path.c_str()); }),
        reason.empty() ? "no exception" : "'" + path + "' is not a valid GUF file: " + reason);
  }
}

// Every field of an entry, and the file it came from.
std::string Fields(const CFirmwareUpdateInfo& info) {
  std::string text = (info.GetName() + "|" + info.GetVersion() + "|" + info.GetDescription() + "|" +
                      info.GetVendorName())
                         .str();
  text += "|" + info.payload + "|" + info.targetRegister + "|" + std::to_string(info.resetDelay) +
          "|" + std::to_string(info.reconnectDelay) + "|" + info.gufPath;
  for (const std::string& model : info.GetModelNames()) text += "|" + model;
  return text;
}

TEST(FirmwareUpdate, EntriesReachTheCollectorUntilItStops) {
  CFirmwareUpdater updater;
  // Every field back as written, the characters of the markup among them.
  CFirmwareUpdateInfo marked = Entry("<b>&\"", "Y<1>", "V&\"W\"");
  marked.description = "x<y & z>";
  marked.version = "3.1";
  marked.resetDelay = 11;
  marked.reconnectDelay = 22;
  const std::vector<CFirmwareUpdateInfo> entries = {Entry("a", "X"), marked, Entry("c", "Z")};
  const std::string path = Guf("three.guf", entries, {"1", "2", "3"});
  Collector all(99);
  updater.ReadFirmwareUpdateInfos(path.c_str(), all, nullptr);
  ASSERT_EQ(all.seen.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    CFirmwareUpdateInfo expected = entries[i];
    expected.gufPath = path;
    EXPECT_EQ(Fields(all.seen[i]), Fields(expected)) << i;
  }
  Collector first(1);
  updater.ReadFirmwareUpdateInfos(path.c_str(), first);
  EXPECT_EQ(first.seen.size(), 1u);
}

TEST(FirmwareUpdate, MatchingUsesModelAndOptionalVendor) {
  CFirmwareUpdater updater;
  Device device("Cam", "Dravion");
  GenApi::INodeMap* map = device.map.ref._Ptr;
  EXPECT_TRUE(updater.FirmwareUpdateMatchesDevice(map, Entry("a", "Cam")));
  EXPECT_TRUE(updater.FirmwareUpdateMatchesDevice(map, Entry("a", "Cam", "Dravion")));
  EXPECT_FALSE(updater.FirmwareUpdateMatchesDevice(map, Entry("a", "Cam", "Other")));
  EXPECT_FALSE(updater.FirmwareUpdateMatchesDevice(map, Entry("a", "Cam2")));
  // Without a DeviceModelName feature the file's ModelName counts.
  genapitest::TestMap plain("<Integer Name='X'><Value>1</Value></Integer>");
  EXPECT_TRUE(updater.FirmwareUpdateMatchesDevice(plain.ref._Ptr, Entry("a", "TestModel")));
  EXPECT_THROW(updater.FirmwareUpdateMatchesDevice(nullptr, Entry("a", "Cam")),
               LogicalErrorException);
}

TEST(FirmwareUpdate, ApplyStreamsThePayloadResetsAndReports) {
  CFirmwareUpdater updater;
  Device device("Cam", "Dravion");
  const std::string path = Guf("apply.guf", {Entry("grab", "Cam")}, {"ABCDEFGHIJ"});
  Collector collector(99);
  updater.ReadFirmwareUpdateInfos(path.c_str(), collector);
  FakeDevice fake(device);
  Observer observer;
  updater.ApplyUpdate(fake, collector.seen.at(0), &observer, nullptr);
  EXPECT_EQ(device.port.flashed, std::string("ABCDEFGHIJ\0\0", 12));  // padded last chunk
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"ReadDeviceIdentifier", "Reset 10 20", "Applied"}));
  EXPECT_EQ(observer.log, (std::vector<std::string>{
                              "begin 2", "1 Writing firmware 2.0 to SN42", "40%", "80%", "100%",
                              "done 1", "2 Restarting the device", "done 2", "end ok"}));
}

// Without the target register, without a node map, or with a device not found again after its
// reset: the update fails, the observer hears so, and nothing after the failure runs.
TEST(FirmwareUpdate, ApplyFailsCleanly) {
  CFirmwareUpdater updater;
  Device device("Cam", "Dravion");
  CFirmwareUpdateInfo entry = Entry("grab", "Cam");
  entry.targetRegister = "NoSuchRegister";
  const std::string path = Guf("noreg.guf", {entry, Entry("grab", "Cam")}, {"ABC", "DEF"});
  Collector collector(99);
  updater.ReadFirmwareUpdateInfos(path.c_str(), collector);
  const struct {
    size_t entry;
    bool noMap, lost;
    std::vector<std::string> calls;
    const char* message;
  } failures[] = {{0,
                   false,
                   false,
                   {"ReadDeviceIdentifier"},
                   "The device has no writable register 'NoSuchRegister' for the firmware"},
                  {1, true, false, {"ReadDeviceIdentifier"}, "NULL pointer dereferenced"},
                  {1,
                   false,
                   true,
                   {"ReadDeviceIdentifier", "Reset 10 20"},
                   "The device was not found again after the update"}};
  for (const auto& failure : failures) {
    FakeDevice fake(device);
    fake.noMap = failure.noMap;
    fake.lost = failure.lost;
    Observer observer;
    const std::string error =
        ErrorOf([&] { updater.ApplyUpdate(fake, collector.seen.at(failure.entry), &observer); });
    EXPECT_EQ(error + " | " + observer.log.back(), std::string(failure.message) + " | end failed");
    EXPECT_EQ(fake.calls, failure.calls);
  }
}
