#include "driver/firmware/jtagprogrammer.h"

#include <atomic>

namespace zor::firmware {

namespace {
// Set and read from different threads.
std::atomic<CJtagProgrammer*> g_currentPort{nullptr};
// One progress position per this many engine steps.
constexpr uint32_t kStepsPerPosition = 5800;
}  // namespace

CJtagProgrammer* CurrentJtagPort() { return g_currentPort; }

void SetCurrentJtagPort(CJtagProgrammer* port) { g_currentPort = port; }

CJtagProgrammer::~CJtagProgrammer() {
  if (m_descriptionFile != nullptr) fclose(m_descriptionFile);
  if (m_iscFile != nullptr) fclose(m_iscFile);
  // A port that is gone must not stay reachable.
  CJtagProgrammer* self = this;
  g_currentPort.compare_exchange_strong(self, nullptr);
}

void CJtagProgrammer::Message(const char*) {}

void CJtagProgrammer::ProgressTick() {
  if (m_progressCounter % kStepsPerPosition == 0 && m_progressWindow) {
    m_progressWindow(m_progressCounter / kStepsPerPosition);
  }
  ++m_progressCounter;
}

}  // namespace zor::firmware
