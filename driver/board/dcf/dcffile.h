// Finding and reading camera configuration (DCF) files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zor::board {

inline constexpr int kDcfSearchFolders = 2;  // the only mode that searches the DCF folders
inline constexpr uint32_t kDcfPathNotFound = 0x40000000;
inline constexpr size_t kDcfPathCapacity = 1024;
// Largest normalised text, terminator included.
inline constexpr size_t kDcfTextCapacity = 62080;

// "Q_DEFAULT", "Q_RS170", "Q_CCIR", "Q_NTSC" and "Q_PAL" (any case) name the standard
// files; any other name is returned as it is.
std::wstring MapStandardDcfName(const std::wstring& name);

// Finds a readable file: the name as it is, then, unless it is absolute and when the
// mode searches, in each folder of the board key's "DCFPATH" followed by
// "DRAVIONLYNDCF" ('~' standing for "HOME"). 0 with the path, or kDcfPathNotFound.
uint32_t ResolveDcfPath(const std::wstring& fileName, int searchMode, std::wstring& path);

// The file's "[REG_DIGIT]" section as "[REG_DIGIT]\n", its lines each ended by "\n",
// and "[EOF]\n"; nothing when the file is missing or malformed: no board line, no
// section, no "[EOF]", an empty line, or a text longer than kDcfTextCapacity.
std::optional<std::wstring> ReadDcfFile(const std::wstring& name, int searchMode);

}  // namespace zor::board
