// Files and folders.
#pragma once

#include <cstdint>

namespace os {

inline constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
inline constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;

// INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND
// when nothing is there.
uint32_t GetFileAttributes(const wchar_t* path);
bool PathExists(const wchar_t* path);
// One folder; ERROR_ALREADY_EXISTS or ERROR_PATH_NOT_FOUND on failure.
bool CreateDirectory(const wchar_t* path);
// An absolute path for path (relative ones against the working folder),
// with "." and ".." resolved. size in characters; too small: the size
// needed including the NUL. filePart (may be null) points at the last part.
uint32_t GetFullPathName(const wchar_t* path, uint32_t size, wchar_t* buffer, wchar_t** filePart);

}  // namespace os
