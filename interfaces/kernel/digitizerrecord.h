// The per-digitizer channel record that travels inside every digitizer request.
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
  uint64_t reserved64;
  double decimationX;
  double decimationY;
  uint64_t grabMode;  // control 4016
  uint64_t word4017;
  uint64_t fieldNum;    // control 4018: 1 or 2
  uint64_t bandSwitch;  // controls 1018, 4325
  int64_t word120;
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
  uint64_t words232To288[8];
  uint64_t controlFlagMode;  // 4775
  uint64_t word304;
  uint64_t words312To336[4];
  double doubles344[2];
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
static_assert(offsetof(DigPropertiesBlock, controlFlagMode) == 296);
static_assert(offsetof(DigPropertiesBlock, auxBufferMode) == 360);
static_assert(offsetof(DigPropertiesBlock, digitizerReserve) == 384);

struct DigChannelRecord {
  int64_t digitizerIndex;
  int64_t hostDigitizer;
  uint64_t kernelWord1;  // back from the digitizer allocation
  uint64_t kernelWord2;
  uint64_t reserved32;
  StripRow strips[kStripRows];
  DigPropertiesBlock properties;
  uint8_t hookSet[kHookSetSize];  // user-mode hook elements; not read by the kernel
  uint8_t continuousGrab;
  uint8_t pad3529[7];
  int64_t word3536;
  uint8_t reserved3544[16];
  uint64_t word3560;
};
static_assert(sizeof(DigChannelRecord) == 3568);
static_assert(offsetof(DigChannelRecord, strips) == 40);
static_assert(offsetof(DigChannelRecord, properties) == 520);
static_assert(offsetof(DigChannelRecord, hookSet) == 912);
static_assert(offsetof(DigChannelRecord, continuousGrab) == 3528);
static_assert(offsetof(DigChannelRecord, word3536) == 3536);
static_assert(offsetof(DigChannelRecord, word3560) == 3560);

}  // namespace zor::kernel
