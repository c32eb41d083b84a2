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
    if (type == Q_ERROR_SETTING) errorSetting_.store(value, std::memory_order_relaxed);
    settings_.Set(type, value);
  }
  // Printing and the error setting, asked around every nested driver call, without the lock.
  QINT64 ErrorSetting(QINT64 type) const {
    return (type == Q_ERROR_PRINT ? errorPrint_ : errorSetting_).load(std::memory_order_relaxed);
  }
  // Asked on every recorded error, so it is read without the settings' lock.
  bool PrintsErrors() const {
    return errorPrint_.load(std::memory_order_relaxed) != Q_PRINT_DISABLE;
  }
  HookList& Hooks() { return hooks_; }
  std::mutex browserServersMutex;
  // Numbers the browser sessions: one opens when the first server starts.
  QINT64 lastBrowserSession = 0;
  // The block a driver registers as its process-wide data.
  std::atomic<QINT64> driverDataBlock{0};

 private:
  Application() { settings_.Set(Q_ERROR_PRINT, Q_PRINT_ENABLE); }
  SettingMap settings_;
  std::atomic<QINT64> errorPrint_{Q_PRINT_ENABLE};
  std::atomic<QINT64> errorSetting_{0};
  HookList hooks_;
};

// The settings as Qapp and the driver's HostApp calls reach them; an unknown application id
// records an error and answers 0.
QINT64 InquireApplication(QID app, QINT64 type, void* out);
void ControlApplication(QID app, QINT64 type, QINT64 value);
// The driver's view: error printing and the error setting are the calling thread's, so that
// drivers quieting errors around a call on one thread leave the others as they were.
QINT64 InquireApplicationForDriver(QID app, QINT64 type, void* out);
void ControlApplicationForDriver(QID app, QINT64 type, QINT64 value);
// Whether errors recorded on the calling thread are printed.
bool ThreadPrintsErrors();

}  // namespace zorhost
