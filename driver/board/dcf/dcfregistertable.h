// The keys a DCF may set: every INFO_ acquisition value and the ADV7180
// registers the board lets a camera file program, with their place in the
// DCF register block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "interfaces/kernel/digitizerrequests.h"

namespace zor::board {

inline constexpr int64_t kDcfKindEnd = 0;
inline constexpr int64_t kDcfKind8 = 1;
inline constexpr int64_t kDcfKind16 = 2;
inline constexpr int64_t kDcfKind32 = 3;

inline constexpr int64_t kDcfNotGiven = -9997;
inline constexpr int64_t kDcfGiven = -9999;

inline constexpr size_t kDcfBlockSize = kernel::kDcfBlockSize;
inline constexpr size_t kDcfValueImageSize = kernel::kDcfValueImageSize;
inline constexpr size_t kDcfFlagsOffset = kernel::kDcfValueImageSize;

struct DcfRegisterRow {
  const wchar_t* name;
  int64_t kind;
  uint64_t position;  // byte offset in the value image
};

// The 167 rows, the end row LAST_REGISTER last.
std::span<const DcfRegisterRow> DcfRegisterTable();

inline constexpr size_t kDcfRowCount = 167;
inline constexpr size_t kDcfInfoRowCount = 83;

// Byte offsets of the INFO_ values that the board reads back.
inline constexpr size_t kDcfInfoXSize = 4;
inline constexpr size_t kDcfInfoYSize = 8;

// The row of a key, null when no row names it.
const DcfRegisterRow* FindDcfRow(const wchar_t* name);

// Little-endian 32-bit INFO_ value at a block offset.
uint32_t ReadDcfInfo(const uint8_t* block, size_t offset);

}  // namespace zor::board
