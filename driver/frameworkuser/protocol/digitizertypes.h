// Digitizer control and inquire types. Those that platform/host/qtypes.h names (Q_GRAB_TIMEOUT,
// Q_SIZE_X, Q_NUMBER, ...) are used from there. The Q_ names here are the public ones that the
// application reaches through the digitizer's own node map (QdigControl_dravion-lyn.xml, whose
// registers sit at these types); the k names are the driver's, for types that no map carries.
#pragma once

#include <cstdint>

namespace zor::protocol {

// Image geometry and pixels.
inline constexpr int64_t Q_SIZE_BAND_LUT = 1006;
inline constexpr int64_t Q_SIGN = 1014;
inline constexpr int64_t Q_SOURCE_NUMBER_OF_FRAMES = 1080;
inline constexpr int64_t Q_SOURCE_SIZE_X = 4022;
inline constexpr int64_t Q_SOURCE_SIZE_Y = 4023;
inline constexpr int64_t Q_SOURCE_OFFSET_X = 4024;
inline constexpr int64_t Q_SOURCE_OFFSET_Y = 4025;
inline constexpr int64_t Q_GRAB_DIRECTION_X = 4230;  // 1 forward, 4 reversed
inline constexpr int64_t Q_GRAB_DIRECTION_Y = 4231;
// Bit 41 on a size type: the largest size the digitizer takes.
inline constexpr int64_t kMaximumForm = 0x20000000000;
// Decimation as a double 1/n: X and Y together or each alone, and its inverse.
inline constexpr int64_t kDecimation = 6600;
inline constexpr int64_t Q_DECIMATION_X = 6601;
inline constexpr int64_t Q_DECIMATION_Y = 6602;
inline constexpr int64_t Q_DECIMATION_FACTOR_X = 6604;
inline constexpr int64_t Q_DECIMATION_FACTOR_Y = 6605;
// Whether the double that the caller's variable holds is a decimation the board supports.
inline constexpr int64_t kDecimationSupportedX = 6648;
inline constexpr int64_t kDecimationSupportedY = 6649;
// Bands taken one after the other (0 or 1), and the same as Q_ENABLE or Q_DISABLE.
inline constexpr int64_t Q_BAND_SWITCH = 1018;
inline constexpr int64_t Q_BAND_SWITCH_STATE = 4325;

// Flags a caller adds to a type: the camera's setting, which the board refuses, or the board's.
inline constexpr int64_t kCameraBit = 0x100000000;
inline constexpr int64_t kBoardBit = 0x200000000;

// Input and channel (the initialisation flags are every object's, in systemtypes.h).
// The channels that ride on a channel or reference type.
inline constexpr int64_t kChannelBits = 0x6FC00000;
inline constexpr int64_t Q_CHANNEL = 4000;
// The channel control's variants add steps of 0x1000 to it.
inline constexpr int64_t kChannelVariantStep = 0x1000;
inline constexpr int64_t Q_CHANNEL_SYNC = 12192;
inline constexpr int64_t Q_CHANNEL_NUM = 4001;
inline constexpr int64_t Q_SCAN_MODE = 4021;
// A level of 0 to 255 that the board applies; channel bits may ride on the type.
inline constexpr int64_t kChannelLevel = 4019;
// Reference levels: the pair that channel bits may ride on, and the four references of the
// reference request, kColourReference to Q_CONTRAST_REF. The colour reference is, like
// saturation, one that only a colour DCF takes; no node map carries it, so it has no public name.
inline constexpr int64_t kReferencePairFirst = 6650;
inline constexpr int64_t kReferencePairSecond = 6651;
inline constexpr int64_t kColourReference = 6655;
inline constexpr int64_t Q_SATURATION_REF = 6656;
inline constexpr int64_t Q_BRIGHTNESS_REF = 6657;
inline constexpr int64_t Q_CONTRAST_REF = 6658;

// Grab.
inline constexpr int64_t Q_GRAB_MODE = 4016;
inline constexpr int64_t kGrabModeWord = 4017;  // a word of the properties, set by the board
inline constexpr int64_t Q_GRAB_FIELD_NUM = 4018;
inline constexpr int64_t Q_GRAB_PERIOD = 4142;
inline constexpr int64_t Q_GRAB_START_MODE = 4074;    // 20 to 22
inline constexpr int64_t Q_CONTROL_FLAG_MODE = 4775;  // 10 sends every control to the board
inline constexpr int64_t Q_GRAB_TRIGGER_SOURCE = 4053;
inline constexpr int64_t Q_GRAB_TRIGGER_STATE = 4200;
// Fires the trigger once: the trigger-state control with the value 1.
inline constexpr int64_t Q_GRAB_TRIGGER_SOFTWARE = 4209;
inline constexpr int64_t Q_GRAB_WAIT_FRAME_END = 2034;
inline constexpr int64_t Q_GRAB_CONTINUOUS_END_TRIGGER = 2038;
inline constexpr int64_t Q_LAST_GRAB_IN_TRUE_BUFFER = 2046;
inline constexpr int64_t Q_GRAB_HALT_ON_NEXT_FIELD = 2071;
inline constexpr int64_t Q_GRAB_FIELD_CHECK = 4330;
inline constexpr int64_t Q_GRAB_LINE_CHECK = 4331;
inline constexpr int64_t Q_GRAB_ERROR_REPORTING = 6924;
inline constexpr int64_t Q_SELECTED_FRAME_RATE = 6606;  // double
// The grab-control library's own state; 0 when it is not loaded.
inline constexpr int64_t kGrabControlState = 4385;
// Frames the board counted since the grab status was cleared.
inline constexpr int64_t kGrabFramesCounted = 6925;
inline constexpr int64_t kDeviceIdentity = 7714;  // wide text
inline constexpr int64_t kBoardStatus = 6801;

// Grab processing.
inline constexpr int64_t Q_PROCESS_EVENTS = 4372;
inline constexpr int64_t Q_PROCESS_FRAME_MISSED = 5334;
inline constexpr int64_t Q_PROCESS_FRAME_COUNT = 5335;
inline constexpr int64_t Q_DIG_PROCESS_IN_PROGRESS = 5337;
inline constexpr int64_t Q_PROCESS_GRAB_MONITOR = 5351;
inline constexpr int64_t Q_PROCESS_TIMEOUT = 5364;
inline constexpr int64_t Q_PROCESS_FRAME_RATE = 6607;  // double, measured
inline constexpr int64_t Q_PROCESS_PENDING_GRAB_NUM = 6926;
inline constexpr int64_t Q_PROCESS_TOTAL_BUFFER_NUM = 6927;

// The format text (a buffer's 7701 is its format word, Q_FORMAT_WORD).
inline constexpr int64_t Q_FORMAT = 7701;

}  // namespace zor::protocol
