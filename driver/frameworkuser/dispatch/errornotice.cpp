// ErrorNotice: answers the host's ask for the calling thread's error.
#include "driver/frameworkuser/dispatch/errornotice.h"

#include "driver/foundation/logdump.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"

using zor::foundation::DumpDriverLogOnError;

namespace zor::frame {

int64_t ErrorNotice(const OperationArgs& args, QDDriverThreadContext& ctx) {
  return DumpDriverLogOnError(args.Int(0), args.Pointer<void>(1), args.Pointer<void>(2),
                              args.Pointer<void>(3), args.Pointer<void>(4), ctx);
}

}  // namespace zor::frame
