#include "platform/host/application.h"

#include "platform/host/answer.h"
#include "platform/host/systemops.h"

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
    std::lock_guard lock(application.browserServersMutex);
    const QINT64 count = application.Setting(type);
    if (value == Q_DISABLE) {
      application.SetSetting(type, count > 0 ? count - 1 : 0);
    } else if (value != 0) {
      application.SetSetting(type, count + 1);
    } else {
      application.SetSetting(type, 0);
    }
    return;
  }
  application.SetSetting(type, value);
}

}  // namespace zorhost
