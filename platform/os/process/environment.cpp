#include "platform/os/process/environment.h"

#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "platform/os/core/error.h"
#include "platform/os/text/convert.h"

namespace os {
namespace {

std::mutex& EnvironmentMutex() {
  static std::mutex& mutex = *new std::mutex;
  return mutex;
}

// The variable's name as the environment spells it: an exact match first,
// else the first that differs in case only.
std::optional<std::string> StoredName(const std::string& name) {
  if (getenv(name.c_str()) != nullptr) return name;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* equals = strchr(*entry, '=');
    if (equals == nullptr) continue;
    const auto length = static_cast<size_t>(equals - *entry);
    if (length == name.size() && strncasecmp(*entry, name.c_str(), length) == 0) {
      return std::string(*entry, length);
    }
  }
  return std::nullopt;
}

// The variable's value; missing: none, with ERROR_ENVVAR_NOT_FOUND.
std::optional<std::string> Lookup(const std::string& name) {
  std::lock_guard lock(EnvironmentMutex());
  std::optional<std::string> stored = StoredName(name);
  if (!stored) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return std::nullopt;
  }
  return std::string(getenv(stored->c_str()));
}

template <class Char>
uint32_t Deliver(const std::basic_string<Char>& value, Char* buffer, uint32_t size) {
  const auto length = static_cast<uint32_t>(value.size());
  if (buffer == nullptr || size <= length) return length + 1;
  value.copy(buffer, value.size());
  buffer[length] = 0;
  SetLastError(ERROR_SUCCESS);
  return length;
}

bool ValidName(const std::string& name) {
  return !name.empty() && name.find('=') == std::string::npos;
}

}  // namespace

uint32_t GetEnvironmentVariable(const wchar_t* name, wchar_t* buffer, uint32_t size) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::optional<std::string> value = Lookup(WideToUtf8(name));
  return value ? Deliver(Utf8ToWide(*value), buffer, size) : 0;
}

uint32_t GetEnvironmentVariableA(const char* name, char* buffer, uint32_t size) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::optional<std::string> value = Lookup(name);
  return value ? Deliver(*value, buffer, size) : 0;
}

namespace detail {

std::string Setting(const char* name) {
  std::lock_guard lock(EnvironmentMutex());
  const char* value = getenv(name);
  return value == nullptr ? std::string() : value;
}

}  // namespace detail

bool SetEnvironmentVariable(const wchar_t* name, const wchar_t* value) {
  const std::string narrow = name == nullptr ? std::string() : WideToUtf8(name);
  if (!ValidName(narrow)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::lock_guard lock(EnvironmentMutex());
  const std::string stored = StoredName(narrow).value_or(narrow);
  const int result = value == nullptr ? unsetenv(stored.c_str())
                                      : setenv(stored.c_str(), WideToUtf8(value).c_str(), 1);
  if (result != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  return true;
}

}  // namespace os
