// The driver's error codes, each named once after the texts the message table holds for it.
//
// A name says what went wrong when the code's texts share one cause ("Invalid ...", "... not
// allocated"); it names the subject with "Error" when they are a subject's assorted failures
// (UART, hooks, feature access). A file takes the names it records with `using errorcode::kName;`.
// Sub-codes stay numbers: a sub-code is the position of its text among the code's detail
// messages, and the table gives those texts no names; a file that names a position for its own
// reading (kDeviceNotOpen) keeps that name to itself.
#pragma once

#include <cstdint>

// X(name, code) for every code of the message table, in the table's order; one list, so that a
// test can hold every name to the table's texts.
#define ZOR_ERROR_CODES(X)             \
  X(kInvalidSystemParameter, 4300)     \
  X(kOperationRefused, 4301)           \
  X(kSystemAllocationError, 4302)      \
  X(kInvalidObject, 4303)              \
  X(kBoardError, 4304)                 \
  X(kSystemOperationError, 4305)       \
  X(kNoHostMemory, 4306)               \
  X(kInvalidControl, 4307)             \
  X(kNotAllocated, 4308)               \
  X(kDigitizerControlError, 4309)      \
  X(kInvalidInquire, 4310)             \
  X(kInvalidDigitizerParameter, 4311)  \
  X(kDigitizerAllocationError, 4312)   \
  X(kDigitizerHardwareError, 4313)     \
  X(kInvalidGrabParameter, 4314)       \
  X(kInvalidOperationFlag, 4315)       \
  X(kInvalidCameraFlag, 4316)          \
  X(kDigControlError, 4317)            \
  X(kAcquisitionFailed, 4318)          \
  X(kGrabQueueError, 4319)             \
  X(kGrabIncomplete, 4320)             \
  X(kAcquisitionInterrupted, 4321)     \
  X(kInvalidReference, 4322)           \
  X(kInvalidColorReference, 4323)      \
  X(kDigitizerChannelError, 4324)      \
  X(kDigitizerHookError, 4325)         \
  X(kInvalidBuffer, 4326)              \
  X(kInvalidBand, 4327)                \
  X(kUnsupportedBuffer, 4328)          \
  X(kBufferMemoryError, 4329)          \
  X(kInvalidCopy, 4330)                \
  X(kBufferListAllocationError, 4331)  \
  X(kInvalidBufferOperation, 4332)     \
  X(kGrabBufferAllocationError, 4333)  \
  X(kProcessingAllocationError, 4334)  \
  X(kInternalError, 4335)              \
  X(kUnexpectedError, 4336)            \
  X(kEventError, 4337)                 \
  X(kEventWaitError, 4338)             \
  X(kUartInstanceError, 4339)          \
  X(kUartStateError, 4340)             \
  X(kUartIoError, 4341)                \
  X(kUartLineError, 4342)              \
  X(kUartQueueError, 4343)             \
  X(kGrabContinuousSetupError, 4344)   \
  X(kGrabContinuousStateError, 4345)   \
  X(kInvalidGrabContinuousList, 4346)  \
  X(kGrabContinuousStopped, 4347)      \
  X(kNoGrabActivity, 4348)             \
  X(kDigProcessError, 4349)            \
  X(kSystemHookError, 4350)            \
  X(kVersionError, 4351)               \
  X(kInvalidIdentifier, 4352)          \
  X(kGrabEventError, 4353)             \
  X(kHookError, 4354)                  \
  X(kInvalidIo, 4355)                  \
  X(kDroppedEventError, 4356)          \
  X(kAspmRefusal, 4357)                \
  X(kCameraSetupError, 4358)           \
  X(kInvalidHookInfo, 4359)            \
  X(kInvalidTrigger, 4360)             \
  X(kInvalidGain, 4361)                \
  X(kAutomaticGainError, 4362)         \
  X(kInvalidOffset, 4363)              \
  X(kAutomaticOffsetError, 4364)       \
  X(kInvalidCameraInput, 4365)         \
  X(kVideoDecoderError, 4366)          \
  X(kTestImageError, 4367)             \
  X(kInvalidBlackWhiteReference, 4368) \
  X(kDataLatchError, 4369)             \
  X(kInvalidDataLatchValue, 4370)      \
  X(kNamedBufferError, 4371)           \
  X(kUngrabbableBuffer, 4372)          \
  X(kGrabStopped, 4373)                \
  X(kDriverNotStarted, 4400)           \
  X(kFpgaProgrammingError, 4401)       \
  X(kFirmwareUpdateError, 4402)        \
  X(kInvalidAuxIo, 4403)               \
  X(kInvalidUserBit, 4404)             \
  X(kInvalidGrabMode, 4405)            \
  X(kInvalidChannel, 4406)             \
  X(kInvalidSerialPort, 4407)          \
  X(kSerialPortAllocationError, 4408)  \
  X(kInvalidBufferSize, 4409)          \
  X(kTransferError, 4410)              \
  X(kOverlayError, 4411)               \
  X(kCompressionCodecError, 4412)      \
  X(kOnBoardProcessingError, 4413)     \
  X(kInvalidCompression, 4414)         \
  X(kInvalidCompressionSize, 4415)     \
  X(kBoardHealthError, 4416)           \
  X(kGenICamError, 4421)               \
  X(kFeatureAccessError, 4422)         \
  X(kCameraFeatureError, 4423)         \
  X(kNodeMapLoadError, 4424)           \
  X(kInvalidFeatureControl, 4425)      \
  X(kFeatureControlOutOfRange, 4426)   \
  X(kInvalidFeatureInquire, 4427)      \
  X(kFeatureAccessModeError, 4428)     \
  X(kGenICamSetupError, 4429)          \
  X(kInquireFlagError, 4430)           \
  X(kControlFlagError, 4431)           \
  X(kFeatureHookError, 4432)           \
  X(kGenICamAllocationError, 4433)     \
  X(kFeatureTypeError, 4434)           \
  X(kFeatureBagError, 4435)            \
  X(kFeatureBrowserError, 4436)

namespace zor::errorcode {

#define ZOR_ERROR_CODE_CONSTANT(name, code) inline constexpr int64_t name = code;
ZOR_ERROR_CODES(ZOR_ERROR_CODE_CONSTANT)
#undef ZOR_ERROR_CODE_CONSTANT

}  // namespace zor::errorcode
