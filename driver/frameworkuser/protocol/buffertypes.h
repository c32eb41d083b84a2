// Buffer control and inquire types that platform/host/qtypes.h does not name; the ones it names
// (Q_SIZE_X, Q_PITCH, Q_FORMAT_WORD, Q_HOST_ADDRESS, Q_PHYSICAL_ADDRESS, ...) are used from
// there. No node map carries a buffer's types: the names are the driver's.
#pragma once

#include <cstdint>

namespace zor::protocol {

// The bands that Q_HOST_ADDRESS and a child's band take (added to the type, or as the band).
inline constexpr int64_t kFirstBand = 0x8;
inline constexpr int64_t kSecondBand = 0x10;
inline constexpr int64_t kThirdBand = 0x20;

// The host buffer's band layout; the band addresses change with it.
inline constexpr int64_t kBandLayout = 1018;
// Whether grabs go into the buffer (0 or 1), shared by a buffer and its children.
inline constexpr int64_t kGrabEnabled = 1030;
// The host buffer associated with this one.
inline constexpr int64_t kAssociatedBuffer = 1037;
// Whether the associated buffer's word (its host inquire kAssociatedWord) is taken.
inline constexpr int64_t kTakeAssociatedWord = 1072;
inline constexpr int64_t kAssociatedWord = 1193;
// The buffer's mode word, 1 to 3.
inline constexpr int64_t kBufferMode = 5079;
// The grab state: Q_ENABLE or Q_DISABLE, or (the second form) a state of 1 to 3.
inline constexpr int64_t kGrabStateSwitch = 5080;
inline constexpr int64_t kGrabStateLevel = 5085;
// The largest pixel value the buffer holds, which sets the bit depth in use.
inline constexpr int64_t kMaxValue = 0x4000000;
// The format word, as 7701 (Q_FORMAT_WORD) answers it too.
inline constexpr int64_t kFormatWordAlias = 6702;
// The buffer's address in on-board memory, asked by any of three types.
inline constexpr int64_t kOnBoardAddress = 6708;
inline constexpr int64_t kOnBoardAddressSecond = 6716;
inline constexpr int64_t kOnBoardAddressThird = 6732;

// The board's buffers: the board buffer word (0 to 255), a board image's value below 17,
// and the first of five consecutive words of the buffer record.
inline constexpr int64_t kBoardBufferWord = 5278;
inline constexpr int64_t kBoardImageValue = 8226;
inline constexpr int64_t kBoardRecordWords = 5222;

}  // namespace zor::protocol
