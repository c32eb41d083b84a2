// The per-digitizer channel record that travels inside every digitizer request. Fields named
// pad or reserved by their byte offset carry nothing the driver sets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::kernel {

inline constexpr size_t kStripRows = 15;
inline constexpr size_t kHookSetSize = 2616;

struct StripRow {
  uint64_t lineCount;
  uint64_t firstLine;
  uint8_t flag;
  uint8_t pad[7];
  uint64_t word;
};
static_assert(sizeof(StripRow) == 32);

// Settings block of the record; the first word is a user-mode class pointer
// that the kernel ignores.
struct DigPropertiesBlock {
  uint64_t classPointer;
  uint64_t channel;
  uint64_t inputMode;
  uint64_t maxWidth;
  uint64_t maxHeight;
  uint64_t pixelDepth;
  uint64_t bandCount;
  uint64_t lutBandCount;
  uint64_t reserved64;  // the device layer answers inquire 17 with it
  double decimationX;
  double decimationY;
  uint64_t grabMode;      // control 4016
  uint64_t grabModeWord;  // inquire 4017 (kGrabModeWord) answers it
  uint64_t fieldNum;      // control 4018: 1 or 2
  uint64_t bandSwitch;    // controls 1018, 4325
  int64_t signedWord;     // the kernel's; the device layer answers inquire 1102 with it
  uint64_t sourceWidth;
  uint64_t sourceOffsetX;
  uint64_t sourceHeight;
  uint64_t sourceOffsetY;
  uint64_t grabDirectionX;  // 1 or 4 (flipped)
  uint64_t grabDirectionY;
  double grabPeriod;    // milliseconds
  int64_t grabTimeout;  // 4127
  int64_t timeoutWord;
  uint64_t grabStartMode;  // 4074
  int64_t grabErrorReporting;
  uint64_t allocationReserve;  // a reserve (below), preset by the digitizer's allocation
  int64_t grabTriggerState;    // 4200
  uint64_t presetWords[8];     // below
  uint64_t controlFlagMode;    // 4775
  // With presetWords: words only the kernel reads, sent as the construction presets them; their
  // meaning is the kernel's.
  uint64_t presetWord;
  uint64_t zeroWords[4];
  double presetDoubles[2];
  uint64_t auxBufferMode;
  uint64_t auxBufferSize;
  // Reserves: settings for the kernel that the driver only presets, named by the construction
  // that presets them; their meaning is the kernel's.
  uint64_t propertiesReserve;  // preset by the properties' construction
  uint64_t digitizerReserve;   // preset by the digitizer record's construction
};
static_assert(sizeof(DigPropertiesBlock) == 392);
static_assert(offsetof(DigPropertiesBlock, decimationX) == 72);
static_assert(offsetof(DigPropertiesBlock, bandSwitch) == 112);
static_assert(offsetof(DigPropertiesBlock, sourceWidth) == 128);
static_assert(offsetof(DigPropertiesBlock, grabPeriod) == 176);
static_assert(offsetof(DigPropertiesBlock, grabTimeout) == 184);
static_assert(offsetof(DigPropertiesBlock, timeoutWord) == 192);
static_assert(offsetof(DigPropertiesBlock, grabTriggerState) == 224);
static_assert(offsetof(DigPropertiesBlock, presetWords) == 232);
static_assert(offsetof(DigPropertiesBlock, controlFlagMode) == 296);
static_assert(offsetof(DigPropertiesBlock, presetWord) == 304);
static_assert(offsetof(DigPropertiesBlock, zeroWords) == 312);
static_assert(offsetof(DigPropertiesBlock, presetDoubles) == 344);
static_assert(offsetof(DigPropertiesBlock, auxBufferMode) == 360);
static_assert(offsetof(DigPropertiesBlock, digitizerReserve) == 384);

struct DigChannelRecord {
  int64_t digitizerIndex;
  int64_t hostDigitizer;
  // The kernel's handle of the digitizer, back from the allocation: its id, which the grab
  // processing and pending-grab requests name, and a word that every later request must carry.
  uint64_t kernelDigitizer;
  uint64_t kernelCheck;
  uint64_t reserved32;
  StripRow strips[kStripRows];
  DigPropertiesBlock properties;
  uint8_t hookSet[kHookSetSize];  // user-mode hook elements; not read by the kernel
  uint8_t continuousGrab;
  uint8_t pad3529[7];
  // The kernel's words, sent as the construction presets them; their meaning is the kernel's.
  int64_t signedWord;
  uint8_t reserved3544[16];
  uint64_t lastWord;
};
static_assert(sizeof(DigChannelRecord) == 3568);
static_assert(offsetof(DigChannelRecord, strips) == 40);
static_assert(offsetof(DigChannelRecord, properties) == 520);
static_assert(offsetof(DigChannelRecord, hookSet) == 912);
static_assert(offsetof(DigChannelRecord, continuousGrab) == 3528);
static_assert(offsetof(DigChannelRecord, signedWord) == 3536);
static_assert(offsetof(DigChannelRecord, lastWord) == 3560);

}  // namespace zor::kernel
