// Digitizers: allocation with the decoder's DCF registers, free, control,
// inquire, hook enables, reference levels and the pending-grab count.
#include <cstring>

#include "platform/boardsim/board.h"
#include "platform/boardsim/notserved.h"
#include "platform/boardsim/reply.h"

namespace boardsim {

namespace {
constexpr uint32_t kDigitizerIds = 5;
constexpr uint32_t kCheckIds = 6;
constexpr uint64_t kTriggerState = 4200;
constexpr uint64_t kSoftwareTrigger = 1;
constexpr uint64_t kDecoderStatus = 6801;
constexpr uint64_t kFirstReference = 6655;
constexpr uint64_t kDisabled = static_cast<uint64_t>(-9999);
constexpr uint64_t kDefault = 0x10000000;
constexpr size_t kDcfXSize = 4;  // INFO_XSIZE and INFO_YSIZE in the value image
constexpr size_t kDcfYSize = 8;
}  // namespace

Digitizer* Board::FindDigitizer(const zor::kernel::DigChannelRecord& record) {
  auto it = digitizers_.find(record.kernelDigitizer);
  if (it == digitizers_.end() || it->second.check != record.kernelCheck) return nullptr;
  return &it->second;
}

size_t Board::PendingGrabs(const Digitizer& dig) const {
  return dig.grabs.size() + dig.processQueue.size();
}

void Board::DigAlloc(Call& call) {
  auto& r = call.As<zor::kernel::DigAllocRequest>();
  if (systems_.count(r.header.systemId) == 0) return Fail(r.header, err::kBadId, 3);
  const uint64_t channels = (capabilities_ & zor::kernel::kCapSixteenChannels) ? 16 : 4;
  const uint64_t channel = r.record.properties.channel;
  if (channel >= channels) return Fail(r.header, err::kNoHardware, 4);
  for (const auto& [id, other] : digitizers_) {
    if (other.channel == channel) return Fail(r.header, err::kNoHardware, 4);
  }
  uint32_t dcfWidth = 0, dcfHeight = 0;
  std::memcpy(&dcfWidth, r.dcfBlock + kDcfXSize, 4);
  std::memcpy(&dcfHeight, r.dcfBlock + kDcfYSize, 4);
  Digitizer dig;
  dig.fullWidth = r.record.properties.maxWidth ? r.record.properties.maxWidth : dcfWidth;
  dig.fullHeight = r.record.properties.maxHeight ? r.record.properties.maxHeight : dcfHeight;
  if (dig.fullWidth == 0 || dig.fullHeight == 0) return Fail(r.header, err::kBadArgument, 2);
  dig.id = NewId(kDigitizerIds);
  dig.check = NewId(kCheckIds);
  dig.systemId = r.header.systemId;
  dig.channel = channel;
  dig.hostDigitizer = r.record.hostDigitizer;
  Adv7180& decoder = channels_[channel].decoder;
  decoder.ResetRegisters();
  decoder.LoadDcf(r.dcfBlock);
  channels_[channel].stagedFirmware.clear();
  ++channels_[channel].allocations;
  r.record.kernelDigitizer = dig.id;
  r.record.kernelCheck = dig.check;
  digitizers_.emplace(dig.id, std::move(dig));
  StartClock(channel);
}

void Board::DigFree(Call& call) {
  auto& r = call.As<zor::kernel::DigRecordRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  AbortGrabs(*dig);
  digitizers_.erase(dig->id);
}

void Board::DigControl(Call& call) {
  auto& r = call.As<zor::kernel::DigChannelRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  const uint64_t type = r.type & ~zor::kernel::kForceBoardBit;
  if (DigControlNotServed(type) || !DigitizerControlServed(type)) return NotServed(r.header, true);
  if (type == zor::kernel::kGrabAbort) {
    AbortGrabs(*dig);
    ReleaseStalled(*call.out);
    return;
  }
  if (type == kTriggerState && r.value == kSoftwareTrigger) {
    ++dig->triggers;
    Wake(*dig);
    return;
  }
  if (DigFirmwareControl(*dig, type, r.value)) return;
  dig->controls[type] = r.value;
  // Triggers that came while the trigger was off serve nothing later.
  if (type == kTriggerState) dig->triggers = 0;
}

void Board::DigInquire(Call& call) {
  auto& r = call.As<zor::kernel::DigChannelRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  if (DigInquireNotServed(r.type)) return NotServed(r.header, false);
  if (r.type == kDecoderStatus) {
    r.value = channels_[dig->channel].decoder.Read(Adv7180::kStatus1);
    return;
  }
  if (r.type >= kFirstReference && r.type < kFirstReference + 4) {
    r.value = dig->referenceLevels[r.type - kFirstReference];
    return;
  }
  if (DigFirmwareInquire(*dig, r.type, r.value)) return;
  auto it = dig->controls.find(r.type);
  if (it != dig->controls.end()) {
    r.value = it->second;
  } else if (DigitizerType(r.type)) {
    r.value = r.type == kTriggerState ? kDisabled : 0;
  } else {
    NotServed(r.header, false);
  }
}

void Board::DigChannelInit(Call& call) {
  auto& r = call.As<zor::kernel::DigChannelRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  if (r.value == zor::kernel::kHookEnable)
    dig->enabledHooks.insert(r.type);
  else if (r.value == zor::kernel::kHookDisable)
    dig->enabledHooks.erase(r.type);
  else
    Fail(r.header, err::kControl, 3);
}

void Board::DigReference(Call& call) {
  auto& r = call.As<zor::kernel::DigReferenceRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  const uint64_t levels[4] = {r.colourLevel, r.saturationLevel, r.brightnessLevel, r.contrastLevel};
  for (uint64_t level : levels) {
    if (level > 255 && level != kDefault) return Fail(r.header, err::kReference, 2);
  }
  std::memcpy(dig->referenceLevels, levels, sizeof(levels));
}

void Board::DigInquireValue(Call& call) {
  auto& r = call.As<zor::kernel::DigInquireValueRequest>();
  if (r.type != zor::kernel::kPendingGrabCount) return Fail(r.header, err::kInquire, 1);
  if (r.header.objectId != 0) {
    auto it = digitizers_.find(r.header.objectId);
    if (it == digitizers_.end()) return Fail(r.header, err::kBadId, 3);
    r.value = PendingGrabs(it->second);
    return;
  }
  r.value = 0;
  for (const auto& [id, dig] : digitizers_) {
    if (dig.systemId == r.header.systemId) r.value += PendingGrabs(dig);
  }
}

}  // namespace boardsim
