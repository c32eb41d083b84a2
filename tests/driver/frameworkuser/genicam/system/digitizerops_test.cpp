// The GenICam layer's system and digitizer control and inquire through libZOR.so, on the
// node maps of the board's system and digitizer.
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
#include <utility>

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

  QID digitizer_ = 0;
};

TEST_F(DigitizerOpsTest, NodeMapAddressesNameTheDigitizersOwnMap) {
  const QINT64 holder = Inquire(6906);
  EXPECT_NE(holder, 0);
  EXPECT_EQ(Inquire(6951), holder);
  EXPECT_EQ(Inquire(1079), 1);
}

// Each control's values in turn, with the error each leaves. The board starts in continuous
// acquisition mode (-1).
TEST_F(DigitizerOpsTest, ControlsTakeTheirValuesOnly) {
  const std::pair<const char*, const char*> rows[] = {
      {"6908? 6908=1 6908? 9105? 6908=default 6908? 9105? 6908=2",
       "6908:-1 6908=1 6908:1 9105:1 6908=default 6908:-1 9105:0 6908=2!4307/3 "},
      {"6931=29 9106? 6931=default 6928=29 6928=default 6931=1 6928=1",
       "6931=29 9106:1 6931=default 6928=29 6928=default 6931=1!4307/3 6928=1!4307/3 "},
      {"6929=default 6930=default 6929? 6930? 6929=-5 6930=250 6929? 6930?",
       "6929=default 6930=default 6929:1000 6930:0 6929=-5 6930=250 6929:0 6930:250 "},
      {"4133? 4133=1 4133? 4133=default 4133? 4133=2 6973=1",
       "4133:131072 4133=1 4133:1 4133=default 4133:131072 4133=2!4307/3 6973=1!4307/3 "},
      {"6973? 6973=-9997 6973? 6973=default 6973?",
       "6973:-9999 6973=-9997 6973:-9997 6973=default 6973:-9999 "},
  };
  for (const auto& [steps, expected] : rows) EXPECT_EQ(Steps(digitizer_, steps), expected);
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

// The kept values and texts of the control, and the manifest of this board up to the last word and
// the last entry's text, start empty; each value with the error it leaves. Just past the words
// and the texts: not the manifest's.
TEST_F(DigitizerOpsTest, KeptValuesAndTheManifestOfThisBoardStartEmpty) {
  std::string lengths;
  for (QINT64 type : {7861 + kLength, 7862 + kLength, 7877 + kLength}) {
    lengths += std::to_string(Inquire(type));
    lengths += "/" + std::to_string(ErrorCode()) + " ";
  }
  EXPECT_EQ(lengths, "1/0 1/0 1/0 ");
  wchar_t text[4] = {L'x', L'x', L'x', L'x'};
  QdigInquire(digitizer_, 7862, text);
  EXPECT_EQ(text[0], L'\0');
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_EQ(Steps(digitizer_, "6937? 6938? 6939? 6940? 6941? 6922? 5455? 5456? 5535? 5536?"),
            "6937:0 6938:0 6939:0 6940:0 6941:0 6922:0 5455:0 5456:0 5535:0 5536:0!4310/1 ");
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
  EXPECT_EQ(Steps(digitizer_, "7709=0 7709=default"), "7709=0!4307/3 7709=default!4307/3 ");
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

// The system's control and inquire.
using SystemOpsTest = GenICamSystemFixture;

// No web browser program is installed here (4402). The keep-alive control mode takes its three
// values only; the registry is read again only with the default value.
TEST_F(SystemOpsTest, InquiriesGiveTheLayersOwnAnswers) {
  EXPECT_EQ(Steps(0, "1079? 4390? 4397? 4402? 6950?"), "1079:1 4390:1 4397:1 4402:0 6950:0 ");
  EXPECT_EQ(Steps(0, "4813? 4813=131072 4813? 4813=7 4813? 4813=default 4813? 2005=default 2005=1"),
            "4813:1 4813=131072 4813:131072 4813=7!4307/3 4813:131072 4813=default 4813:1 "
            "2005=default 2005=1!4307/3 ");
  QINT64 value = -1;
  double version = 0;
  QsysInquire(system_, 7311, &version);
  EXPECT_DOUBLE_EQ(version, 3.1);
  wchar_t manifest[4] = {L'x', L'x', L'x', L'x'};
  QsysInquire(system_, 7707, manifest);
  EXPECT_EQ(manifest[0], L'\0');
  QsysInquire(system_, 7707 + kLength, &value);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(ErrorCode(), 0);
}

// The system's own map is made when the host names the system.
TEST_F(SystemOpsTest, SystemNodeMapAddressFollowsItsErasureAndCreation) {
  QINT64 made = 0;
  QsysInquire(system_, 6951, &made);
  EXPECT_NE(made, 0);
  QINT64 address = -1;
  QsysControl(system_, 1105, system_);  // made already: nothing new
  QsysControl(system_, 1106, 0);        // no object: nothing happens
  QsysInquire(system_, 6951, &address);
  EXPECT_EQ(address, made);
  QsysControl(system_, 1106, system_);
  QsysInquire(system_, 6951, &address);
  EXPECT_EQ(address, 0);
  QsysControl(system_, 1105, system_);
  QsysInquire(system_, 6951, &address);
  EXPECT_NE(address, 0);
  EXPECT_EQ(ErrorCode(), 0);
}

}  // namespace
}  // namespace zor::genicam
