// The GenICam layer's digitizer control and inquire through libZOR.so, on the
// node map of the board's digitizer.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/driver/frameworkuser/genicam/jsoncheck.h"
#include "tests/driver/frameworkuser/genicam/system/genicamsystemfixture.h"

namespace zor::genicam {
namespace {

constexpr QINT64 kLength = 0x50000000000;
constexpr QINT64 kKeptAcquisitionMode = 9105;
constexpr QINT64 kKeptAcquisitionStart = 9106;

class DigitizerOpsTest : public GenICamSystemFixture {
 protected:
  void SetUp() override {
    GenICamSystemFixture::SetUp();
    digitizer_ = QdigAlloc(system_, 0, L"Q_DEFAULT", Q_DEFAULT, nullptr);
    ASSERT_NE(digitizer_, 0);
  }
  void TearDown() override {
    if (digitizer_ != 0) QdigFree(digitizer_);
    GenICamSystemFixture::TearDown();
  }
  QINT64 Inquire(QINT64 type) {
    QINT64 value = -12345;
    QdigInquire(digitizer_, type, &value);
    return value;
  }
  void ExpectInvalidValue(QINT64 type, QINT64 value) {
    QdigControl(digitizer_, type, value);
    EXPECT_EQ(ErrorCode(), 4307) << type;
    EXPECT_EQ(SubCode(1), 3) << type;
  }

  QID digitizer_ = 0;
};

TEST_F(DigitizerOpsTest, NodeMapAddressesNameTheDigitizersOwnMap) {
  const QINT64 holder = Inquire(6906);
  EXPECT_NE(holder, 0);
  EXPECT_EQ(Inquire(6951), holder);
  EXPECT_EQ(Inquire(1079), 1);
}

TEST_F(DigitizerOpsTest, AcquisitionModeIsWrittenAndReadThroughTheNodeMap) {
  EXPECT_EQ(Inquire(6908), -1);  // the board starts in continuous mode
  QdigControl(digitizer_, 6908, 1);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Inquire(6908), 1);
  EXPECT_EQ(Inquire(kKeptAcquisitionMode), 1);
  QdigControl(digitizer_, 6908, Q_DEFAULT);
  EXPECT_EQ(Inquire(6908), -1);
  EXPECT_EQ(Inquire(kKeptAcquisitionMode), 0);
  ExpectInvalidValue(6908, 2);
}

TEST_F(DigitizerOpsTest, AcquisitionStartAndStopTakeTheirCodesOnly) {
  QdigControl(digitizer_, 6931, 29);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Inquire(kKeptAcquisitionStart), 1);
  QdigControl(digitizer_, 6931, Q_DEFAULT);
  EXPECT_EQ(ErrorCode(), 0);
  QdigControl(digitizer_, 6928, 29);
  EXPECT_EQ(ErrorCode(), 0);
  QdigControl(digitizer_, 6928, Q_DEFAULT);
  EXPECT_EQ(ErrorCode(), 0);
  ExpectInvalidValue(6931, 1);
  ExpectInvalidValue(6928, 1);
}

// AcquisitionStart comes to the GenICam layer from the board's control road, which takes the
// channel lock; a feature write holds the node map's lock while its register write comes back
// into that road. Both at once on two threads: each keeps finishing its calls, and both end
// where they set the digitizer.
TEST_F(DigitizerOpsTest, AcquisitionStartAndAFeatureWriteRunTogether) {
  constexpr int kCalls = 5000;
  std::atomic<int> starts{0};
  std::atomic<int> writes{0};
  std::atomic<int> failures{0};
  std::thread starter([&] {
    for (int call = 0; call < kCalls; ++call) {
      QdigControl(digitizer_, 6931, 29);
      if (ErrorCode() != 0) ++failures;
      ++starts;
    }
  });
  std::thread writer([&] {
    for (int call = 0; call < kCalls; ++call) {
      QdigControlFeature(digitizer_, Q_FEATURE_VALUE_AS_STRING, L"QdigControl:AcquisitionMode",
                         Q_TYPE_ENUMERATION, L"Continuous");
      if (ErrorCode() != 0) ++failures;
      ++writes;
    }
  });
  // Two threads that wait on each other never return: say so and end rather than hang.
  int seen = 0;
  auto lastProgress = std::chrono::steady_clock::now();
  while (starts.load() < kCalls || writes.load() < kCalls) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int now = starts.load() + writes.load();
    if (now != seen) {
      seen = now;
      lastProgress = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - lastProgress > std::chrono::seconds(20)) {
      std::fprintf(stderr, "no call returned for 20 s: %d starts, %d writes\n", starts.load(),
                   writes.load());
      std::abort();
    }
  }
  starter.join();
  writer.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Inquire(6908), -1);
  EXPECT_EQ(Inquire(kKeptAcquisitionMode), 0);
  EXPECT_EQ(Inquire(kKeptAcquisitionStart), 1);
}

