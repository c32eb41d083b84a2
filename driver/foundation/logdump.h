// Saving the driver log on an error, and the host's ask for the calling thread's error.
#pragma once

#include <cstdint>
#include <cstring>

namespace zor::foundation {

// When "DumpDriverLogsOnError" is set, saves the driver log under the temporary folder as
// "ZORDriverLog_Err<code>_SubErr<sub>_<counter>.zim". True when a file was asked for.
bool DumpDriverLogIfEnabled(uint64_t code, uint64_t subCode);

// The host asks for the calling thread's error: answers it from the context's GetError and,
// for an error code (kind 1, non-zero), dumps the log when that is enabled.
template <typename Context>
auto DumpDriverLogOnError(int64_t kind, void* out1, void* out2, void* out3, void* out4,
                          Context& context) {
  const auto result = context.GetError(kind, out1, out2, out3, out4);
  if (kind == 1 && out1 != nullptr) {
    uint64_t code = 0;
    uint64_t subCode = 0;
    memcpy(&code, out1, sizeof(code));
    if (out2 != nullptr) memcpy(&subCode, out2, sizeof(subCode));
    if (code != 0) DumpDriverLogIfEnabled(code, subCode);
  }
  return result;
}

}  // namespace zor::foundation
