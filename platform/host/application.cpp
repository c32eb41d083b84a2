#include "platform/host/application.h"

#include "platform/host/answer.h"
#include "platform/host/systemops.h"
#include "platform/host/threadcontext.h"

namespace zorhost {

Application& Application::Instance() {
  static Application application;
  return application;
}

QINT64 InquireApplication(QID app, QINT64 type, void* out) {
  if (!IsApplication(app)) return 0;
  return AnswerValue(out, Application::Instance().Setting(type));
}

void ControlApplication(QID app, QINT64 type, QINT64 value) {
  if (!IsApplication(app)) return;
  Application& application = Application::Instance();
  if (type == Q_BROWSER_SERVERS) {
    // Counts the feature-browser servers: each start takes the role, each stop gives it back.
    // The first server opens a browser session that every later one joins; the session
    // closes with the last.
    std::lock_guard lock(application.browserServersMutex);
    const QINT64 count = application.Setting(type);
    QINT64 servers = 0;
    if (value == Q_DISABLE) {
      servers = count > 0 ? count - 1 : 0;
    } else if (value != 0) {
      servers = count + 1;
    }
    application.SetSetting(type, servers);
    if (count == 0 && servers > 0) {
      application.SetSetting(Q_BROWSER_SESSION, ++application.lastBrowserSession);
    } else if (servers == 0) {
      application.SetSetting(Q_BROWSER_SESSION, 0);
    }
    return;
  }
  application.SetSetting(type, value);
}

namespace {

bool IsThreadSetting(QINT64 type) { return type == Q_ERROR_PRINT || type == Q_ERROR_SETTING; }

}  // namespace

QINT64 InquireApplicationForDriver(QID app, QINT64 type, void* out) {
  if (!IsThreadSetting(type)) return InquireApplication(app, type, out);
  if (!IsApplication(app)) return 0;
  const std::optional<QINT64>& quiet = CurrentThread().QuietSetting(type);
  return AnswerValue(out, quiet ? *quiet : Application::Instance().ErrorSetting(type));
}

void ControlApplicationForDriver(QID app, QINT64 type, QINT64 value) {
  if (!IsThreadSetting(type)) return ControlApplication(app, type, value);
  if (!IsApplication(app)) return;
  std::optional<QINT64>& quiet = CurrentThread().QuietSetting(type);
  // Back at the application's value, the thread follows the application again.
  if (value == Application::Instance().ErrorSetting(type)) {
    quiet.reset();
  } else {
    quiet = value;
  }
}

bool ThreadPrintsErrors() {
  const std::optional<QINT64>& quiet = CurrentThread().quietPrint;
  if (quiet) return *quiet != Q_PRINT_DISABLE;
  return Application::Instance().PrintsErrors();
}

}  // namespace zorhost
