// Converts a command's slots into the arguments of its operation.
#pragma once

#include <cstdint>

#include "driver/frameworkuser/command/commandwrapper.h"
#include "driver/frameworkuser/dispatch/opcodetable.h"
#include "driver/frameworkuser/system/operationargs.h"

namespace zor::frame {

OperationArgs BuildArguments(const OpcodeEntry& entry, const QDCommandWrapper& command);

// The system that the operation addresses: the record's index, or the second
// word of the slot that the entry names.
int64_t SystemIndexOf(const OpcodeEntry& entry, const QDCommandWrapper& command);

}  // namespace zor::frame
