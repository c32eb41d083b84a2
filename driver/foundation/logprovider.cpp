// CLogProvider's process-wide sequence counter and the driver's own provider.
#include "driver/foundation/logprovider.h"

#include <atomic>

namespace zor::foundation {

namespace {

std::atomic<uint32_t> g_sequenceCounter{0};
constexpr uint32_t kSequenceMask = 0xFFFFF;

}  // namespace

constinit CLogProvider g_DriverLogProvider(0, 2, 1, 0);

uint32_t CLogProvider::NextSequence() {
  uint32_t counter = g_sequenceCounter.fetch_add(1) + 1;
  if ((counter & kSequenceMask) == 0) {
    g_sequenceCounter.exchange(0);
    counter = g_sequenceCounter.fetch_add(1) + 1;
  }
  sequence_ = counter & kSequenceMask;
  return counter;
}

}  // namespace zor::foundation
