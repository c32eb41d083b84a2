// Debug stop settings: stop (popup, crash dump) on one chosen error.
#pragma once

#include <cstdint>

namespace zor::frame {

struct DebugStopSettings {
  int64_t debugInternalError = 0;
  int64_t stopOnErrCode = -1;
  int64_t stopOnSub[3] = {-1, -1, -1};
  int64_t dumpErrorCallStack = -1;

  bool PopupOn() const { return (debugInternalError & 2) != 0; }
  // Whether an error (code and three sub-codes) is the one to stop on.
  bool Matches(int64_t code, const int64_t subCodes[3]) const;
};

// Read from the configuration store on first use, once per process.
DebugStopSettings& DebugStop();

}  // namespace zor::frame
