// Digitizer requests: allocation, free, control and inquire, grabs, grab
// processing and reference levels. Fields named zero, pad or flag by their byte
// offset are sent as zero and carry nothing the driver knows of.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interfaces/kernel/bufferdescriptor.h"
#include "interfaces/kernel/digitizerrecord.h"
#include "interfaces/kernel/requestheader.h"

namespace zor::kernel {

inline constexpr size_t kDcfBlockSize = 17904;
inline constexpr size_t kDcfValueImageSize = 8952;
inline constexpr size_t kDcfAdv7180Offset = 336;  // the decoder's 256 registers in the value image

// Free and stop-grab requests: header and record copy.
struct DigRecordRequest {
  RequestHeader header;
  DigChannelRecord record;
};
static_assert(sizeof(DigRecordRequest) == 3656);

struct DigAllocRequest {
  RequestHeader header;
  DigChannelRecord record;  // back: kernelDigitizer and kernelCheck
  uint64_t kernelEvent;
  uint64_t reserved[2];
  uint8_t dcfBlock[kDcfBlockSize];
};
static_assert(sizeof(DigAllocRequest) == 21584);
static_assert(offsetof(DigAllocRequest, record) == 88);
static_assert(offsetof(DigAllocRequest, kernelEvent) == 3656);
static_assert(offsetof(DigAllocRequest, dcfBlock) == 3680);

// Digitizer control, inquire and hook-enable (channel init) requests.
struct DigChannelRequest {
  RequestHeader header;
  DigChannelRecord record;
  uint64_t type;
  uint64_t value;  // in: value to set; back: the answer
};
static_assert(sizeof(DigChannelRequest) == 3672);
static_assert(offsetof(DigChannelRequest, type) == 3656);
static_assert(offsetof(DigChannelRequest, value) == 3664);

inline constexpr uint64_t kForceBoardBit = 0x800000000000000;
inline constexpr uint64_t kGrabAbort = 6643;
inline constexpr uint64_t kHookEnable = 0x10000000;
inline constexpr uint64_t kHookDisable = 0x4000000;

struct GrabBufferPart {
  KernelBufferDescriptor descriptor;
  int64_t value;                  // -1 from a plain grab
  uint64_t reservedBeforeHandle;  // the reserved words go as 0
  uint64_t kernelHandle;          // on-board buffer, 0 for host memory
  uint64_t reservedAfterHandle[2];
  int64_t kernelPresetFirst;  // this and kernelPresetSecond: the kernel's, sent as -1
  uint64_t reservedBetweenPresets[2];
  int64_t kernelPresetSecond;
  uint64_t reservedAfterPresets[2];
  uint64_t skipX;  // 1/decimation - 1
  uint64_t skipY;
  uint8_t oneBandPerPlane;  // 1 unless three bands with the band switch on
  uint8_t flipX;
  uint8_t flipY;
  uint8_t padAfterFlips;
  uint8_t bothFields;  // control 4018 value 2
  uint8_t padAfterFields[3];
  uint64_t boardBufferWord;
};
static_assert(sizeof(GrabBufferPart) == 496);
static_assert(offsetof(GrabBufferPart, value) == 376);
// Reserved by the kernel.
static_assert(offsetof(GrabBufferPart, reservedBeforeHandle) == 384);
static_assert(offsetof(GrabBufferPart, kernelHandle) == 392);
static_assert(offsetof(GrabBufferPart, reservedAfterHandle) == 400);
static_assert(offsetof(GrabBufferPart, reservedBetweenPresets) == 424);
static_assert(offsetof(GrabBufferPart, reservedAfterPresets) == 448);
static_assert(offsetof(GrabBufferPart, kernelPresetFirst) == 416);
static_assert(offsetof(GrabBufferPart, kernelPresetSecond) == 440);
static_assert(offsetof(GrabBufferPart, skipX) == 464);
static_assert(offsetof(GrabBufferPart, oneBandPerPlane) == 480);
static_assert(offsetof(GrabBufferPart, bothFields) == 484);
static_assert(offsetof(GrabBufferPart, boardBufferWord) == 488);

// Grab request, also used to queue a grab for grab processing.
struct GrabRequest {
  RequestHeader header;  // objectId: the kernel object the grab runs under
  DigChannelRecord record;
  uint64_t waitInUserMode;     // back: nonzero asks the caller to wait on its event
  uint64_t grabRecord;         // back for grab processing: the kernel's id of the queued grab
  uint64_t eventRegistration;  // the caller's registered per-system event
  uint64_t continuous;         // 1 when the count is -1
  uint64_t reservedWord;       // the reserved fields go as 0
  uint8_t reservedFlag;
  uint8_t padAfterFlag[7];
  uint64_t reservedWords[2];
  GrabBufferPart buffer;
};
static_assert(sizeof(GrabRequest) == 4216);
static_assert(offsetof(GrabRequest, waitInUserMode) == 3656);
static_assert(offsetof(GrabRequest, eventRegistration) == 3672);
static_assert(offsetof(GrabRequest, continuous) == 3680);
// Reserved by the kernel.
static_assert(offsetof(GrabRequest, reservedWord) == 3688);
static_assert(offsetof(GrabRequest, reservedFlag) == 3696);
static_assert(offsetof(GrabRequest, reservedWords) == 3704);
static_assert(offsetof(GrabRequest, buffer) == 3720);
// The user-mode wait reads the time-out words through the record copy.
static_assert(offsetof(GrabRequest, record) + offsetof(DigChannelRecord, properties) +
                  offsetof(DigPropertiesBlock, grabTimeout) ==
              792);
static_assert(offsetof(GrabRequest, record) + offsetof(DigChannelRecord, properties) +
                  offsetof(DigPropertiesBlock, grabTriggerState) ==
              832);
static_assert(offsetof(GrabRequest, record) + offsetof(DigChannelRecord, properties) +
                  offsetof(DigPropertiesBlock, timeoutWord) ==
              800);

inline constexpr uint64_t kWaitGrabEnd = 3;    // every grab queued so far has ended
inline constexpr uint64_t kWaitNextFrame = 5;  // the next frame has ended

struct GrabWaitRequest {
  RequestHeader header;
  DigChannelRecord record;
  uint64_t waitFlag;  // in: kWaitGrabEnd or kWaitNextFrame; back: nonzero asks for a user-mode wait
  uint64_t reserved;
  uint64_t eventRegistration;
};
static_assert(sizeof(GrabWaitRequest) == 3680);
static_assert(offsetof(GrabWaitRequest, waitFlag) == 3656);
static_assert(offsetof(GrabWaitRequest, eventRegistration) == 3672);

struct DigReferenceRequest {
  RequestHeader header;
  DigChannelRecord record;
  uint64_t reservedBeforeChannels[3];  // the reserved words go as 0
  uint64_t channelBits;
  uint64_t reservedAfterChannels;
  // The levels of the four reference types (Q_CONTRAST_REF, Q_BRIGHTNESS_REF, the colour
  // reference 6655 and Q_SATURATION_REF), each 0x10000000 unless the request sets it.
  uint64_t contrastLevel;
  uint64_t brightnessLevel;
  uint64_t colourLevel;
  uint64_t saturationLevel;
};
static_assert(sizeof(DigReferenceRequest) == 3728);
// Reserved by the kernel.
static_assert(offsetof(DigReferenceRequest, reservedBeforeChannels) == 3656);
static_assert(offsetof(DigReferenceRequest, channelBits) == 3680);
static_assert(offsetof(DigReferenceRequest, reservedAfterChannels) == 3688);
static_assert(offsetof(DigReferenceRequest, contrastLevel) == 3696);
static_assert(offsetof(DigReferenceRequest, colourLevel) == 3712);

inline constexpr uint64_t kPendingGrabCount = 6926;

// The digitizer's firmware region and identity, reached through the
// digitizer's control and inquire requests. Firmware data controls append
// eight bytes (the value, little-endian) to the staged image, which a reset
// makes the running firmware; an allocation drops what an earlier one staged.
inline constexpr uint64_t kDigFirmwareData = 9100;
inline constexpr uint64_t kDigFirmwareReset = 9101;
inline constexpr uint64_t kDigFirmwareSize = 9102;      // inquire: bytes of the running image
inline constexpr uint64_t kDigFirmwareChecksum = 9103;  // inquire: its 64-bit FNV-1a
inline constexpr uint64_t kDigIdentity = 9104;          // inquire: 0 when the device has none
// Acquisition mode, start, status selector and status: values the board keeps
// for the GenICam layer (9105 to 9108); they start no grab.

// objectId 0 asks about every digitizer of the system, else the digitizer
// whose kernelDigitizer it holds.
struct DigInquireValueRequest {
  RequestHeader header;
  uint64_t type;
  uint64_t value;  // back
};
static_assert(sizeof(DigInquireValueRequest) == 104);

// Grab processing: start processing, stop a queued grab, continue a grab.
struct DigProcessRequest {
  RequestHeader header;
  uint64_t kernelDigitizer;  // the channel record's
  uint64_t processObject;    // the run's kernel object
  uint64_t word;             // request: 1 for a first start; stop: the grab record
};
static_assert(sizeof(DigProcessRequest) == 112);
static_assert(offsetof(DigProcessRequest, kernelDigitizer) == 0x58);
static_assert(offsetof(DigProcessRequest, processObject) == 0x60);
static_assert(offsetof(DigProcessRequest, word) == 0x68);

struct DigContinueGrabRequest {
  RequestHeader header;
  uint64_t kernelDigitizer;
  uint64_t processObject;
  uint64_t threadObject;  // kernel id of the thread that continues
  uint64_t grabRecord;
};
static_assert(sizeof(DigContinueGrabRequest) == 120);
static_assert(offsetof(DigContinueGrabRequest, grabRecord) == 0x70);

// A continuation that carries a freshly built buffer part (and one for the
// auxiliary phase).
struct DigContinuePreparedRequest {
  RequestHeader header;
  uint64_t kernelDigitizer;
  uint64_t processObject;
  uint64_t threadObject;
  uint64_t grabRecord;
  GrabBufferPart buffers[2];
};
static_assert(sizeof(DigContinuePreparedRequest) == 1112);
static_assert(offsetof(DigContinuePreparedRequest, buffers) == 120);

}  // namespace zor::kernel
