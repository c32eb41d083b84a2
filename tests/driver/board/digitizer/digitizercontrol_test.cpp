// Digitizer controls and inquiries through libZOR.so: the values the driver
// keeps and checks, the board's own types, channel and reference.
#include <gtest/gtest.h>

#include <cwchar>

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
    EXPECT_EQ(ErrorCode(), code) << what;
    EXPECT_EQ(SubCode(1), sub) << what;
  }
  QID digitizer_ = 0;
};

TEST_F(DigitizerControl, RefusedValuesStoreNothing) {
  QdigControl(digitizer_, kTimeout, 0);
  ExpectError(4307, 3, "time-out 0");
  QdigControl(digitizer_, kSourceWidth, 1);
  ExpectError(4307, 3, "width 1");
  EXPECT_EQ(Inquire(digitizer_, kSourceWidth), 720);
  QdigControl(digitizer_, kOffsetX, 719);
  ExpectError(4307, 3, "offset at the last column");
  QdigControlDouble(digitizer_, 6600, 0.3);
  ExpectError(4307, 3, "decimation 0.3");
  QdigControl(digitizer_, 4054, 1);
  ExpectError(4307, 1, "refused type");
  QdigInquire(digitizer_, 4054, nullptr);
  ExpectError(4310, 1, "refused inquire");
  QdigControl(digitizer_, 4000 | kCamera, Q_DEFAULT);
  ExpectError(4316, 2, "camera bit");
  QdigControl(digitizer_, 4000 | kCamera | kBoard, Q_DEFAULT);
  ExpectError(4316, 1, "camera and board bits");
}

TEST_F(DigitizerControl, KeptValuesAnswerTheirInquiries) {
  QdigControlDouble(digitizer_, 6600, 0.25);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6601), 0.25);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6602), 0.25);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6604), 4.0);
  QdigControl(digitizer_, kSourceWidth, 360);
  QdigControl(digitizer_, kSourceHeight, 2);
  QdigControl(digitizer_, kOffsetX, 100);
  EXPECT_EQ(Inquire(digitizer_, kSourceWidth), 360);
  EXPECT_EQ(Inquire(digitizer_, kSourceHeight), 2);
  EXPECT_EQ(Inquire(digitizer_, kOffsetX), 100);
  QdigControl(digitizer_, 4230, 4);
  EXPECT_EQ(Inquire(digitizer_, 4230), 4);
  QdigControl(digitizer_, 4018, Q_DEFAULT);
  EXPECT_EQ(Inquire(digitizer_, 4018), 2);
  EXPECT_EQ(Inquire(digitizer_, 4021), 0);
  QdigControl(digitizer_, 4325, -9999);
  EXPECT_EQ(Inquire(digitizer_, 1018), 0);
  EXPECT_EQ(Inquire(digitizer_, 4325), -9999);
  // The grab time-out: by default the period times 60 while the trigger is off.
  QdigControl(digitizer_, kTrigger, -9999);
  QdigControl(digitizer_, kTimeout, Q_DEFAULT);
  EXPECT_EQ(Inquire(digitizer_, kTimeout), 2400);
  QdigControl(digitizer_, kTrigger, -9997);
  EXPECT_EQ(Inquire(digitizer_, kTimeout), -1);
  EXPECT_EQ(ErrorCode(), 0);
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
  EXPECT_EQ(ErrorCode(), 0);
  // The end trigger as set; by default off while the grab trigger is, and off
  // with it on too: the trigger source (0) is not the one that ends a grab.
  QdigControl(digitizer_, 2038, -9997);
  EXPECT_EQ(Inquire(digitizer_, 2038), -9997);
  QdigControl(digitizer_, 2038, Q_DEFAULT);
  QdigControl(digitizer_, kTrigger, -9999);
  EXPECT_EQ(Inquire(digitizer_, 2038), -9999);
  QdigControl(digitizer_, kTrigger, -9997);
  EXPECT_EQ(Inquire(digitizer_, 2038), -9999);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(DigitizerControl, TheDcfNameAndTheBoardsOwnTypes) {
  const QINT64 length = Inquire(digitizer_, 7701 + 0x50000000000);
  ASSERT_EQ(length, 6);
  wchar_t name[6] = {};
  QdigInquire(digitizer_, 7701, name);
  EXPECT_STREQ(name, L"Q_PAL");
  // A type the driver passes to the board is kept there and answered; a type no layer knows is
  // refused, not kept.
  QdigControl(digitizer_, 4019, 77);
  EXPECT_EQ(Inquire(digitizer_, 4019), 77);
  EXPECT_EQ(ErrorCode(), 0);
  QdigControl(digitizer_, 5555, 77);
  ExpectError(4307, 2, "a type of no layer");
  Inquire(digitizer_, 5555);
  ExpectError(4310, 1, "nothing kept of it");
  // The decoder's status register 1 shows a locked 625-line signal.
  EXPECT_EQ(Inquire(digitizer_, 6801) & 0x75, 0x45);
}

TEST_F(DigitizerControl, ChannelAndReferenceLevels) {
  QdigControl(digitizer_, 4000, Q_DEFAULT);
  EXPECT_EQ(ErrorCode(), 0);
  QdigControl(digitizer_, 4000, 5);
  ExpectError(4406, 1, "channel 5");
  QdigControl(digitizer_, 6657, Q_DEFAULT);
  EXPECT_EQ(ErrorCode(), 0);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6657), 128.0) << "reference levels answer as doubles";
  QdigControlDouble(digitizer_, 6658, 40.0);
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6658), 40.0);
  QdigControlDouble(digitizer_, 6658, -5.0);
  ExpectError(4322, 2, "a negative level");
  QdigControlDouble(digitizer_, 6658, 256.0);
  ExpectError(4322, 2, "a level above 255");
  EXPECT_DOUBLE_EQ(InquireDouble(digitizer_, 6658), 40.0);
  const QID mono = Digitizer(L"Q_CCIR", 1);
  ASSERT_NE(mono, 0);
  QdigControlDouble(mono, 6655, 10.0);
  ExpectError(4323, 3, "colour reference on a mono camera");
}

TEST_F(DigitizerControl, ChannelWordsAndTheReferenceRequest) {
  for (QINT64 type : {4000, 4000 + 0x1000, 4000 + 0x3000}) {
    QdigControl(digitizer_, type, Q_DEFAULT);
    EXPECT_EQ(ErrorCode(), 0) << type;
  }
  QdigControl(digitizer_, 4000, 0x40000000);
  EXPECT_EQ(ErrorCode(), 0);
  QdigControl(digitizer_, 4000 + 0x1000, 0x40000000);
  ExpectError(4406, 1, "the type's bits join the channel");
  QdigControl(digitizer_, 4000, 0x40000000 | kCamera);
  EXPECT_EQ(ErrorCode(), 4324);
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
}

}  // namespace
}  // namespace zor::board
