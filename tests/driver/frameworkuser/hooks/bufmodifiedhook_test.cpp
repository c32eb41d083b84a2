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
  void Invoke(const kernel::BufferModifiedPayload& p) {
    CBufModifiedHook hook(digitizers_, buffers_);
    EXPECT_EQ(hook.Invoke(nullptr, 0, {reinterpret_cast<const uint8_t*>(&p)}), 0);
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

// The digitizer keeps the grab status too.
TEST_F(BufModified, FlagsTellTheGrabEndAndWhetherARateCame) {
  auto p = Payload(1, 1);
  p.grabStatus[0] = 5;
  p.grabStatus[7] = 9;
  Invoke(p);  // no denominator: no rate flag
  EXPECT_EQ(digitizer_->GrabStatus(), (std::array<uint64_t, 8>{5, 0, 0, 0, 0, 0, 0, 9}));
  p.eventWord = kernel::kGrabEndWord;
  p.rateNumerator = 30;
  p.rateDenominator = 1;
  Invoke(p);
  p.digitizerIndex = 0;  // not from a digitizer
  Invoke(p);
  EXPECT_EQ(notices_, (std::vector<Notice>{{0x1000000 | 0xC000000, hostBuffer_},
                                           {64 | 0x800000 | 0xC000000, hostBuffer_},
                                           {64 | 0x20000000 | 0xC000000, hostBuffer_}}));
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
  Invoke(Payload(1, 99));
  Invoke(Payload(5, 99));
  SetEnabledFlag(buffers_, *buffer_, true);
  Invoke(Payload(1, 1));
  const Notice ofDigitizer{0x1000000 | 0xC000000, hostBuffer_};
  EXPECT_EQ(notices_,
            (std::vector<Notice>{ofDigitizer, {0x20000000 | 0xC000000, hostBuffer_}, ofDigitizer}));
}

}  // namespace
