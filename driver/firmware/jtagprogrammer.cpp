// CJtagProgrammer: the current port, its files, waits and progress steps.
#include "driver/firmware/jtagprogrammer.h"

#include <atomic>

#include "driver/firmware/busywaittimer.h"
#include "driver/ieee1532/host/iscport.h"

namespace zor::firmware {

namespace {
// Set and read from different threads.
std::atomic<CJtagProgrammer*> g_currentPort{nullptr};
// One progress position per this many engine steps.
constexpr uint32_t kStepsPerPosition = 5800;
}  // namespace

CJtagProgrammer* CurrentJtagPort() { return g_currentPort; }

void SetCurrentJtagPort(CJtagProgrammer* port) {
  g_currentPort = port;
  isc::SetIscPort(port);
}

CJtagProgrammer::~CJtagProgrammer() {
  if (descriptionFile_ != nullptr) fclose(descriptionFile_);
  if (iscFile_ != nullptr) fclose(iscFile_);
  // A port that is gone must not stay reachable.
  CJtagProgrammer* self = this;
  g_currentPort.compare_exchange_strong(self, nullptr);
  isc::ReleaseIscPort(this);
}

void CJtagProgrammer::WaitMicroseconds(double us) { ProcessBusyWaitTimer().WaitMicroseconds(us); }

void CJtagProgrammer::WaitMilliseconds(double ms) { ProcessBusyWaitTimer().WaitMilliseconds(ms); }

std::string CJtagProgrammer::CommandText() {
  std::string text;
  for (const foundation::CZORStringAscii& line : lines_) {
    if (line.Length() == 0) break;
    text += line.CStr();
    text += '\n';
  }
  return text;
}

void CJtagProgrammer::Message(const char*) {}

void CJtagProgrammer::ProgressTick() {
  if (progressCounter_ % kStepsPerPosition == 0 && progressWindow_) {
    progressWindow_(progressCounter_ / kStepsPerPosition);
  }
  ++progressCounter_;
}

}  // namespace zor::firmware
