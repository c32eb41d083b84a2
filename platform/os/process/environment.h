// Environment variables; names ignore case, as on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace os {

// size is the buffer's size in characters. Found and fitting: the length
// without the NUL. Too small (or buffer null): the size needed including the
// NUL. Missing: 0 with ERROR_ENVVAR_NOT_FOUND.
uint32_t GetEnvironmentVariable(const wchar_t* name, wchar_t* buffer, uint32_t size);
uint32_t GetEnvironmentVariableA(const char* name, char* buffer, uint32_t size);
// A null value removes the variable. An existing variable keeps its case.
bool SetEnvironmentVariable(const wchar_t* name, const wchar_t* value);

namespace detail {

// A setting of the stand-ins themselves (ZOR_REGISTRY_ROOT and the like), read
// under the lock that SetEnvironmentVariable takes; empty when unset.
std::string Setting(const char* name);

}  // namespace detail
}  // namespace os
