// How the board reaches the user-mode events that requests hand it: through
// the module that opened the device, which owns the handles. The board sets
// them under its lock, so an implementation must not call back into the board.
#pragma once

#include <cstdint>
#include <memory>

namespace boardsim {

class EventPort {
 public:
  virtual ~EventPort() = default;
  virtual void Set(uint64_t handle) = 0;
  virtual void Reset(uint64_t handle) = 0;
  // Whether the event is signalled, without consuming it.
  virtual bool IsSet(uint64_t handle) = 0;
};

struct EventRef {
  uint64_t handle = 0;
  std::shared_ptr<EventPort> port;

  explicit operator bool() const { return handle != 0 && port != nullptr; }
  void Set() const {
    if (*this) port->Set(handle);
  }
  void Reset() const {
    if (*this) port->Reset(handle);
  }
};

}  // namespace boardsim
