#include "platform/os/core/shared.h"

#include <map>
#include <mutex>
#include <string>

extern "C" void* zor_os_shared(const char* key, void* (*create)()) {
  static auto* mutex = new std::mutex;
  static auto* instances = new std::map<std::string, void*>;
  std::lock_guard lock(*mutex);
  void*& slot = (*instances)[key];
  if (slot == nullptr) slot = create();
  return slot;
}

extern "C" uint32_t* zor_os_last_error_slot() {
  thread_local uint32_t lastError = 0;
  return &lastError;
}
