// Operation fields of the control and inquire flags of feature access.
#pragma once

#include <cstdint>

namespace zor::genicam {

inline constexpr int64_t kOperationMask = 0xFF0000;
inline constexpr int64_t kOpCount = 0x010000;
inline constexpr int64_t kOpName = 0x020000;
inline constexpr int64_t kOpDisplayName = 0x030000;
inline constexpr int64_t kOpNaturalType = 0x040000;
inline constexpr int64_t kOpToolTip = 0x050000;
inline constexpr int64_t kOpDescription = 0x060000;
inline constexpr int64_t kOpAccessMode = 0x070000;
inline constexpr int64_t kOpVisibility = 0x080000;
inline constexpr int64_t kOpCachingMode = 0x090000;
inline constexpr int64_t kOpStreamable = 0x0A0000;
inline constexpr int64_t kOpDeprecated = 0x0B0000;
inline constexpr int64_t kOpRepresentation = 0x0C0000;
inline constexpr int64_t kOpExists = 0x0D0000;
inline constexpr int64_t kOpChangeHook = 0x0E0000;
inline constexpr int64_t kOpPollingTime = 0x0F0000;
inline constexpr int64_t kOpUnit = 0x100000;
inline constexpr int64_t kOpValue = 0xFA0000;
inline constexpr int64_t kOpValueText = 0xFB0000;
inline constexpr int64_t kOpExecute = 0xFC0000;
inline constexpr int64_t kOpMin = 0xFD0000;
inline constexpr int64_t kOpMax = 0xFE0000;
inline constexpr int64_t kOpInc = 0xFF0000;

inline constexpr int64_t kFlagDefault = 0x10000000;
inline constexpr int64_t kFlagLength = 0x2000;              // bit 13
inline constexpr int64_t kFlagByteSize = 0x100000000;       // bit 32
inline constexpr int64_t kFlagIgnoreCache = 0x200000000;    // bit 33
inline constexpr int64_t kFlagLengthField = 0x50000000000;  // bits 40-43 equal to 5
inline constexpr int64_t kFieldMask40 = 0xF0000000000;
inline constexpr int64_t kFlagNarrow = 0x1000000000000;  // bit 48
inline constexpr int64_t kRelatedShift = 56;
inline constexpr int64_t kRelatedMask = 0xF00000000000000;
// What the related field selects: a category's features, an enumeration's entries, a feature's
// selectors, a feature's valid values.
inline constexpr int64_t kRelatedCategoryFeatures = 1;
inline constexpr int64_t kRelatedEnumEntries = 2;
inline constexpr int64_t kRelatedSelectors = 3;
inline constexpr int64_t kRelatedValidValues = 4;
inline constexpr int64_t kFlagEntryAtIndex = int64_t{1} << 57;

inline constexpr int64_t kEnable = -9997;
inline constexpr int64_t kDisable = -9999;

constexpr int64_t OperationOf(int64_t flag) { return flag & kOperationMask; }
constexpr bool HasLengthField(int64_t flag) { return (flag & kFieldMask40) == kFlagLengthField; }

}  // namespace zor::genicam
