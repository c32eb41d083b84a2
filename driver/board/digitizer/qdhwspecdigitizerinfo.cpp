// QDHwSpecDigitizerInfo: the board's digitizer record and the values it reads from its DCF.
#include "driver/board/digitizer/qdhwspecdigitizerinfo.h"

#include "driver/board/dcf/dcfregistertable.h"
#include "driver/board/grabcontrol/grabcontrolbinding.h"
#include "driver/board/process/cdigprocesshdler.h"
#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/escapedexception.h"

namespace zor::board {

namespace {

constexpr double kPeriod60Hz = 33.33333;
constexpr double kPeriod50Hz = 40.0;
constexpr uint64_t kMost525Lines = 486;
constexpr size_t kInputControl = kernel::kDcfAdv7180Offset;

uint32_t Info(const uint8_t* dcf, const wchar_t* key) {
  return ReadDcfInfo(dcf, FindDcfRow(key)->position);
}

}  // namespace

QDHwSpecDigitizerInfo::QDHwSpecDigitizerInfo(uint32_t logSource, const std::wstring& dcfName,
                                             int64_t deviceNumber, int64_t initFlag,
                                             std::unique_ptr<frame::DigChannelRecord> record,
                                             const DcfBlock& dcfBlock)
    : ChannelRecordHolder{std::move(record)},
      QDDigitizerInfo(logSource, dcfName, deviceNumber, initFlag, *channelRecord, dcfBlock) {}

QDHwSpecDigitizerInfo::~QDHwSpecDigitizerInfo() = default;

void QDHwSpecDigitizerInfo::SetProcessHandler(std::unique_ptr<CDigProcessHdler> handler) {
  processHandler_ = std::move(handler);
  handler_.store(processHandler_.get(), std::memory_order_release);
}

void QDHwSpecDigitizerInfo::OnProcessingFunctionFailed(const frame::EscapedException& escaped) {
  CDigProcessHdler* handler = ProcessHandler();
  if (handler == nullptr) return QDDigitizerInfo::OnProcessingFunctionFailed(escaped);
  handler->EndAfterFailure(escaped);
}

void QDHwSpecDigitizerInfo::SetBinding(std::unique_ptr<GrabControlBinding> binding) {
  binding_ = std::move(binding);
}

uint32_t QDHwSpecDigitizerInfo::DcfWidth() const {
  return ReadDcfInfo(Dcf().data(), kDcfInfoXSize);
}
uint32_t QDHwSpecDigitizerInfo::DcfHeight() const {
  return ReadDcfInfo(Dcf().data(), kDcfInfoYSize);
}
uint32_t QDHwSpecDigitizerInfo::DcfBands() const { return Info(Dcf().data(), L"INFO_BAND"); }

double GrabPeriodFor(const uint8_t* dcf) {
  if (dcf[kDcfFlagsOffset + kInputControl] != 0) {
    // VID_SEL values 4 to 7 and 10, 11 force 525-line standards, 8, 9 and 12 to
    // 15 the 625-line ones; 0 to 3 autodetect.
    switch (dcf[kInputControl] >> 4) {
      case 0x4:
      case 0x5:
      case 0x6:
      case 0x7:
      case 0xA:
      case 0xB:
        return kPeriod60Hz;
      case 0x8:
      case 0x9:
      case 0xC:
      case 0xD:
      case 0xE:
      case 0xF:
        return kPeriod50Hz;
      default:
        break;
    }
  }
  return ReadDcfInfo(dcf, kDcfInfoYSize) <= kMost525Lines ? kPeriod60Hz : kPeriod50Hz;
}

void FillChannelFromDcf(frame::DigChannelRecord& record, const uint8_t* dcf, int64_t deviceNumber) {
  kernel::DigPropertiesBlock& p = record.Properties();
  const uint32_t width = ReadDcfInfo(dcf, kDcfInfoXSize);
  const uint32_t height = ReadDcfInfo(dcf, kDcfInfoYSize);
  const uint32_t bands = Info(dcf, L"INFO_BAND");
  p.channel = static_cast<uint64_t>(deviceNumber);
  p.inputMode = Q_DEFAULT;
  p.maxWidth = width;
  p.maxHeight = height;
  p.pixelDepth = Info(dcf, L"INFO_DEPTH");
  p.bandCount = bands;
  p.lutBandCount = 0;
  p.decimationX = 1.0;
  p.decimationY = 1.0;
  p.grabMode = 1;
  p.grabModeWord = 1;
  p.fieldNum = 2;
  p.bandSwitch = bands == 3 ? 1 : 0;
  p.sourceWidth = width;
  p.sourceOffsetX = 0;
  p.sourceHeight = height;
  p.sourceOffsetY = 0;
  p.grabDirectionX = 1;
  p.grabDirectionY = 1;
  p.grabPeriod = GrabPeriodFor(dcf);
  p.grabTimeout = Q_DEFAULT;
  p.timeoutWord = foundation::TruncateSaturated(p.grabPeriod, 0) * 60;
  p.grabStartMode = 21;
  p.allocationReserve = 0;
  p.presetWords[0] = 0;
  p.presetWords[1] = static_cast<uint64_t>(Q_ENABLE);
  p.presetWords[2] = Q_DEFAULT;
  p.presetWords[3] = static_cast<uint64_t>(Q_DISABLE);
  p.presetWords[4] = static_cast<uint64_t>(Q_ENABLE);
  p.presetWords[5] = static_cast<uint64_t>(Q_ENABLE);
  p.presetWords[6] = 0;
}

}  // namespace zor::board
