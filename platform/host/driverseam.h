// For tests that link a board driver's parts into their own executable: the host sends that
// board's command records to the functions `resolve` finds ("QDDravionLynCommandDecoder",
// "GetErrorRange", "GetErrorMessage") instead of loading the driver's library.
#pragma once

#include <cwchar>

#include "platform/host/qtypes.h"

ZOR_API void HostUseDriverForTests(const wchar_t* descriptor, void* (*resolve)(const char* symbol));
