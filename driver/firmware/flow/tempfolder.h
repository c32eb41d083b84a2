// The temporary folder the programming flow writes its patched data file into.
#pragma once

#include <string>

namespace zor::firmware {

// The temporary folder ("TEMP", else the system's) followed by one "/", where the programming
// flow writes its patched data file.
std::string GetTempFolderAscii();

}  // namespace zor::firmware