TEST_F(DigitizerOpsTest, KeepAliveValuesAndControlMode) {
  QdigControl(digitizer_, 6929, Q_DEFAULT);
  QdigControl(digitizer_, 6930, Q_DEFAULT);
  EXPECT_EQ(Inquire(6929), 1000);
  EXPECT_EQ(Inquire(6930), 0);
  QdigControl(digitizer_, 6929, -5);
  QdigControl(digitizer_, 6930, 250);
  EXPECT_EQ(Inquire(6929), 0);
  EXPECT_EQ(Inquire(6930), 250);

  EXPECT_EQ(Inquire(4133), 0x20000);
  QdigControl(digitizer_, 4133, 1);
  EXPECT_EQ(Inquire(4133), 1);
  QdigControl(digitizer_, 4133, Q_DEFAULT);
  EXPECT_EQ(Inquire(4133), 0x20000);
  ExpectInvalidValue(4133, 2);
  ExpectInvalidValue(6973, 1);
}

TEST_F(DigitizerOpsTest, PollingStateFollowsItsControl) {
  EXPECT_EQ(Inquire(6973), -9999);
  QdigControl(digitizer_, 6973, -9997);
  EXPECT_EQ(Inquire(6973), -9997);
  QdigControl(digitizer_, 6973, Q_DEFAULT);
  EXPECT_EQ(Inquire(6973), -9999);
  EXPECT_EQ(ErrorCode(), 0);
}

// The kept values and texts of the control, and the manifest of this board up to the last word and
// the last entry's text, start empty; each value with the error it leaves.
TEST_F(DigitizerOpsTest, KeptValuesAndTheManifestOfThisBoardStartEmpty) {
  const QINT64 types[] = {6937,           6938, 6939, 6940, 6941,           6922,
                          7861 + kLength, 5455, 5456, 5535, 7862 + kLength, 7877 + kLength};
  std::string seen;
  for (QINT64 type : types) {
    seen += std::to_string(Inquire(type)) + "/" + std::to_string(ErrorCode()) + " ";
  }
  EXPECT_EQ(seen, "0/0 0/0 0/0 0/0 0/0 0/0 1/0 0/0 0/0 0/0 1/0 1/0 ");
  wchar_t text[4] = {L'x', L'x', L'x', L'x'};
  QdigInquire(digitizer_, 7862, text);
  EXPECT_EQ(text[0], L'\0');
  EXPECT_EQ(ErrorCode(), 0);
  // Just past the words and the texts: not the manifest's.
  Inquire(5536);
  EXPECT_EQ(ErrorCode(), 4310) << "words";
  Inquire(7878 + kLength);
  EXPECT_EQ(ErrorCode(), 4310) << "texts";
}

TEST_F(DigitizerOpsTest, DeviceNameIsKeptAndNoTextIsRefused) {
  const std::wstring modules = L"QdigControl;QsysControl";
  QdigControl(digitizer_, 7709, reinterpret_cast<QINT64>(modules.c_str()));
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Inquire(7709 + kLength), static_cast<QINT64>(modules.size()) + 1);
  wchar_t text[64] = {};
  QdigInquire(digitizer_, 7709, text);
  EXPECT_EQ(std::wstring(text), modules);
  ExpectInvalidValue(7709, 0);
  ExpectInvalidValue(7709, Q_DEFAULT);
  QdigInquire(digitizer_, 7709, text);
  EXPECT_EQ(std::wstring(text), modules);
}

TEST_F(DigitizerOpsTest, FeatureBagTextAndItsLength) {
  QdigControl(digitizer_, 7712, Q_DEFAULT);
  EXPECT_EQ(ErrorCode(), 0);
  const QINT64 length = Inquire(7712 + kLength);
  ASSERT_GE(length, 1);
  std::wstring text(static_cast<size_t>(length), L'?');
  QdigInquire(digitizer_, 7712, text.data());
  EXPECT_EQ(text.back(), L'\0');
}

TEST_F(DigitizerOpsTest, JsonExportWritesBothFilesOfEachMapIntoTemp) {
  const std::filesystem::path temp = genicam_ / "temp";
  std::filesystem::create_directories(temp);
  setenv("TEMP", temp.c_str(), 1);
  QsysControl(system_, 1105, system_);
  QdigControl(digitizer_, 6935, Q_DEFAULT);
  EXPECT_EQ(ErrorCode(), 0);
  for (const char* name : {"QdigControl_schema.json", "QdigControl_data.json",
                           "QsysControl_schema.json", "QsysControl_data.json"}) {
    std::ifstream file(temp / name);
    ASSERT_TRUE(file.good()) << name;
    std::stringstream text;
    text << file.rdbuf();
    rapidjson::Document document;
    EXPECT_EQ(genicamtest::JsonError(text.str(), document), "") << name;
    EXPECT_GT(text.str().size(), 2u) << name;
  }
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(temp)) ++files;
  EXPECT_EQ(files, 4u);
  unsetenv("TEMP");
}

}  // namespace
}  // namespace zor::genicam
