// Runs one command on the calling thread: gate, handler, status.
#pragma once

#include "driver/frameworkuser/command/commandwrapper.h"

namespace zor::frame {

class QDDeviceDriver;
class QDDriverThreadContext;

void CommandDispatcher(QDDeviceDriver& driver, const QDCommandWrapper& command,
                       QDDriverThreadContext& ctx);

}  // namespace zor::frame
