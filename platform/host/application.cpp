#include "platform/host/application.h"

namespace zorhost {

Application& Application::Instance() {
  static Application application;
  return application;
}

}  // namespace zorhost
