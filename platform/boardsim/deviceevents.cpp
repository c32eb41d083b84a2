#include "platform/boardsim/deviceevents.h"

#include <algorithm>
#include <cstring>

#include "platform/os/core/error.h"

namespace boardsim {

void DeviceEventHub::Complete(const std::shared_ptr<os::IoRequest>& request,
                              const DeviceEvent& event, Deferred& out) {
  auto* record = static_cast<zor::kernel::DeviceEventRecord*>(request->buffer());
  record->typeOrCode = event.code;
  std::memcpy(record->payload, event.payload, sizeof(record->payload));
  record->status = {};
  out.emplace_back(request, os::ERROR_SUCCESS, sizeof(zor::kernel::DeviceEventRecord));
}

void DeviceEventHub::Wait(uint64_t type, std::shared_ptr<os::IoRequest> request, Deferred& out) {
  Slot& slot = slots_[type];
  if (slot.dropped > 0) {
    --slot.dropped;
    out.emplace_back(std::move(request), os::ERROR_GEN_FAILURE, 0);
    return;
  }
  if (!slot.queued.empty()) {
    Complete(request, slot.queued.front().event, out);
    slot.queued.pop_front();
    return;
  }
  slot.waits.push_back(std::move(request));
}

bool DeviceEventHub::Raise(uint64_t type, const DeviceEvent& event, Deferred& out) {
  // Only types that someone waits for are kept; the others are not delivered.
  auto it = slots_.find(type);
  if (it == slots_.end()) return false;
  Slot& slot = it->second;
  if (!slot.waits.empty()) {
    Complete(slot.waits.front(), event, out);
    slot.waits.pop_front();
    return true;
  }
  if (slot.queued.size() >= kQueueLimit) {
    // The event FIFO overflowed: the next wait reports the loss.
    ++slot.dropped;
    return false;
  }
  if (slot.queued.full()) {
    slot.queued.set_capacity(std::min(kQueueLimit, std::max<size_t>(4, 2 * slot.queued.size())));
  }
  slot.queued.push_back({event, round_});
  return true;
}

void DeviceEventHub::Drop(uint64_t type, Deferred& out) {
  Slot& slot = slots_[type];
  if (!slot.waits.empty()) {
    out.emplace_back(std::move(slot.waits.front()), os::ERROR_GEN_FAILURE, 0);
    slot.waits.pop_front();
    return;
  }
  ++slot.dropped;
}

void DeviceEventHub::ReturnFromSleep(Deferred& out) {
  DeviceEvent event;
  event.code = zor::kernel::kEventReturnFromSleep;
  for (auto& [type, slot] : slots_) {
    for (auto& request : slot.waits) Complete(request, event, out);
    slot.waits.clear();
  }
}

void DeviceEventHub::Cancelled(const os::IoRequest& request) {
  // A cancelled wait ends the watch of its type when no other wait is left.
  for (auto it = slots_.begin(); it != slots_.end();) {
    auto& waits = it->second.waits;
    const size_t removed = std::erase_if(waits, [&](const auto& w) { return w.get() == &request; });
    it = removed != 0 && waits.empty() ? slots_.erase(it) : std::next(it);
  }
}

void DeviceEventHub::AbortAll(Deferred& out) {
  for (auto& [type, slot] : slots_) {
    for (auto& request : slot.waits) {
      out.emplace_back(request, os::ERROR_OPERATION_ABORTED, 0);
    }
    slot.waits.clear();
  }
}

size_t DeviceEventHub::PendingWaits(uint64_t type) const {
  auto it = slots_.find(type);
  return it == slots_.end() ? 0 : it->second.waits.size();
}

uint64_t DeviceEventHub::KeptRound(uint64_t type) const {
  auto it = slots_.find(type);
  if (it == slots_.end() || it->second.dropped != 0 || it->second.queued.empty()) return 0;
  return it->second.queued.front().round;
}

}  // namespace boardsim
