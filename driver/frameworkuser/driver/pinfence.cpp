// The process-wide fence a system's free issues before it scans the threads' pins.
#include "driver/frameworkuser/driver/pinfence.h"

#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zor::frame {

bool PinFencesAsymmetric() {
  static const bool registered =
      syscall(__NR_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
  return registered;
}

void FenceBeforePinScan() {
  if (PinFencesAsymmetric()) syscall(__NR_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
}

}  // namespace zor::frame
