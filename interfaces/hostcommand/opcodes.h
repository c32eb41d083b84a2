// Opcodes of the command records: group in bits 9 to 15, function in bits 0 to 8.
#pragma once

#include <cstdint>

namespace zor::hostcommand {

inline constexpr uint16_t kGroupMask = 0xFE00;

// System module.
inline constexpr uint16_t kSysAlloc = 0x0001;
inline constexpr uint16_t kSysFree = 0x0002;
inline constexpr uint16_t kSysInquire = 0x0003;
inline constexpr uint16_t kSysControl = 0x0004;
inline constexpr uint16_t kSysIoCommand = 0x0005;
inline constexpr uint16_t kSysHookFunction = 0x0007;
inline constexpr uint16_t kSysGetHookInfo = 0x0008;

// Buffer module.
inline constexpr uint16_t kBufChild = 0x0202;
inline constexpr uint16_t kBufFree = 0x0203;
inline constexpr uint16_t kBufGetRegion = 0x0204;
inline constexpr uint16_t kBufPutRegion = 0x0205;
inline constexpr uint16_t kBufCopy = 0x0206;
inline constexpr uint16_t kBufCopyCondition = 0x0207;  // a copy with a condition word
inline constexpr uint16_t kBufCopyRegion = 0x0215;
inline constexpr uint16_t kBufCopyClip = 0x0222;
inline constexpr uint16_t kBufTransfer = 0x0233;
inline constexpr uint16_t kBufGetBandRegion = 0x0208;
inline constexpr uint16_t kBufPutBandRegion = 0x0209;
inline constexpr uint16_t kBufInquire = 0x020A;
inline constexpr uint16_t kBufChildBand = 0x020B;
inline constexpr uint16_t kBufPassToHost = 0x020F;
inline constexpr uint16_t kBufControl = 0x0210;
inline constexpr uint16_t kBufAlloc = 0x0213;
inline constexpr uint16_t kBufGetBand = 0x0229;
inline constexpr uint16_t kBufPutBand = 0x0230;
inline constexpr uint16_t kBufPassToKernelAndHost = 0x0237;

// Digitizer module.
inline constexpr uint16_t kDigAlloc = 0x0601;
inline constexpr uint16_t kDigFree = 0x0602;
inline constexpr uint16_t kDigGrab = 0x0603;
inline constexpr uint16_t kDigChannel = 0x0604;
inline constexpr uint16_t kDigHalt = 0x0605;
inline constexpr uint16_t kDigInquire = 0x0607;
inline constexpr uint16_t kDigReference = 0x0608;
inline constexpr uint16_t kDigControl = 0x0609;
inline constexpr uint16_t kDigGrabWait = 0x060A;
inline constexpr uint16_t kDigHookFunction = 0x060C;
inline constexpr uint16_t kDigGrabContinuous = 0x060E;
inline constexpr uint16_t kDigGrabAbort = 0x060F;
inline constexpr uint16_t kDigProcess = 0x0610;
inline constexpr uint16_t kDigGetHookInfo = 0x0611;
inline constexpr uint16_t kDigControlFeature = 0x0612;
inline constexpr uint16_t kDigInquireFeature = 0x0613;

// Driver level.
inline constexpr uint16_t kDrvErrorNotify = 0x1802;
// What kDrvErrorNotify asks of the calling thread's error: its first argument, the kind.
inline constexpr int64_t kErrorQueryCodes = 1;  // code and sub-codes 1 to 3, 64 bits each
inline constexpr int64_t kErrorQueryTexts = 2;  // message and sub-code texts, 320 characters each
inline constexpr int64_t kErrorQueryDriverName = 3;
// Words a driver may keep beside the error; this driver keeps none and answers 0.
inline constexpr int64_t kErrorQueryOneWord = 5;
inline constexpr int64_t kErrorQueryTwoWords = 6;
inline constexpr uint16_t kDrvInquire = 0x1803;
inline constexpr uint16_t kDrvThreadEnd = 0x1804;
inline constexpr uint16_t kDrvControl = 0x1805;
inline constexpr uint16_t kDrvProcessAttach = 0x1806;

// Thread and event module.
inline constexpr uint16_t kThrAlloc = 0x2E01;
inline constexpr uint16_t kThrControl = 0x2E02;
inline constexpr uint16_t kThrFree = 0x2E03;
inline constexpr uint16_t kThrInquire = 0x2E04;
inline constexpr uint16_t kThrWait = 0x2E05;
inline constexpr uint16_t kThrWaitMultiple = 0x2E06;

}  // namespace zor::hostcommand
