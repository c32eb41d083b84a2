// System control 2005 reads the board's registry parameters again.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"
#include "platform/os/registry/registry.h"
#include "tests/driver/frameworkuser/support/testdriver.h"

namespace zor::frame {
namespace {

namespace fs = std::filesystem;

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

TEST(RegistryReread, CheckPeriodIsReadAgainAndKeptAtTenOrMore) {
  const fs::path root = fs::path(getenv("ZOR_REGISTRY_ROOT")) / "genicam";
  fs::create_directories(root / "v3_1");
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
