// Buffer-modified events turned into the host's grab-processing notifications.
#include "driver/frameworkuser/hooks/bufmodifiedhook.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "interfaces/kernel/deviceevent.h"
#include "platform/host/hostservices.h"
#include "platform/host/zor.h"
#include "tests/support/errorreports.h"

using namespace zor::frame;
namespace kernel = zor::kernel;

namespace {

// The flags and the buffer the host names for the event.
struct Notice {
  QINT64 flags;
  QINT64 buffer;
  bool operator==(const Notice&) const = default;
};

QINT64 Notified(QINT64 flags, QID event, void* user) {
  QINT64 buffer = 0;
  QbufGetHookInfo(event, Q_OBJECT_ID, &buffer);
  static_cast<std::vector<Notice>*>(user)->push_back({flags, buffer});
  return 0;
}

class BufModified : public testing::Test {
 protected:
  void SetUp() override {
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    hostBuffer_ = QbufAlloc2d(Q_DEFAULT, 64, 48, 8, Q_IMAGE | Q_GRAB, nullptr);
    ASSERT_NE(hostBuffer_, 0);
    auto buffer = std::make_shared<QDBufferInfo>(0, nullptr);
    ASSERT_TRUE(FillKernelBufferDescriptor(*buffer, hostBuffer_));
    buffer->SetIndex(buffers_.Add(buffer));
    buffer_ = buffer;
    dcf_.fill(0);
    auto digitizer = std::make_shared<QDDigitizerInfo>(0, L"Q_NTSC", 0, Q_DEFAULT, channel_, dcf_);
    digitizer->SetIndex(digitizers_.Add(digitizer));
    digitizer_ = digitizer;
  }
  void TearDown() override { QbufFree(hostBuffer_); }

  kernel::BufferModifiedPayload Payload(uint64_t digitizerIndex, uint64_t bufferIndex) {
    kernel::BufferModifiedPayload p{};
    p.digitizerIndex = digitizerIndex;
    p.bufferIndex = bufferIndex;
    p.hostObject = static_cast<uint64_t>(hostBuffer_);
    p.hookFunction = reinterpret_cast<uint64_t>(&Notified);
    p.hookData = reinterpret_cast<uint64_t>(&notices_);
    p.count = 1000;
    p.further = 1000;
    p.eventWord = kernel::kGrabStartWord;
    return p;
  }
  void Invoke(const kernel::BufferModifiedPayload& p, QID event = 0) {
    CBufModifiedHook hook(digitizers_, buffers_);
    EXPECT_EQ(hook.Invoke(nullptr, event, {reinterpret_cast<const uint8_t*>(&p)}), 0);
  }

  QDInfoList<QDDigitizerInfo> digitizers_;
  QDInfoList<QDBufferInfo> buffers_;
  DigChannelRecord channel_;
  QDDigitizerInfo::DcfBlock dcf_;
  std::shared_ptr<QDDigitizerInfo> digitizer_;
  std::shared_ptr<QDBufferInfo> buffer_;
  QID hostBuffer_ = 0;
  std::vector<Notice> notices_;
  zortest::ErrorReports reports_;
};

// The flags of each event word, from a digitizer or not, with a rate or not; a digitizer's event
// is told to the buffer (its setting 25) and its grab status kept.
TEST_F(BufModified, FlagsTellTheEventItsSourceAndWhetherARateCame) {
  constexpr uint64_t kOther = 5;
  const struct {
    uint64_t eventWord, digitizer, rateDenominator;
    QINT64 flags;
  } cases[] = {
      {kernel::kGrabStartWord, 1, 0, 0x1000000},
      {kernel::kGrabStartWord, 1, 1, 64 | 0x1000000},
      {kernel::kGrabStartWord, 0, 0, 0x20000000},
      {kernel::kGrabStartWord, 0, 1, 64 | 0x20000000},
      {kernel::kGrabEndWord, 1, 0, 0x800000},
      {kernel::kGrabEndWord, 1, 1, 64 | 0x800000},
      {kernel::kGrabEndWord, 0, 0, 0x20000000},
      {kernel::kGrabEndWord, 0, 1, 64 | 0x20000000},
      {kOther, 1, 0, 0x2000000},
      {kOther, 1, 1, 0x2000040},
      {kOther, 0, 0, 0},
      {kOther, 0, 1, 64},
  };
  QID event = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.eventWord << " " << c.digitizer << " " << c.rateDenominator);
    auto p = Payload(c.digitizer, 1);
    p.eventWord = c.eventWord;
    p.rateDenominator = c.rateDenominator;
    p.grabStatus[0] = static_cast<uint64_t>(++event);
    HostInternalControl(hostBuffer_, 25, 0);
    notices_.clear();
    Invoke(p, event);
    EXPECT_EQ(notices_, (std::vector<Notice>{{c.flags | 0xC000000, hostBuffer_}}));
    QINT64 told = -1;
    HostInternalInquire(hostBuffer_, 25, &told);
    EXPECT_EQ(told, c.digitizer != 0 ? event : 0);
    if (c.digitizer != 0) {
      EXPECT_EQ(digitizer_->GrabStatus()[0], static_cast<uint64_t>(event));
    }
  }
  EXPECT_TRUE(reports_.Empty()) << "no grab error came";
}

TEST_F(BufModified, GrabErrorsAreReportedOnlyWhenReportingIsOn) {
  auto p = Payload(1, 1);
  p.grabError = 1;
  p.errorCode = 4318;
  p.errorSubCode = 1;
  digitizer_->SetGrabErrorReporting(Q_DISABLE);
  Invoke(p);
  EXPECT_TRUE(reports_.Empty());
  EXPECT_EQ(notices_.size(), 1u) << "the host is notified all the same";
  digitizer_->SetGrabErrorReporting(Q_ENABLE);
  Invoke(p);
  EXPECT_EQ(reports_.Take(),
            std::vector<std::wstring>{L"4318 QdigGrab Synchronization lost (time out)."});
  EXPECT_EQ(notices_.size(), 2u);
  QINT64 current = -1;
  HostGetError(0, Q_CURRENT, &current);
  EXPECT_EQ(current, 0) << "the report does not stay on the thread";
}

// Of a stopped digitizer, a disabled buffer is only marked; an unknown one (whose flag
// cannot be read) notifies the payload's object.
TEST_F(BufModified, StoppedDigitizerNotifiesUnknownAndEnabledBuffers) {
  digitizer_->SetProcessEnableSetting(Q_DISABLE);
  SetEnabledFlag(buffers_, *buffer_, false);
  Invoke(Payload(1, 1));
  EXPECT_TRUE(notices_.empty());
  QINT64 state = 0;
  QbufInquire(hostBuffer_, Q_GRAB_STATE, &state);
  EXPECT_EQ(state, 2);
  Invoke(Payload(1, 99));
  Invoke(Payload(5, 99));
  SetEnabledFlag(buffers_, *buffer_, true);
  Invoke(Payload(1, 1));
  const Notice ofDigitizer{0x1000000 | 0xC000000, hostBuffer_};
  EXPECT_EQ(notices_,
            (std::vector<Notice>{ofDigitizer, {0x20000000 | 0xC000000, hostBuffer_}, ofDigitizer}));
}

}  // namespace
