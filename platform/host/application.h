// The application: its settings and its error hooks. One application serves the process;
// Q_DEFAULT and any id from QappAlloc address it.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/host/hooklist.h"
#include "platform/host/settingmap.h"

namespace zorhost {

class Application {
 public:
  static Application& Instance();

  // Settings read before they were set answer 0, except printing, which starts enabled.
  QINT64 Setting(QINT64 type) const { return settings_.Get(type).value_or(0); }
  void SetSetting(QINT64 type, QINT64 value) {
    if (type == Q_ERROR_PRINT) errorPrint_.store(value, std::memory_order_relaxed);
    settings_.Set(type, value);
  }
  // Asked on every recorded error, so it is read without the settings' lock.
  bool PrintsErrors() const {
    return errorPrint_.load(std::memory_order_relaxed) != Q_PRINT_DISABLE;
  }
  HookList& Hooks() { return hooks_; }
  std::mutex browserServersMutex;
  // The block a driver registers as its process-wide data.
  std::atomic<QINT64> driverDataBlock{0};

 private:
  Application() { settings_.Set(Q_ERROR_PRINT, Q_PRINT_ENABLE); }
  SettingMap settings_;
  std::atomic<QINT64> errorPrint_{Q_PRINT_ENABLE};
  HookList hooks_;
};

// The settings as Qapp and the driver's HostApp calls reach them; an unknown application id
// records an error and answers 0.
QINT64 InquireApplication(QID app, QINT64 type, void* out);
void ControlApplication(QID app, QINT64 type, QINT64 value);

}  // namespace zorhost
