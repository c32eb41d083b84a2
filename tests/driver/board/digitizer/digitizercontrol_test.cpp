// Digitizer controls and inquiries through libZOR.so: the values the driver
// keeps and checks, the board's own types, channel and reference.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "tests/driver/board/digitizer/digitizerfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kTimeout = 4127;
constexpr QINT64 kSourceWidth = 4022;
constexpr QINT64 kSourceHeight = 4023;
constexpr QINT64 kOffsetX = 4024;
constexpr QINT64 kTrigger = 4200;
constexpr QINT64 kCamera = 0x100000000;
constexpr QINT64 kBoard = 0x200000000;

class DigitizerControl : public DigitizerFixture {
 protected:
  void SetUp() override {
    DigitizerFixture::SetUp();
    digitizer_ = Digitizer(L"Q_PAL");
    ASSERT_NE(digitizer_, 0) << "error " << ErrorCode();
  }
  void ExpectError(QINT64 code, QINT64 sub, const char* what) {
    EXPECT_EQ(LastError(), Err(code, sub)) << what;
  }
  struct CheckedSetting {
    QINT64 type;
    std::vector<std::pair<QINT64, QINT64>> taken;  // value written, value read back
    std::vector<QINT64> refused;
  };
  // Each value taken reads back; each refused one is error 4307 sub 3 and leaves the last.
  void ExpectChecked(const CheckedSetting& setting) {
    SCOPED_TRACE(setting.type);
    for (const auto& [value, read] : setting.taken) {
      QdigControl(digitizer_, setting.type, value);
      EXPECT_EQ(LastError(), Err(0)) << value;
      EXPECT_EQ(Inquire(digitizer_, setting.type), read) << value;
    }
    for (QINT64 value : setting.refused) {
      QdigControl(digitizer_, setting.type, value);
      ExpectError(4307, 3, "refused");
      EXPECT_EQ(Inquire(digitizer_, setting.type), setting.taken.back().second) << value;
    }
  }
  QID digitizer_ = 0;
};

