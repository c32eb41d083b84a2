// The line reader of camera configuration files: comment lines and trailing
// comments are dropped, lines are cut at 127 characters, and a line that is
// empty after the cuts is an error.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zor::board {

inline constexpr uint32_t kConfigLineFailed = 0x1;
// The next line starts a section: nothing was read.
inline constexpr uint32_t kConfigSectionEnd = 0x100;

inline constexpr int kConfigModeAny = 1;      // a line starting with '[' is read as a line
inline constexpr int kConfigModeSection = 2;  // stops in front of a line starting with '['
inline constexpr int kConfigSkipComments = 2;

inline constexpr size_t kConfigLineCapacity = 128;

// Reads the next line of `stream` into `line`. Returns 0, kConfigSectionEnd, or
// kConfigLineFailed at the end of the file, for an empty line or one that does not
// fit `capacity` characters with its terminator.
uint32_t ReadConfigLine(std::FILE* stream, std::wstring& line, size_t capacity, int mode,
                        int commentSwitch);

}  // namespace zor::board
