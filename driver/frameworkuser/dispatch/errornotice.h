// The host's request for the calling thread's error (hostcommand::kDrvErrorNotify).
#pragma once

#include <cstdint>

#include "driver/frameworkuser/system/operationargs.h"

namespace zor::frame {

class QDDriverThreadContext;

// (kind, out1, out2, out3, out4, 0): answers through the thread context's
// GetError and dumps the driver log after an error when configured.
int64_t ErrorNotice(const OperationArgs& args, QDDriverThreadContext& ctx);

}  // namespace zor::frame
