// The element that turns a kernel's buffer-modified event into the host library's
// grab-processing notification.
#pragma once

#include "driver/frameworkuser/driver/qdinfolist.h"
#include "driver/frameworkuser/hooks/hookelement.h"

namespace zor::frame {

class QDDigitizerInfo;
class QDBufferInfo;

class CBufModifiedHook : public CBaseHook<HOOK_ELEMENT_INFO> {
 public:
  CBufModifiedHook(QDInfoList<QDDigitizerInfo>& digitizers, QDInfoList<QDBufferInfo>& buffers)
      : digitizers_(digitizers), buffers_(buffers) {}

  // Always 0.
  int64_t Invoke(void* userData, QID eventId, const HOOK_ELEMENT_INFO& info) override;

 private:
  QDInfoList<QDDigitizerInfo>& digitizers_;
  QDInfoList<QDBufferInfo>& buffers_;
};

}  // namespace zor::frame
