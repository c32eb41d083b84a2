// QDHwSpecDriver: allocates the board system through the maker the board layer registers.
#include "driver/frameworkuser/driver/qdhwspecdriver.h"

#include <atomic>

#include "platform/host/qtypes.h"

namespace zor::frame {
namespace {

std::atomic<QDHwSpecDriver::BoardSystemMaker> g_boardSystemMaker{nullptr};

}  // namespace

void QDHwSpecDriver::RegisterBoardSystem(BoardSystemMaker maker) { g_boardSystemMaker = maker; }

int64_t QDHwSpecDriver::SystemAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) {
  return AllocateSystem(
      args, ctx,
      [](const OperationArgs& given, int64_t& startupStatus, QDDriverThreadContext& context) {
        const BoardSystemMaker maker = g_boardSystemMaker.load();
        if (maker == nullptr) {
          // A driver without its board serves no system.
          startupStatus = 0x40000000;
          return std::unique_ptr<QDBaseSystem>();
        }
        const int64_t number = given.Int(1) == Q_DEFAULT ? 0 : given.Int(1);
        return maker(given.Pointer<const wchar_t>(0), number, given.Int(2), startupStatus, context);
      });
}

}  // namespace zor::frame
