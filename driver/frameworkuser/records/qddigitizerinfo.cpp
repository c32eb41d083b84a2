// QDDigitizerInfo: construction, the channel record's settings and the grab status.
#include "driver/frameworkuser/records/qddigitizerinfo.h"

#include <algorithm>

#include "driver/frameworkuser/errortable/errorcodes.h"

namespace zor::frame {

namespace {

using errorcode::kUngrabbableBuffer;

}  // namespace

QDDigitizerInfo::QDDigitizerInfo(uint32_t logSource, const std::wstring& dcfName,
                                 int64_t deviceNumber, int64_t initFlag, DigChannelRecord& record,
                                 const DcfBlock& dcfBlock)
    : CLogProvider(logSource & 0x3F, 5, 110, 0),
      dcf_(dcfBlock),
      channel_(record),
      dcfName_(dcfName),
      deviceNumber_(deviceNumber),
      initFlag_(initFlag) {
  P().grabErrorReporting = Q_ENABLE;
  P().extraSetting2 = 0;
  ClearGrabStatus();
}

void QDDigitizerInfo::SetIndex(int64_t index) { index_ = index; }
int64_t QDDigitizerInfo::GetIndex() const { return index_; }
void QDDigitizerInfo::SetHostId(int64_t id) { channel_.Block().hostDigitizer = id; }
int64_t QDDigitizerInfo::GetHostId() const { return channel_.Block().hostDigitizer; }

void QDDigitizerInfo::SetSourceSizeX(int64_t value) { P().sourceWidth = value; }
int64_t QDDigitizerInfo::GetSourceSizeX() const { return P().sourceWidth; }
void QDDigitizerInfo::SetSourceOffsetX(int64_t value) { P().sourceOffsetX = value; }
int64_t QDDigitizerInfo::GetSourceOffsetX() const { return P().sourceOffsetX; }
void QDDigitizerInfo::SetSourceSizeY(int64_t value) { P().sourceHeight = value; }
int64_t QDDigitizerInfo::GetSourceSizeY() const { return P().sourceHeight; }
void QDDigitizerInfo::SetSourceOffsetY(int64_t value) { P().sourceOffsetY = value; }
int64_t QDDigitizerInfo::GetSourceOffsetY() const { return P().sourceOffsetY; }
void QDDigitizerInfo::SetGrabDirectionX(int64_t value) { P().grabDirectionX = value; }
int64_t QDDigitizerInfo::GetGrabDirectionX() const { return P().grabDirectionX; }
void QDDigitizerInfo::SetGrabDirectionY(int64_t value) { P().grabDirectionY = value; }
int64_t QDDigitizerInfo::GetGrabDirectionY() const { return P().grabDirectionY; }
void QDDigitizerInfo::SetGrabPeriod(double milliseconds) { P().grabPeriod = milliseconds; }
int64_t QDDigitizerInfo::GetGrabPeriod() const { return static_cast<int64_t>(P().grabPeriod); }

double QDDigitizerInfo::GetSelectedFrameRate() const {
  return P().grabPeriod == 0.0 ? 0.0 : 1000.0 / P().grabPeriod;
}

void QDDigitizerInfo::SetGrabTimeout(int64_t value) { P().grabTimeout = value; }

int64_t QDDigitizerInfo::GetGrabTimeout() const {
  if (P().grabTimeout != Q_DEFAULT) return P().grabTimeout;
  return P().grabTriggerState == Q_ENABLE ? -1 : GetGrabPeriod() * 60;
}

void QDDigitizerInfo::SetGrabStartMode(int64_t value) { P().grabStartMode = value; }
int64_t QDDigitizerInfo::GetGrabStartMode() const { return P().grabStartMode; }

int64_t QDDigitizerInfo::SetGrabTriggerState(int64_t value) {
  P().grabTriggerState = value;
  return value;
}

int64_t QDDigitizerInfo::GetGrabTriggerState() const { return P().grabTriggerState; }
void QDDigitizerInfo::SetControlFlagMode(int64_t value) { P().controlFlagMode = value; }
int64_t QDDigitizerInfo::GetControlFlagMode() const { return P().controlFlagMode; }

void QDDigitizerInfo::SetProcessTimeout(int64_t value) {
  processTimeout_ = value == -1 || value == Q_DEFAULT ? -1 : std::max<int64_t>(value, 1);
}

int64_t QDDigitizerInfo::GetProcessTimeout() const { return processTimeout_; }
void QDDigitizerInfo::SetAuxBufferMode(int64_t value) { P().auxBufferMode = value; }
int64_t QDDigitizerInfo::GetAuxBufferMode() const { return P().auxBufferMode; }
void QDDigitizerInfo::SetAuxBufferSize(int64_t value) { P().auxBufferSize = value; }
int64_t QDDigitizerInfo::GetAuxBufferSize() const { return P().auxBufferSize; }
void QDDigitizerInfo::SetExtraSetting1(int64_t value) { P().extraSetting1 = value; }
int64_t QDDigitizerInfo::GetExtraSetting1() const { return P().extraSetting1; }
void QDDigitizerInfo::SetExtraSetting2(int64_t value) { P().extraSetting2 = value; }
int64_t QDDigitizerInfo::GetExtraSetting2() const { return P().extraSetting2; }
int64_t QDDigitizerInfo::GetGrabErrorReporting() const { return P().grabErrorReporting; }
void QDDigitizerInfo::SetGrabErrorReporting(int64_t value) { P().grabErrorReporting = value; }
void QDDigitizerInfo::SetExtraSetting3(int64_t value) { P().extraSetting3 = value; }
int64_t QDDigitizerInfo::GetExtraSetting3() const { return P().extraSetting3; }

void QDDigitizerInfo::Lock(int index) ZOR_NO_THREAD_SAFETY_ANALYSIS {
  if (index == 0) channelLock_.lock();
  if (index == 1) secondChannelLock_.lock();
}

void QDDigitizerInfo::Unlock(int index) ZOR_NO_THREAD_SAFETY_ANALYSIS {
  if (index == 0) channelLock_.unlock();
  if (index == 1) secondChannelLock_.unlock();
}

void QDDigitizerInfo::ClearGrabStatus() {
  foundation::ScopedLock lock(statusLock_);
  grabStatus_.fill(0);
}

void QDDigitizerInfo::StoreGrabStatus(const uint64_t (&status)[8]) {
  foundation::ScopedLock lock(statusLock_);
  for (size_t i = 0; i < grabStatus_.size(); ++i) grabStatus_[i] = status[i];
}

std::array<uint64_t, 8> QDDigitizerInfo::GrabStatus() const {
  foundation::ScopedLock lock(statusLock_);
  return grabStatus_;
}

std::vector<ProcessBufferEntry>& QDDigitizerInfo::GetProcessBuffers() { return processBuffers_; }

void QDDigitizerInfo::SetProcessBuffers(const std::vector<ProcessBufferEntry>& buffers) {
  if (&buffers != &processBuffers_) processBuffers_ = buffers;
}

void QDDigitizerInfo::SetDeviceName(const std::wstring& name) {
  foundation::ScopedLock lock(nameLock_);
  deviceName_ = name;
}

std::wstring QDDigitizerInfo::GetDeviceName() const {
  foundation::ScopedLock lock(nameLock_);
  return deviceName_;
}

void QDDigitizerInfo::ValidateProcessBuffers(foundation::CError& error) const {
  for (const ProcessBufferEntry& entry : processBuffers_) {
    if (entry.flag != 0) {
      error.SetError(kUngrabbableBuffer, 2);
      return;
    }
  }
}

}  // namespace zor::frame