TEST_F(DigitizerControl, RefusedValuesStoreNothing) {
  // A time-out of 0, a width of 1, an offset at the last column.
  ExpectSteps(digitizer_, &QdigControl, &QdigInquire,
              {{kTimeout, 0, Err(4307, 3), 2400},
               {kSourceWidth, 1, Err(4307, 3), 720},
               {kOffsetX, 719, Err(4307, 3), 0}});
  QdigControl(digitizer_, 4000 | kCamera, Q_DEFAULT);
  ExpectError(4316, 2, "camera bit");
  QdigControl(digitizer_, 4000 | kCamera | kBoard, Q_DEFAULT);
  ExpectError(4316, 1, "camera and board bits");
  // Every setting the driver checks: what it takes reads back, what it refuses changes nothing.
  const QINT64 width = Inquire(digitizer_, Q_SIZE_X);
  const QINT64 height = Inquire(digitizer_, Q_SIZE_Y);
  ASSERT_EQ(width, 720);
  const CheckedSetting settings[] = {
      {kTimeout, {{500, 500}, {-1, -1}}, {0}},
      {kSourceWidth, {{2, 2}, {width, width}}, {1, width + 1, 0}},
      {kSourceHeight, {{2, 2}, {height, height}}, {1, height + 1, 0}},
      {kOffsetX, {{width - 2, width - 2}, {0, 0}}, {-1, width - 1}},
      {4025, {{height - 2, height - 2}, {0, 0}}, {-1, height - 1}},
      {4016, {{3, 3}, {2, 2}, {Q_DEFAULT, 1}}, {0, 4}},
      {4018, {{1, 1}, {Q_DEFAULT, 2}}, {0, 3}},
      {4074, {{20, 20}, {22, 22}, {Q_DEFAULT, 21}}, {0, 19, 23}},
      {4230, {{4, 4}, {Q_DEFAULT, 1}}, {0, 2}},
      {4231, {{4, 4}, {Q_DEFAULT, 1}}, {0, 2}},
      {4775, {{10, 10}, {Q_DEFAULT, 0x4000000}}, {0, 11}},
      {1018, {{1, 1}, {0, 0}}, {2, -1}},
      {4325, {{Q_ENABLE, Q_ENABLE}, {Q_DISABLE, Q_DISABLE}}, {0, 1}},
      {4019, {{255, 255}, {0, 0}}, {-1, 256}},
  };
  for (const CheckedSetting& setting : settings) ExpectChecked(setting);
  // The trigger source and the software trigger go to the board without a value of their own.
  for (QINT64 source : {QINT64{0x10000}, QINT64{0x10000000}, QINT64{0}}) {
    QdigControl(digitizer_, 4053, source);
    EXPECT_EQ(LastError(), Err(0)) << source;
  }
  QdigControl(digitizer_, 4053, 1);
  ExpectError(4307, 3, "trigger source 1");
  QdigControl(digitizer_, 4209, 1);
  EXPECT_EQ(LastError(), Err(0));
  for (QINT64 refused : {0, 2}) {
    QdigControl(digitizer_, 4209, refused);
    ExpectError(4307, 3, "software trigger other than 1");
  }
  // Decimation 1/n up to 1/16, of both axes or one.
  QdigControlDouble(digitizer_, 6600, 1.0 / 16);
  QdigControlDouble(digitizer_, 6601, 0.5);
  EXPECT_EQ(LastError(), Err(0));
  QdigControlDouble(digitizer_, 6602, 1.0);
  EXPECT_EQ(LastError(), Err(0));
  for (QINT64 type : {6600, 6601, 6602}) {
    for (double refused : {0.0, 0.3, 1.0 / 17, 2.0}) {
      QdigControlDouble(digitizer_, type, refused);
      ExpectError(4307, 3, "decimation refused");
      EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6601), 0.5) << type << " " << refused;
      EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6602), 1.0) << type << " " << refused;
    }
  }
  // The refused types at both ends of their ranges, and their neighbours, which are not.
  for (QINT64 type : {0x20000, 0x20BB8, 4054, 5186, 69555, 69559, 4379, 4380, 7730}) {
    QdigControl(digitizer_, type, 1);
    ExpectError(4307, 1, std::to_string(type).c_str());
  }
  for (QINT64 type : {0x1FFFF, 0x20BB9, 4055, 5185, 5187, 69554, 69560, 4378, 4381, 7729, 7731}) {
    QdigControl(digitizer_, type, 1);
    EXPECT_FALSE(ErrorCode() == 4307 && SubCode(1) == 1) << type;
  }
}

TEST_F(DigitizerControl, KeptValuesAnswerTheirInquiries) {
  QdigControlDouble(digitizer_, 6600, 0.25);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6601), 0.25);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6602), 0.25);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6604), 4.0);
  // The grab time-out: by default the period times 60 while the trigger is off.
  ExpectSteps(digitizer_, &QdigControl, &QdigInquire,
              {{kSourceWidth, 360, Err(0), 360},
               {kSourceHeight, 2, Err(0), 2},
               {kOffsetX, 100, Err(0), 100},
               {4230, 4, Err(0), 4},
               {4018, Q_DEFAULT, Err(0), 2},
               {4325, -9999, Err(0), -9999},
               {kTrigger, -9999, Err(0), -9999},
               {kTimeout, Q_DEFAULT, Err(0), 2400},
               {kTrigger, -9997, Err(0), -9997}});
  EXPECT_EQ(Inquire(digitizer_, kSourceWidth), 360);
  EXPECT_EQ(Inquire(digitizer_, 4021), 0);
  EXPECT_EQ(Inquire(digitizer_, 1018), 0);
  EXPECT_EQ(Inquire(digitizer_, kTimeout), -1);
  EXPECT_EQ(LastError(), Err(0));
}

