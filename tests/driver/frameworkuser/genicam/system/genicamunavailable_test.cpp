// Which types belong to the GenICam layer, what becomes of an error that the device layer
// records for one of them while GenICam is not installed, and the registry read again.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <tuple>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/genicam/system/genicamtypes.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "platform/os/registry/registry.h"
#include "tests/driver/frameworkuser/support/testdriver.h"

namespace zor::frame {
namespace {

constexpr int64_t kLength = 0x50000000000;

TEST(GenICamTypes, WholeTypesDecideAndOnlyTwoTextsHaveLengthForms) {
  for (int64_t type :
       std::initializer_list<int64_t>{4390, 4402, 4813, 6905, 6906, 6951, 7311, 7707, 7709, 7712,
                                      7730, 7858, kLength + 7707, kLength + 7712}) {
    EXPECT_TRUE(IsGenICamControlType(type)) << type;
  }
  for (int64_t type :
       std::initializer_list<int64_t>{7729, 7859, 4022, kLength + 7709, 4397, 4813 + 0x10000}) {
    EXPECT_FALSE(IsGenICamControlType(type)) << type;
  }
  EXPECT_TRUE(IsStringLengthType(kLength + 7862));
  EXPECT_FALSE(IsStringLengthType(0x30000000000 + 7862));
  EXPECT_EQ(StripStringLengthFlag(kLength + 7862), 7862);
}

// A GenICam system without the runtime, holding one digitizer whose device
// layer answers what it serves and refuses the rest.
class RuntimelessSystem : public QDGeniCamDeviceSystem {
 public:
  RuntimelessSystem(int64_t& status, QDDriverThreadContext& ctx)
      : QDGeniCamDeviceSystem(L"", 0, Q_DEFAULT, nullptr, status, ctx) {
    dcf_.fill(0);
    auto digitizer = std::make_shared<QDDigitizerInfo>(0, L"Q_NTSC", 0, Q_DEFAULT, channel_, dcf_);
    digitizer->SetIndex(digitizers_.Add(digitizer));
    digitizerIndex_ = digitizer->GetIndex();
  }
  void ReadManifestTable() override {}
  int64_t DigitizerIndex() const { return digitizerIndex_; }

 private:
  DigChannelRecord channel_;
  QDDigitizerInfo::DcfBlock dcf_;
  int64_t digitizerIndex_ = 0;
};

class GenICamUnavailableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("ZOR_GENICAM_PATH");
    int64_t status = 0;
    system_ = std::make_unique<RuntimelessSystem>(status, ctx_);
    EXPECT_NE(status, 0);
    EXPECT_EQ(ctx_.ErrorCode(), 4421);
    EXPECT_FALSE(system_->GenICamAvailable());
  }
  int64_t Inquire(int64_t type) {
    ctx_.SetError(0, 0, 0, 0);
    OperationArgs args;
    args.Push(system_->DigitizerIndex());
    args.Push(type);
    args.Push(reinterpret_cast<intptr_t>(&answer_));
    return system_->DigInquire(args, ctx_);
  }

  bool constructionError_ = false;
  TestDriver driver_{constructionError_};
  QDDriverThreadContext ctx_{driver_, 1};
  std::unique_ptr<RuntimelessSystem> system_;
  int64_t answer_ = 0;
};

TEST_F(GenICamUnavailableTest, ErrorOfAGenICamTypeBecomesNotInstalledAndOfAnotherStays) {
  Inquire(6906);
  EXPECT_EQ(ctx_.ErrorCode(), 4421);
  Inquire(kLength + 7712);
  EXPECT_EQ(ctx_.ErrorCode(), 4421);
  // Feature access and feature hooks say the same, with the one sub code 1.
  using Road = int64_t (QDGeniCamDeviceSystem::*)(const OperationArgs&, QDDriverThreadContext&);
  for (const Road road :
       {&QDGeniCamDeviceSystem::ControlFeature, &QDGeniCamDeviceSystem::InquireFeature,
        &QDGeniCamDeviceSystem::DigHookFunction}) {
    ctx_.SetError(0, 0, 0, 0);
    OperationArgs args;
    args.Push(system_->DigitizerIndex());
    const int64_t result = ((*system_).*road)(args, ctx_);
    EXPECT_EQ(std::make_tuple(result, ctx_.ErrorCode(), ctx_.SubCode(1), ctx_.SubCode(2),
                              ctx_.SubCode(3)),
              std::make_tuple(1, 4421, 1, 0, 0));
  }
  // An error of another type stays.
  Inquire(4022);
  EXPECT_EQ(ctx_.ErrorCode(), 4310);
  ctx_.SetError(0, 0, 0, 0);
  OperationArgs args;
  args.Push(system_->DigitizerIndex());
  args.Push(6935);
  args.Push(ValueRecord{Q_DEFAULT, kValueInteger});
  system_->DigControl(args, ctx_);
  EXPECT_EQ(ctx_.ErrorCode(), 4307);
}

