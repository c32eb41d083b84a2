// A digitizer's firmware region and identity: eight-byte writes stage an
// image, a reset makes it the running one.
#include <cstring>

#include "platform/boardsim/board.h"

namespace boardsim {

namespace {

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t hash = 0xCBF29CE484222325;
  for (unsigned char byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001B3;
  }
  return hash;
}

}  // namespace

bool Board::DigFirmwareControl(Digitizer& dig, uint64_t type, uint64_t value) {
  ChannelState& channel = channels_[dig.channel];
  if (type == zor::kernel::kDigFirmwareData) {
    char bytes[sizeof(value)];
    std::memcpy(bytes, &value, sizeof(value));
    channel.stagedFirmware.append(bytes, sizeof(bytes));
    return true;
  }
  if (type == zor::kernel::kDigFirmwareReset) {
    // A reset without a staged image restarts what runs.
    if (!channel.stagedFirmware.empty()) channel.firmware.swap(channel.stagedFirmware);
    channel.stagedFirmware.clear();
    if (channel.identityAfterReset) {
      channel.identity = *channel.identityAfterReset;
      channel.identityAfterReset.reset();
    }
    return true;
  }
  return false;
}

bool Board::DigFirmwareInquire(Digitizer& dig, uint64_t type, uint64_t& value) {
  const ChannelState& channel = channels_[dig.channel];
  switch (type) {
    case zor::kernel::kDigFirmwareSize:
      value = channel.firmware.size();
      return true;
    case zor::kernel::kDigFirmwareChecksum:
      value = Fnv1a(channel.firmware);
      return true;
    case zor::kernel::kDigIdentity:
      value = channel.identity;
      return true;
    default:
      return false;
  }
}

std::string Board::DigitizerFirmware(uint64_t channel) {
  std::lock_guard lock(mutex_);
  return channel < kMaxChannels ? channels_[channel].firmware : std::string();
}

void Board::SetDigitizerFirmware(uint64_t channel, const std::string& firmware) {
  std::lock_guard lock(mutex_);
  if (channel < kMaxChannels) channels_[channel].firmware = firmware;
}

void Board::SetDigitizerIdentity(uint64_t channel, uint64_t identity) {
  std::lock_guard lock(mutex_);
  if (channel >= kMaxChannels) return;
  channels_[channel].identity = identity;
  channels_[channel].identityAfterReset.reset();
}

void Board::ChangeIdentityOnReset(uint64_t channel, uint64_t identity) {
  std::lock_guard lock(mutex_);
  if (channel < kMaxChannels) channels_[channel].identityAfterReset = identity;
}

uint64_t Board::DigitizerAllocations(uint64_t channel) {
  std::lock_guard lock(mutex_);
  return channel < kMaxChannels ? channels_[channel].allocations : 0;
}

}  // namespace boardsim