// With the board's inquiries failing (4300), each type shows where it is answered: refused
// (4310) or sent to the board at both ends of every refused range, or answered by the driver.
TEST_F(DigitizerControl, EachInquiryIsAnsweredWhereItBelongs) {
  SimBoard().ArmFault(zor::kernel::kDigInquire,
                      boardsim::Fault{.code = 4300, .subCode = 2, .count = -1});
  // The reference pair also with bit 16, or with a channel bit and the board's.
  std::vector<QINT64> refused = {1102,  4054,  4379, 4380,           5186,
                                 69555, 69559, 6650, 6650 + 0x10000, 6651 + 0x400000 + kBoard};
  std::vector<QINT64> board = {4055, 4378, 4381, 5185, 5187, 69554, 69560, 6652, 6650 | 0x20000};
  for (QINT64 first : {131072, 131172, 131272, 131572, 131672, 131872, 133172, 133272}) {
    refused.insert(refused.end(), {first, first + 4});
    board.insert(board.end(), {first - 1, first + 5});
  }
  for (QINT64 type : refused) {
    Inquire(digitizer_, type);
    ExpectError(4310, 1, std::to_string(type).c_str());
  }
  for (QINT64 type : board) {
    Inquire(digitizer_, type);
    ExpectError(4300, 2, std::to_string(type).c_str());
  }
  const std::pair<QINT64, QINT64> own[] = {
      {4069, 0},         {4226, 0},   {4062, 1},          {4063, 1},          {4064, 1},
      {4065, 1},         {4068, 1},   {4070, 1},          {4227, 1},          {4020, 1},
      {4427, 1},         {1009, 0},   {1012, 0x10000000}, {6705, 0x10000000}, {1536, 720},
      {1537, 576},       {1007, 8},   {1008, 8},          {1005, 3},          {1006, 0},
      {4016, 1},         {4017, 1},   {4018, 2},          {4021, 0},          {1018, 1},
      {4325, -9997},     {4022, 720}, {4023, 576},        {4024, 0},          {4025, 0},
      {4230, 1},         {4231, 1},   {4142, 40},         {4127, 2400},       {4074, 21},
      {4775, 0x4000000},
  };
  for (const auto& [type, value] : own) {
    EXPECT_EQ(Inquire(digitizer_, type), value) << type;
    EXPECT_EQ(LastError(), Err(0)) << type;
  }
  for (QINT64 type : {6601, 6602, 6604, 6605}) {
    EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, type), 1.0) << type;
    EXPECT_EQ(LastError(), Err(0)) << type;
  }
  for (const auto& [decimation, supported] : {std::pair{0.5, 1.0}, std::pair{0.3, 0.0}}) {
    double answer = decimation;
    QdigInquire(digitizer_, 6649, &answer);
    EXPECT_EQ(answer, supported) << decimation;
  }
  SimBoard().ClearFaults();
}

// Types the board leaves to the device layer's own table.
TEST_F(DigitizerControl, TheDeviceLayersAnswers) {
  EXPECT_EQ(Inquire(digitizer_, 17), 0);
  EXPECT_EQ(Inquire(digitizer_, 0x20000000600), Inquire(digitizer_, 1536));
  EXPECT_EQ(Inquire(digitizer_, 0x20000000601), Inquire(digitizer_, 1537));
  for (QINT64 type : {QINT64{4053}, QINT64{4364}, QINT64{4374}, QINT64{0xA400110C},
                      QINT64{0xA800110C}, QINT64{4458}}) {
    EXPECT_EQ(Inquire(digitizer_, type), 0) << type;
  }
  // Nothing grabbed yet: no frames counted, no rate, nothing pending.
  EXPECT_EQ(Inquire(digitizer_, 6925), 0);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6607), 0.0);
  EXPECT_EQ(Inquire(digitizer_, 6926), 0);
  EXPECT_EQ(LastError(), Err(0));
  // The end trigger as set; by default off while the grab trigger is, and off
  // with it on too: the trigger source (0) is not the one that ends a grab.
  ExpectSteps(digitizer_, &QdigControl, &QdigInquire,
              {{2038, -9997, Err(0), -9997}, {2038, Q_DEFAULT, Err(0), -9999}});
  for (QINT64 trigger : {-9999, -9997}) {
    QdigControl(digitizer_, kTrigger, trigger);
    EXPECT_EQ(Inquire(digitizer_, 2038), -9999) << trigger;
  }
  EXPECT_EQ(LastError(), Err(0));
}

