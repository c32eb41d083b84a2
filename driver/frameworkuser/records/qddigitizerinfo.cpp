// QDDigitizerInfo: construction, the channel record's settings and the grab status.
#include "driver/frameworkuser/records/qddigitizerinfo.h"

#include <algorithm>

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/escapedexception.h"
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
  P().digitizerReserve = 0;
  ClearGrabStatus();
}

void QDDigitizerInfo::SetIndex(int64_t index) { index_ = index; }

void QDDigitizerInfo::OnProcessingFunctionFailed(const EscapedException& escaped) {
  ReportHookFailure(escaped);
}
int64_t QDDigitizerInfo::GetIndex() const { return index_; }
void QDDigitizerInfo::SetHostId(int64_t id) { channel_.Block().hostDigitizer = id; }
int64_t QDDigitizerInfo::GetHostId() const { return channel_.Block().hostDigitizer; }

// The settings go through the block lock (see CopyChannelBlock).
using Settings = kernel::DigPropertiesBlock;

void QDDigitizerInfo::SetSourceSizeX(int64_t value) { SetProperty(&Settings::sourceWidth, value); }
int64_t QDDigitizerInfo::GetSourceSizeX() const { return GetProperty(&Settings::sourceWidth); }
void QDDigitizerInfo::SetSourceOffsetX(int64_t value) {
  SetProperty(&Settings::sourceOffsetX, value);
}
int64_t QDDigitizerInfo::GetSourceOffsetX() const { return GetProperty(&Settings::sourceOffsetX); }
void QDDigitizerInfo::SetSourceSizeY(int64_t value) { SetProperty(&Settings::sourceHeight, value); }
int64_t QDDigitizerInfo::GetSourceSizeY() const { return GetProperty(&Settings::sourceHeight); }
void QDDigitizerInfo::SetSourceOffsetY(int64_t value) {
  SetProperty(&Settings::sourceOffsetY, value);
}
int64_t QDDigitizerInfo::GetSourceOffsetY() const { return GetProperty(&Settings::sourceOffsetY); }
void QDDigitizerInfo::SetGrabDirectionX(int64_t value) {
  SetProperty(&Settings::grabDirectionX, value);
}
int64_t QDDigitizerInfo::GetGrabDirectionX() const {
  return GetProperty(&Settings::grabDirectionX);
}
void QDDigitizerInfo::SetGrabDirectionY(int64_t value) {
  SetProperty(&Settings::grabDirectionY, value);
}
int64_t QDDigitizerInfo::GetGrabDirectionY() const {
  return GetProperty(&Settings::grabDirectionY);
}
void QDDigitizerInfo::SetGrabPeriod(double milliseconds) {
  SetProperty(&Settings::grabPeriod, milliseconds);
}
int64_t QDDigitizerInfo::GetGrabPeriod() const {
  return ReadProperties([](const kernel::DigPropertiesBlock& p) {
    return foundation::TruncateSaturated(p.grabPeriod, 0);
  });
}

double QDDigitizerInfo::GetSelectedFrameRate() const {
  return ReadProperties([](const kernel::DigPropertiesBlock& p) {
    return p.grabPeriod == 0.0 ? 0.0 : 1000.0 / p.grabPeriod;
  });
}

void QDDigitizerInfo::SetGrabTimeout(int64_t value) { SetProperty(&Settings::grabTimeout, value); }

int64_t QDDigitizerInfo::GetGrabTimeout() const {
  return ReadProperties([](const kernel::DigPropertiesBlock& p) -> int64_t {
    if (p.grabTimeout != Q_DEFAULT) return p.grabTimeout;
    return p.grabTriggerState == Q_ENABLE ? -1 : static_cast<int64_t>(p.grabPeriod) * 60;
  });
}

void QDDigitizerInfo::SetGrabStartMode(int64_t value) {
  SetProperty(&Settings::grabStartMode, value);
}
int64_t QDDigitizerInfo::GetGrabStartMode() const { return GetProperty(&Settings::grabStartMode); }

int64_t QDDigitizerInfo::SetGrabTriggerState(int64_t value) {
  ChangeProperties([value](kernel::DigPropertiesBlock& p) { p.grabTriggerState = value; });
  return value;
}

int64_t QDDigitizerInfo::GetGrabTriggerState() const {
  return GetProperty(&Settings::grabTriggerState);
}
void QDDigitizerInfo::SetControlFlagMode(int64_t value) {
  SetProperty(&Settings::controlFlagMode, value);
}
int64_t QDDigitizerInfo::GetControlFlagMode() const {
  return GetProperty(&Settings::controlFlagMode);
}

void QDDigitizerInfo::SetProcessTimeout(int64_t value) {
  processTimeout_ = value == -1 || value == Q_DEFAULT ? -1 : std::max<int64_t>(value, 1);
}

int64_t QDDigitizerInfo::GetProcessTimeout() const { return processTimeout_; }
int64_t QDDigitizerInfo::GetGrabErrorReporting() const {
  return GetProperty(&Settings::grabErrorReporting);
}
void QDDigitizerInfo::SetGrabErrorReporting(int64_t value) {
  SetProperty(&Settings::grabErrorReporting, value);
}

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
