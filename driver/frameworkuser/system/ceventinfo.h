// The driver's record of an event: the host keeps a pointer to it as the
// host event's driver data.
#pragma once

#include <cstdint>

namespace zor::frame {

class CEventInfo {
 public:
  CEventInfo() = default;
  CEventInfo(const CEventInfo&) = delete;
  CEventInfo& operator=(const CEventInfo&) = delete;
  virtual ~CEventInfo() = default;

  uint64_t kernelEventId_ = 0;
  int64_t hostId_ = 0;
  uint64_t eventHandle_ = 0;  // the event the kernel sets; closed by its free
};

}  // namespace zor::frame