TEST_F(DigitizerControl, TheDcfNameAndTheBoardsOwnTypes) {
  const QINT64 length = Inquire(digitizer_, 7701 + 0x50000000000);
  ASSERT_EQ(length, 6);
  wchar_t name[6] = {};
  QdigInquire(digitizer_, 7701, name);
  EXPECT_STREQ(name, L"Q_PAL");
  // A type the driver passes to the board is kept there and answered; a type no layer knows is
  // refused, not kept.
  // The channel level takes the any-channel bit alone of the channel bits.
  ExpectSteps(digitizer_, &QdigControl, &QdigInquire, {{4019, 77, Err(0), 77}});
  QdigControl(digitizer_, 4019 | 0x40000000, 78);
  EXPECT_EQ(Inquire(digitizer_, 4019), 78);
  QdigControl(digitizer_, 4019 | 0x400000, 79);
  ExpectError(4324, 1, "a channel bit on the channel level");
  EXPECT_EQ(Inquire(digitizer_, 4019), 78);
  QdigControl(digitizer_, 5555, 77);
  ExpectError(4307, 2, "a type of no layer");
  Inquire(digitizer_, 5555);
  ExpectError(4310, 1, "nothing kept of it");
  // The decoder's status register 1 shows a locked 625-line signal.
  EXPECT_EQ(Inquire(digitizer_, 6801) & 0x75, 0x45);
}

TEST_F(DigitizerControl, ChannelAndReferenceLevels) {
  for (const auto& [type, value, error] :
       {std::tuple{4000, Q_DEFAULT, Err(0)}, std::tuple{4000, QINT64{5}, Err(4406, 1)},
        std::tuple{6657, Q_DEFAULT, Err(0)}}) {
    QdigControl(digitizer_, type, value);
    EXPECT_EQ(LastError(), error) << type << " " << value;
  }
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6657), 128.0) << "reference levels answer as doubles";
  // Each reference takes both ends of 0 to 255 and refuses one past either.
  for (QINT64 type : {6655, 6656, 6657, 6658}) {
    SCOPED_TRACE(type);
    for (double level : {0.0, 255.0}) {
      QdigControlDouble(digitizer_, type, level);
      EXPECT_EQ(LastError(), Err(0));
      EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, type), level);
    }
    for (double refused : {-1.0, 256.0}) {
      QdigControlDouble(digitizer_, type, refused);
      ExpectError(4322, 2, "a level outside 0 to 255");
      EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, type), 255.0);
    }
  }
  const QID mono = Digitizer(L"Q_CCIR", 1);
  ASSERT_NE(mono, 0);
  QdigControlDouble(mono, 6655, 10.0);
  ExpectError(4323, 3, "colour reference on a mono camera");
}

TEST_F(DigitizerControl, ChannelWordsAndTheReferenceRequest) {
  for (QINT64 type : {4000, 4000 + 0x1000, 4000 + 0x3000}) {
    QdigControl(digitizer_, type, Q_DEFAULT);
    EXPECT_EQ(LastError(), Err(0)) << type;
  }
  QdigControl(digitizer_, 4000, 0x40000000);
  EXPECT_EQ(LastError(), Err(0));
  QdigControl(digitizer_, 4000 + 0x1000, 0x40000000);
  ExpectError(4406, 1, "the type's bits join the channel");
  QdigControl(digitizer_, 4000, 0x40000000 | kCamera);
  EXPECT_EQ(LastError(), Err(4324, 5));
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_1_TEXT), L"Q_CAMERA is not supported on this system.");
  // One level set, the other three slots of the request left at the default word.
  QdigControl(digitizer_, 6657, Q_DEFAULT);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6657), 128.0);
  for (QINT64 type : {6655, 6656, 6658}) {
    EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, type), static_cast<double>(Q_DEFAULT)) << type;
  }
  // A channel at the digitizer's own channel bit or beyond it.
  QdigControl(digitizer_, 6658 | 0x2000000, 10);
  ExpectError(4322, 3, "a channel outside the digitizer's");
  // An inquiry of the camera is refused, the board bit telling which way.
  Inquire(digitizer_, 4000 | kCamera);
  ExpectError(4316, 2, "the camera");
  Inquire(digitizer_, 4000 | kCamera | kBoard);
  ExpectError(4316, 1, "the camera, with the board bit");
  // The reference pair, with bit 16 or 17 too, is a reference of no kind.
  for (QINT64 type : {6650, 6651, 6650 | 0x10000, 6651 | 0x20000}) {
    QdigControl(digitizer_, type, 10);
    ExpectError(4322, 1, std::to_string(type).c_str());
  }
}

}  // namespace
}  // namespace zor::board
