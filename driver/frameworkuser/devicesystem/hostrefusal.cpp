// Runs a host-library call with its error printing off and tells whether the host refused it.
#include "driver/frameworkuser/devicesystem/hostrefusal.h"

#include "platform/host/hostservices.h"

namespace zor::frame {

bool HostRefuses(const std::function<void()>& call) {
  int64_t state = 0;
  HostInternalInquire(0, Q_SAVE_ERROR_STATE, &state);
  QINT64 printing = Q_PRINT_ENABLE;
  HostAppInquire(Q_DEFAULT, Q_ERROR_PRINT, &printing);
  HostAppControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  call();
  const bool refused = HostAppGetError(Q_DEFAULT, Q_CURRENT, nullptr) != 0;
  HostAppControl(Q_DEFAULT, Q_ERROR_PRINT, printing);
  HostInternalControl(0, Q_RESTORE_ERROR_STATE, reinterpret_cast<int64_t>(&state));
  return refused;
}

}  // namespace zor::frame
