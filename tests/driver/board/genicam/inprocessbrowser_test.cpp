// Control type 6905 with the in-process browser: the board's system and digitizer maps handed to
// the test controller library, which the driver loads by its name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/driver/board/genicam/ownnodemapsfixture.h"
#include "tests/support/genicamcontroller/testcontroller.h"

namespace zor::board {
namespace {

constexpr QINT64 kFeatureBrowser = 6905;
constexpr QINT64 kEraseNodeMap = 1106;

class InProcessBrowserCommand : public OwnNodeMapsFixture {
 protected:
  void SetUp() override {
    OwnNodeMapsFixture::SetUp();
    TestControllerReset(0);
  }
  std::string SystemTitle(const std::string& digitizerNumber) const {
    std::wstring name(64, L'\0');
    QsysInquire(system_, 7702, name.data());
    return std::string(name.begin(), name.begin() + static_cast<long>(wcslen(name.c_str()))) +
           " 0 Digitizer " + digitizerNumber;
  }
};

TEST_F(InProcessBrowserCommand, SystemAndDigitizerOpenWithTheirMapsInOrder) {
  ASSERT_FALSE(DriverSystem()->UsesNewFeatureBrowser());
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();

  QsysControl(system_, kFeatureBrowser, 16);
  EXPECT_EQ(LastError(), Err(0));
  QdigControlDouble(digitizer, kFeatureBrowser, 17.0);
  EXPECT_EQ(LastError(), Err(0));

  const std::vector<SeenControllerCall> calls = TestControllerCalls();
  ASSERT_EQ(calls.size(), 2u);
  for (const SeenControllerCall& call : calls) {
    EXPECT_EQ(call.owner, system_);
    ASSERT_EQ(call.count, 2);
    const SeenControllerRecord& system = call.records[0];
    EXPECT_EQ(system.name, "QsysControl");
    EXPECT_EQ(system.kind, 2u);
    EXPECT_EQ(system.owner, system_);
    EXPECT_EQ(system.controlPrefix, "QsysControl(ZorSystem, ");
    EXPECT_EQ(system.inquirePrefix, "QsysInquire(ZorSystem, ");
    const SeenControllerRecord& own = call.records[1];
    EXPECT_EQ(own.name, "QdigControl");
    EXPECT_EQ(own.kind, 2u);
    EXPECT_EQ(own.owner, digitizer);
    EXPECT_EQ(own.controlPrefix, "QdigControl(ZorDigitizer, ");
    EXPECT_EQ(own.inquirePrefix, "QdigInquire(ZorDigitizer, ");
    EXPECT_EQ(own.fourthText, "");
    EXPECT_NE(system.id, own.id);
  }
  EXPECT_EQ(calls[0].records[0].title, SystemTitle("-1"));
  EXPECT_EQ(calls[1].records[0].title, SystemTitle("0"));

  // The digitizer's lock was taken back: its commands still run.
  QdigControl(digitizer, kFeatureBrowser, 32);
  EXPECT_EQ(LastError(), Err(0));
  QsysControl(system_, kFeatureBrowser, 34);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(TestControllerDeletedHandles().size(), 2u);
  QdigFree(digitizer);
  EXPECT_EQ(LastError(), Err(0));
}

TEST_F(InProcessBrowserCommand, BadValuesOpenNothing) {
  // 5071 writes the feature headers into the current folder first.
  const std::filesystem::path previous = std::filesystem::current_path();
  char folder[] = "/tmp/zorheaders.XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::filesystem::current_path(folder);
  const std::string installed = std::getenv("ZOR_GENICAM_PATH");  // without style sheets
  setenv("ZOR_GENICAM_PATH", ZOR_TEST_GENICAM_PATH, 1);
  for (QINT64 value : {QINT64{19}, QINT64{31}, QINT64{5071}}) {
    QsysControl(system_, kFeatureBrowser, value);
    EXPECT_EQ(std::filesystem::exists("_SYS_ZORIDHeader.h"), value == 5071) << value;
    EXPECT_EQ(LastError(), Err(4307, 3)) << value;
  }
  EXPECT_TRUE(std::filesystem::exists("_DIG_ZORIDParams.h"));
  setenv("ZOR_GENICAM_PATH", installed.c_str(), 1);
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(folder);
  EXPECT_TRUE(TestControllerCalls().empty());
}

TEST_F(InProcessBrowserCommand, AnObjectWithoutItsMapHasNoBrowser) {
  const QID digitizer = Digitizer(L"Q_NTSC");
  ASSERT_NE(digitizer, 0) << ErrorCode();
  QsysControl(system_, kEraseNodeMap, system_);
  ASSERT_EQ(Control(system_, L"QsysControl"), nullptr);
  // The digitizer's map is still found, but the system has no control to open it in.
  QsysControl(system_, kFeatureBrowser, 16);
  EXPECT_EQ(LastError(), Err(4429, 3));
  QsysControl(system_, kFeatureBrowser, 32);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_TRUE(TestControllerCalls().empty());
  QdigFree(digitizer);
}

}  // namespace
}  // namespace zor::board