// System control 2005 reads the board's registry parameters again.
class ManifestlessSystem : public QDGeniCamDeviceSystem {
 public:
  ManifestlessSystem(int64_t& status, QDDriverThreadContext& ctx)
      : QDGeniCamDeviceSystem(L"", 0, Q_DEFAULT, nullptr, status, ctx) {}
  void ReadManifestTable() override {}
};

void SetCheckPeriod(uint32_t value) {
  os::Handle key = os::kNullHandle;
  os::RegCreateKey(os::HKEY_LOCAL_MACHINE,
                   L"Software\\Velant\\Imaging Board\\DravionLyn\\Parameters", 0,
                   os::KEY_ALL_ACCESS, &key, nullptr);
  os::RegSetValue(key, L"StreamStopCheckPeriodInMS", os::REG_DWORD, &value, sizeof(value));
  os::RegCloseKey(key);
}

void SetOrUnset(const char* name, const std::string& value) {
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, value.c_str(), 1);
  }
}

std::string Variable(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? value : "(none)";
}

// Each missing piece of the installation fails the start with its own text; a whole one makes
// every variable of the runtime, and its folder joins PATH once, whatever its letter case there.
TEST(GenICamInstallation, EachMissingPieceFailsTheStartAndAWholeOneMakesTheEnvironment) {
  const std::string root = std::string(getenv("ZOR_REGISTRY_ROOT")) + "/installation";
  std::filesystem::create_directories(root + "/v3_1");
  const std::string runtime = root + "/v3_1/bin/Win64_x64/";
  struct Row {
    std::string path;
    std::string repository;
    std::string pathVariable;
    bool available;
    int64_t sub;
    std::wstring text;
    std::string pathAfter;
  };
  const Row rows[] = {
      {"", root, "/bin", false, 2, L"ZOR_GENICAM_PATH environment variable does not exist.",
       "/bin"},
      {root + "/none", root, "/bin", false, 2, L"GenICam is not properly installed.", "/bin"},
      {root, "", "/bin", true, 3, L"ZOR_XML_REPOSITORY environment variable does not exist.",
       "/bin:" + runtime},
      {root, root, "/bin", true, 0, L"", "/bin:" + runtime},
      {root, root, "/BIN:" + root + "/V3_1/BIN/WIN64_X64/", true, 0, L"",
       "/BIN:" + root + "/V3_1/BIN/WIN64_X64/"},
  };
  const std::string path = Variable("PATH");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path + " " + row.repository + " " + row.pathVariable);
    SetOrUnset("ZOR_GENICAM_PATH", row.path);
    SetOrUnset("ZOR_XML_REPOSITORY", row.repository);
    setenv("PATH", row.pathVariable.c_str(), 1);
    bool constructionError = false;
    TestDriver driver(constructionError);
    QDDriverThreadContext ctx(driver, 1);
    int64_t status = 0;
    ManifestlessSystem system(status, ctx);
    wchar_t texts[4][kOwnTextSize] = {};
    ctx.GetError(2, texts[0], texts[1], texts[2], texts[3]);
    EXPECT_EQ(std::make_tuple(status != 0, system.GenICamAvailable(), ctx.ErrorCode(),
                              ctx.SubCode(1), std::wstring(texts[2]), Variable("PATH")),
              std::make_tuple(row.sub != 0, row.available, row.sub != 0 ? 4421 : 0, row.sub,
                              row.text, row.pathAfter));
  }
  EXPECT_EQ(Variable("GENICAM_ROOT"), root + "/v3_1");
  EXPECT_EQ(Variable("GENICAM_CACHE_V3_1"), root + "/Cache");
  EXPECT_TRUE(std::filesystem::is_directory(root + "/Cache"));
  EXPECT_EQ(Variable("GENICAM_LOG_CONFIG_V3_1"), root + "/v3_1/log/config/DebugLogging.properties");
  setenv("PATH", path.c_str(), 1);
}

TEST(RegistryReread, CheckPeriodIsReadAgainAndKeptAtTenOrMore) {
  const std::filesystem::path root = std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) / "genicam";
  std::filesystem::create_directories(root / "v3_1");
  setenv("ZOR_GENICAM_PATH", root.c_str(), 1);
  setenv("ZOR_XML_REPOSITORY", root.c_str(), 1);
  bool constructionError = false;
  TestDriver driver(constructionError);
  QDDriverThreadContext ctx(driver, 1);
  int64_t status = -1;
  SetCheckPeriod(200);
  ManifestlessSystem system(status, ctx);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(system.StreamStopCheckPeriodMs(), 200);
  SetCheckPeriod(3);
  OperationArgs args;
  args.Push(2005);
  args.Push(ValueRecord{Q_DEFAULT, kValueInteger});
  EXPECT_EQ(system.SysControl(args, ctx), 1);
  EXPECT_EQ(ctx.ErrorCode(), 0);
  EXPECT_EQ(system.StreamStopCheckPeriodMs(), 10);
}

}  // namespace
}  // namespace zor::frame
