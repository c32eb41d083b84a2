// The driver of the Dravion Lyn boards.
#pragma once

#include <memory>

#include "driver/frameworkuser/driver/qddevicedriver.h"

namespace zor::frame {

class QDHwSpecDriver : public QDDeviceDriver {
 public:
  // Builds the board system of a system allocation: (descriptor, device
  // number, allocation flags, status out, thread context).
  using BoardSystemMaker = std::unique_ptr<QDBaseSystem> (*)(const wchar_t* name, int64_t number,
                                                             int64_t flags, int64_t& status,
                                                             QDDriverThreadContext& ctx);
  // The board's library registers its system when it loads.
  static void RegisterBoardSystem(BoardSystemMaker maker);

  explicit QDHwSpecDriver(bool& constructionError) : QDDeviceDriver(constructionError) {}

  int64_t SystemAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) override;
};

}  // namespace zor::frame
