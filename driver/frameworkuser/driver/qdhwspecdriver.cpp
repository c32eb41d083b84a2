#include "driver/frameworkuser/driver/qdhwspecdriver.h"

namespace zor::frame {

int64_t QDHwSpecDriver::SystemAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) {
  // The board system is not part of this driver yet: every allocation reports
  // a failed start-up.
  return AllocateSystem(args, ctx,
                        [](const OperationArgs&, int64_t& startupStatus, QDDriverThreadContext&) {
                          startupStatus = 0x40000000;
                          return std::unique_ptr<QDBaseSystem>();
                        });
}

}  // namespace zor::frame
