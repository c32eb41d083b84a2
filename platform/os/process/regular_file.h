// Files that a user or the environment names (trace files, dumps in the temporary folder,
// registry files), opened without ever blocking: a FIFO with nobody at the other end, a terminal
// or another device would hold the open, or every read and write, for ever. Only a regular file
// is taken; anything else fails at once with a reason.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace os {

// mode is fopen's: "r", "w" or "a", each with "+" and "b" allowed. Null on failure, with problem
// (may be null) saying why: the system's text, or what the path names instead of a file.
std::FILE* OpenRegularFile(const std::string& path, const char* mode,
                           std::string* problem = nullptr);

// The whole file; a file of more than maxBytes is refused before it is read.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text,
                     std::string* problem = nullptr);

// Makes text the file's whole content, flushed.
bool WriteRegularFile(const std::string& path, std::string_view text,
                      std::string* problem = nullptr);

}  // namespace os
