// Device events: overlapped WaitDeviceEvent requests wait per hook type; each
// event completes the oldest one of its type, or waits in a bounded queue
// until a request comes.
#pragma once

#include <boost/circular_buffer.hpp>
#include <boost/container/small_vector.hpp>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <type_traits>
#include <utility>

#include "interfaces/kernel/deviceevent.h"
#include "platform/os/device/device.h"

namespace boardsim {

struct DeviceEvent {
  uint64_t code = 0;  // the event code of the reply
  uint8_t payload[zor::kernel::kEventPayloadSize] = {};

  template <class Payload>
  static DeviceEvent Of(uint64_t code, const Payload& payload) {
    static_assert(sizeof(Payload) <= zor::kernel::kEventPayloadSize);
    static_assert(std::is_trivially_copyable_v<Payload>);
    DeviceEvent event;
    event.code = code;
    std::memcpy(event.payload, &payload, sizeof(payload));
    return event;
  }
};

// One step run after the board's lock is left: a request to complete, kept without a closure
// of its own, or any other action.
class DeferredStep {
 public:
  DeferredStep(std::shared_ptr<os::IoRequest> request, uint32_t error, uint32_t bytes)
      : request_(std::move(request)), error_(error), bytes_(bytes) {}
  template <class Action>
  requires(!std::is_same_v<std::remove_cvref_t<Action>, DeferredStep> &&
           std::is_invocable_v<Action&>) DeferredStep(Action&& action)
      : action_(std::forward<Action>(action)) {}

  void operator()() const {
    if (request_ != nullptr) {
      request_->Complete(error_, bytes_);
    } else {
      action_();
    }
  }

 private:
  std::shared_ptr<os::IoRequest> request_;
  uint32_t error_ = 0;
  uint32_t bytes_ = 0;
  std::function<void()> action_;
};

// Steps run after the board's lock is left; a request's own few take no allocation.
using Deferred = boost::container::small_vector<DeferredStep, 2>;

class DeviceEventHub {
 public:
  static constexpr size_t kQueueLimit = 64;

  // Keeps the request pending, or completes it at once from the queue.
  void Wait(uint64_t type, std::shared_ptr<os::IoRequest> request, Deferred& out);
  // Delivers to one waiter of the type; false when it had to be dropped.
  bool Raise(uint64_t type, const DeviceEvent& event, Deferred& out);
  // The next wait of the type fails as a dropped interrupt event.
  void Drop(uint64_t type, Deferred& out);
  // Every pending wait of every type gets the return-from-sleep code.
  void ReturnFromSleep(Deferred& out);
  void Cancelled(const os::IoRequest& request);
  // Fails every pending wait (the device goes away).
  void AbortAll(Deferred& out);
  size_t PendingWaits(uint64_t type) const;
  // Events raised from here on belong to the round (0: none in particular).
  void SetRound(uint64_t round) { round_ = round; }
  // The round that raised the event a wait for the type would be answered with at
  // once; 0 when there is none.
  uint64_t KeptRound(uint64_t type) const;
  // Whether a wait of the type was made and not cancelled since.
  bool Watched(uint64_t type) const { return slots_.count(type) != 0; }

 private:
  struct Slot {
    std::deque<std::shared_ptr<os::IoRequest>> waits;
    struct Kept {
      DeviceEvent event;
      uint64_t round = 0;
    };
    // A ring that grows to the limit and stays: an event larger than a deque's node would
    // cost an allocation in the raising thread and a release in the waiting one.
    boost::circular_buffer<Kept> queued;
    int dropped = 0;
  };
  static void Complete(const std::shared_ptr<os::IoRequest>& request, const DeviceEvent& event,
                       Deferred& out);

  std::map<uint64_t, Slot> slots_;
  uint64_t round_ = 0;
};

}  // namespace boardsim
