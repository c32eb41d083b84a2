// The driver of the Dravion Lyn boards.
#pragma once

#include "driver/frameworkuser/driver/qddevicedriver.h"

namespace zor::frame {

class QDHwSpecDriver : public QDDeviceDriver {
 public:
  explicit QDHwSpecDriver(bool& constructionError) : QDDeviceDriver(constructionError) {}

  int64_t SystemAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) override;
};

}  // namespace zor::frame
