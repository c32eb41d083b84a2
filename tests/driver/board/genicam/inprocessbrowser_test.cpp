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

// A record the controller was handed, whole but for its id.
std::string Record(const SeenControllerRecord& r) {
  return r.name + " kind " + std::to_string(r.kind) + " owner " + std::to_string(r.owner) +
         " zero " + std::to_string(r.zero) + " four " + std::to_string(r.four) + " [" + r.title +
         "] [" + r.controlPrefix + "] [" + r.inquirePrefix + "] [" + r.fourthText + "]";
}

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
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string title = SystemTitle(i == 0 ? "-1" : "0");
    EXPECT_EQ(calls[i].owner, system_);
    ASSERT_EQ(calls[i].count, 2);
    EXPECT_EQ(Record(calls[i].records[0]),
              "QsysControl kind 2 owner " + std::to_string(system_) + " zero 0 four 4 [" + title +
                  "] [QsysControl(ZorSystem, ] [QsysInquire(ZorSystem, ] []");
    EXPECT_EQ(Record(calls[i].records[1]),
              "QdigControl kind 2 owner " + std::to_string(digitizer) + " zero 0 four 4 [" + title +
                  "] [QdigControl(ZorDigitizer, ] [QdigInquire(ZorDigitizer, ] []");
    EXPECT_NE(calls[i].records[0].id, calls[i].records[1].id);
  }

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
