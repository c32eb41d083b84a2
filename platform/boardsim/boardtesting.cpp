// The board's test interface: events, faults, signals and settings that a
// test sets from outside the requests.
#include <algorithm>
#include <cstring>

#include "platform/boardsim/board.h"

namespace boardsim {

void Board::RestoreDefaults() {
  {
    std::lock_guard lock(mutex_);
    version_ = zor::kernel::kDriverVersion;
    capabilities_ = config_.capabilities;
    settingOverrides_.clear();
    ClearIoSpace();
  }
  faults_.Clear();
  grabModule_.SetFirmwareCode(config_.firmwareCode);
  grabModule_.SetUpdateFlag(0);
}

void Board::ClearIoSpace() {
  std::memset(io_, 0, sizeof(io_));
  const uint32_t serial = SerialNumber();
  std::memcpy(io_ + zor::kernel::kIoSerialNumberAddress, &serial, sizeof(serial));
}

uint32_t Board::SerialNumber() const { return 100000 + config_.unit; }

void Board::SetDriverVersion(uint64_t version) {
  std::lock_guard lock(mutex_);
  version_ = version;
}

void Board::SetCapabilities(uint64_t word) {
  std::lock_guard lock(mutex_);
  capabilities_ = word;
}

void Board::SetAllocationSetting(size_t offset, uint32_t value) {
  std::lock_guard lock(mutex_);
  settingOverrides_[offset] = value;
}

void Board::ArmFault(uint32_t function, const Fault& fault) { faults_.Arm(function, fault); }

void Board::ClearFaults() { faults_.Clear(); }

void Board::Abort() {
  Deferred out;
  {
    std::lock_guard lock(mutex_);
    ReleaseStalled(out);
  }
  for (auto& action : out) action();
}

size_t Board::HeldForHalt() {
  std::lock_guard lock(mutex_);
  return crossing_.size();
}

void Board::SetFrameTime(uint32_t microseconds) {
  std::lock_guard lock(mutex_);
  frameTimeUs_ = microseconds;
}

void Board::SetSignal(uint64_t channel, bool present) {
  std::lock_guard lock(mutex_);
  if (channel >= kMaxChannels) return;
  channels_[channel].decoder.SetSignalPresent(present);
  channels_[channel].decoder.UpdateStatus();
}

uint8_t Board::DecoderRegister(uint64_t channel, uint8_t reg) {
  std::lock_guard lock(mutex_);
  return channel < kMaxChannels ? channels_[channel].decoder.Read(reg) : 0;
}

uint64_t Board::FrameCount(uint64_t channel) {
  std::lock_guard lock(mutex_);
  return channel < kMaxChannels ? channels_[channel].frames : 0;
}

void Board::RaiseTrigger(uint64_t channel) {
  std::lock_guard lock(mutex_);
  for (auto& [id, dig] : digitizers_) {
    if (dig.channel == channel) ++dig.triggers;
  }
  WakeAll();
}

bool Board::RaiseEvent(uint64_t type, const zor::kernel::BoardEventPayload& payload) {
  return RaiseEventWithCode(type, type, payload);
}

bool Board::RaiseEventWithCode(uint64_t type, uint64_t code,
                               const zor::kernel::BoardEventPayload& payload) {
  // Event bases that the driver enables per digitizer, with their host hook types.
  static constexpr std::pair<uint64_t, uint64_t> kEnabledByDriver[] = {
      {0x100C0000, 20},   {0x100D0000, 21}, {0x100E0000, 22},
      {0x10110000, 5315}, {0x100B0000, 9},  {0x10120000, 5300}};
  Deferred out;
  bool delivered;
  {
    std::lock_guard lock(mutex_);
    // A plain variable, not a structured binding: clang 14 (fuzz builds) cannot capture those.
    for (const auto& entry : kEnabledByDriver) {
      const uint64_t hook = entry.second;
      if ((type & ~0xFFFFull) != entry.first) continue;
      const bool enabled = std::any_of(digitizers_.begin(), digitizers_.end(), [&](const auto& d) {
        return d.second.channel == (type & 0xFFFF) && d.second.enabledHooks.count(hook) != 0;
      });
      if (!enabled) return false;
    }
    delivered = events_.Raise(type, DeviceEvent::Of(code, payload), out);
  }
  for (auto& action : out) action();
  return delivered;
}

void Board::ReturnFromSleep() {
  Deferred out;
  {
    std::lock_guard lock(mutex_);
    events_.ReturnFromSleep(out);
  }
  for (auto& action : out) action();
}

void Board::DropEvent(uint64_t type) {
  Deferred out;
  {
    std::lock_guard lock(mutex_);
    events_.Drop(type, out);
  }
  for (auto& action : out) action();
}

size_t Board::PendingEventWaits(uint64_t type) {
  std::lock_guard lock(mutex_);
  return events_.PendingWaits(type);
}

CSimJtagChain& Board::JtagChain() { return grabModule_.Chain(); }

CSimGrabModule& Board::GrabModule() { return grabModule_; }

size_t Board::KernelObjects(int32_t kind) {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(
      std::count_if(objects_.begin(), objects_.end(),
                    [kind](const auto& entry) { return entry.second.kind == kind; }));
}

}  // namespace boardsim
