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
  if (IsApplication(app)) Application::Instance().SetSetting(type, value);
}

}  // namespace zorhost
