#include "platform/os/process/files.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/os/core/error.h"
#include "platform/os/text/convert.h"

namespace os {
namespace {

uint32_t FromErrno() {
  switch (errno) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
      return ERROR_INVALID_NAME;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace

uint32_t GetFileAttributes(const wchar_t* path) {
  if (path == nullptr || *path == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  const std::string narrow = WideToUtf8(path);
  struct stat status = {};
  if (stat(narrow.c_str(), &status) != 0) {
    SetLastError(FromErrno());
    return INVALID_FILE_ATTRIBUTES;
  }
  uint32_t attributes = 0;
  if (S_ISDIR(status.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (access(narrow.c_str(), W_OK) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
  const std::string name = std::filesystem::path(narrow).filename().string();
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

bool PathExists(const wchar_t* path) { return GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

bool CreateDirectory(const wchar_t* path) {
  if (path == nullptr || *path == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (mkdir(WideToUtf8(path).c_str(), 0777) != 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : FromErrno());
    return false;
  }
  return true;
}

uint32_t GetFullPathName(const wchar_t* path, uint32_t size, wchar_t* buffer, wchar_t** filePart) {
  if (path == nullptr || *path == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::error_code error;
  std::filesystem::path full =
      std::filesystem::absolute(std::filesystem::path(WideToUtf8(path)), error);
  if (error) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  const std::wstring text = Utf8ToWide(full.lexically_normal().string());
  const auto length = static_cast<uint32_t>(text.size());
  if (buffer == nullptr || size <= length) return length + 1;
  text.copy(buffer, text.size());
  buffer[length] = L'\0';
  if (filePart != nullptr) {
    const size_t slash = text.rfind(L'/');
    *filePart = slash + 1 == text.size() ? nullptr : buffer + slash + 1;
  }
  return length;
}

}  // namespace os
