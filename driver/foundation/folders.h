// Folder variables (TEMP, TRACEFOLDER, ZOR_PATH) and debug settings read from the registry.
#pragma once

#include "driver/foundation/zorstring.h"
#include "driver/foundation/zorstringascii.h"

namespace zor::foundation {

// Folder look-ups. For "TEMP" and "TRACEFOLDER" a folder named in the registry's debug
// settings comes first when it exists on disk; "ZOR_PATH" prefers "ZOR_PATH64"; a missing
// "TRACEFOLDER" is the temporary folder, and a missing "TEMP" is $TMPDIR or /tmp.
// Names ignore case. True when a value was found.
bool GetFolderVariable(const wchar_t* name, CZORString& out);
// The narrow twin, from the environment only.
bool GetEnvironmentVariableAscii(const char* name, CZORStringAscii& out);

// The same look-ups with the result first.
inline bool GetFolderVariable(CZORString& out, const wchar_t* name) {
  return GetFolderVariable(name, out);
}
inline bool GetEnvironmentVariableAscii(CZORStringAscii& out, const char* name) {
  return GetEnvironmentVariableAscii(name, out);
}

// Reads "Settings\Debug[\sub-path]\value" from the user's runtime key, then the machine's.
// asQword reads a QWORD and gives it in decimal.
bool ReadDebugFolderSetting(const wchar_t* valueName, CZORString& out, bool asQword);

// The install folder (registry "INSTALLDIR", without a trailing separator) and its "tools"
// folder, cached once found.
CZORString GetInstallDir();
CZORString GetToolsDir();

bool DirectoryExists(const wchar_t* path);
bool FileExists(const wchar_t* path);

}  // namespace zor::foundation
