// Sets of the host's control and inquire types that it names by number only: each set is one
// table, and the code asks a type's membership by the table's name. The flag bits that may ride
// on a type differ by module and stay with the code that clears them.
#pragma once

#include <cstdint>

#include "driver/foundation/integerchecks.h"
#include "platform/host/qtypes.h"

namespace zor::protocol {

using foundation::IntRange;

// The classes of digitizer types whose values the host takes as doubles.
inline constexpr IntRange kDigitizerDoubleClasses[] = {
    {6000, 6699}, {133072, 134072}, {0x3A000, 0x3F800}};
// Digitizer types the host takes as doubles on their own: one bare, one that bits 16 and 19 may
// ride on.
inline constexpr int64_t kDigitizerDoubleType = 0x400000;
inline constexpr int64_t kFlaggedDigitizerDouble = 6672;
inline constexpr int64_t kFlaggedDigitizerDoubleBits = 0x90000;
// A digitizer input type that a selector (0x40 to 0x5F in bits 16 to 22) may ride on.
inline constexpr int64_t kSelectedDigitizerType = 6766;

// Digitizer types the host keeps for itself: a digitizer refuses them both ways.
inline constexpr IntRange kHostOnlyDigitizerTypes[] = {{4054, 4054}, {5186, 5186}, {69555, 69559}};
// A block of host control types that a digitizer refuses.
inline constexpr IntRange kHostBlockedControls[] = {{0x20000, 0x20BB8}};
// The runs of five inquire types from 131072 on that a digitizer refuses.
inline constexpr IntRange kRefusedInquireRuns[] = {
    {131072, 131076}, {131172, 131176}, {131272, 131276}, {131572, 131576},
    {131672, 131676}, {131872, 131876}, {133172, 133176}, {133272, 133276}};

// Controls that leave a continuous grab running, whatever their value.
inline constexpr IntRange kGrabKeepingControls[] = {{4126, 4126}, {4328, 4328}, {4360, 4360}};
// Trigger controls that leave it running when they arm the trigger (value 1).
inline constexpr IntRange kGrabKeepingTriggers[] = {
    {0x20000, 0x20004}, {69745, 69749}, {132172, 132176}};

// What the transport layer and the feature browser take each module's types for. Every module:
// 64-bit inputs that the caller's default fills.
inline constexpr IntRange kDefaultInputTypes[] = {{6700, 6799}};
// Object ids of systems, buffers and displays; a digitizer adds kDigitizerIdTypes.
inline constexpr IntRange kObjectIdTypes[] = {{1100, 1199}, {Q_HOST_OBJECT_ID, Q_HOST_OBJECT_ID}};
inline constexpr IntRange kDigitizerIdTypes[] = {{5328, 5328}};
// Texts of the application and the system alike, and each one's own.
inline constexpr IntRange kHostTextTypes[] = {
    {16800, 16999}, {22000, 22399}, {0x1000000000, 0x1000000000}};
inline constexpr IntRange kApplicationTextTypes[] = {
    {15890, 15949}, {15977, 16296}, {23000, 23959}};
inline constexpr IntRange kSystemTextTypes[] = {{10312, 10371}};
// Texts of the modules' own node maps: a digitizer's, and a system's or display's.
inline constexpr IntRange kDigitizerMapTextTypes[] = {{7700, 7999}};
inline constexpr IntRange kMapTextTypes[] = {{7700, 7799}};
// The application's double and its object id.
inline constexpr IntRange kApplicationDoubleTypes[] = {{15001, 15001}};
inline constexpr IntRange kApplicationIdTypes[] = {{15021, 15021}};
// A buffer's doubles, its 64-bit inputs and its byte arrays.
inline constexpr IntRange kBufferDoubleTypes[] = {{0x2000000, 0x4000000}};
inline constexpr IntRange kBufferInputTypes[] = {{8453, 8453}, {32768, 32768}};
inline constexpr IntRange kBufferByteTypes[] = {{9002, 9002}, {9031, 9031}};
// A buffer's addresses, byte arrays too, whichever band they name.
inline constexpr IntRange kBufferAddressTypes[] = {{Q_HOST_ADDRESS, Q_HOST_ADDRESS},
                                                   {0x80000, 0x80000},
                                                   {0x400000, 0x400000},
                                                   {Q_PHYSICAL_ADDRESS, Q_PHYSICAL_ADDRESS}};
// A display's doubles, and its ids besides the objects'.
inline constexpr IntRange kDisplayDoubleTypes[] = {{6600, 6699}, {4534, 4541}};
inline constexpr IntRange kDisplayIdTypes[] = {{8600, 8663}};
// A sequence's text, and its double besides the frame rate.
inline constexpr int64_t kSequenceTextType = 3904;
inline constexpr int64_t kSequenceDoubleType = 3712;

}  // namespace zor::protocol
