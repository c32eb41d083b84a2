// Dynamic libraries and module facts.
#pragma once

#include <cstdint>

namespace os {

// A module's base address, like an HMODULE. Null: none.
enum class Module : std::uintptr_t {};
inline constexpr Module kNullModule{0};

// The module that holds the given code or data address.
Module ModuleFromAddress(const void* address);
// The module that compiles this call (a shared library gets its own).
inline Module ThisModule() {
  static const char marker = 0;
  return ModuleFromAddress(&marker);
}
// Null name: the program itself.
Module GetModuleHandle(const wchar_t* name);

// Null with ERROR_MOD_NOT_FOUND when the library cannot be loaded.
Module LoadLibrary(const wchar_t* path);
// Null with ERROR_PROC_NOT_FOUND (or ERROR_INVALID_HANDLE).
void* GetProcAddress(Module module, const char* name);
bool FreeLibrary(Module module);

// The module's file path. size in characters; too small: truncated to size-1
// characters plus NUL, returns size with ERROR_INSUFFICIENT_BUFFER.
uint32_t GetModuleFileName(Module module, wchar_t* buffer, uint32_t size);

}  // namespace os
