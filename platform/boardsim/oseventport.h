// The events of the module that opened the device, reached through its
// operating-system layer.
#pragma once

#include "platform/boardsim/eventport.h"

namespace boardsim {

class OsEventPort : public EventPort {
 public:
  void Set(uint64_t handle) override;
  void Reset(uint64_t handle) override;
  bool IsSet(uint64_t handle) override;
};

}  // namespace boardsim
