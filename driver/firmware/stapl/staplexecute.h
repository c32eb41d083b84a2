// StaplExecute: the STAPL interpreter's entry, one action of a program.
#pragma once

#include <cstdint>

#include "driver/firmware/stapl/staplhost.h"
#include "driver/firmware/stapl/staplresult.h"

namespace zor::firmware {

// Runs one action of the program the host serves. initList is a null-terminated list of
// "NAME=value" texts (may be null). Returns a result code; on failure errorLine (when given)
// receives the line of the failing statement. exitCode receives the program's exit code.
int32_t StaplExecute(IStaplHost& host, const char* action, const char* const* initList,
                     int32_t* errorLine, int32_t* exitCode);

}  // namespace zor::firmware
