// Process-wide state shared by every copy of this library in the process
// (it is linked into more than one shared object): the copies meet through
// one exported entry point that the dynamic linker binds to a single copy.
#pragma once

#include <cstdint>

extern "C" {
__attribute__((visibility("default"))) void* zor_os_shared(const char* key, void* (*create)());
__attribute__((visibility("default"))) uint32_t* zor_os_last_error_slot();
}

namespace os::detail {

// The one instance of T under key, created on first use and never destroyed
// (threads of other modules may still use it while the process ends).
template <class T>
T& Shared(const char* key) {
  return *static_cast<T*>(zor_os_shared(key, []() -> void* { return new T(); }));
}

}  // namespace os::detail
