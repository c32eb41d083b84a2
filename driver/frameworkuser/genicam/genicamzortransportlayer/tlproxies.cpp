// The transport-layer proxies of each host module: which types are texts, doubles or inputs.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/tlproxies.h"

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/protocol/buffertypes.h"
#include "driver/frameworkuser/protocol/digitizertypes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "driver/frameworkuser/protocol/typeclasses.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr int64_t kBits40To43 = 0xF0000000000;
constexpr int64_t kBits32To33 = 0x300000000;
constexpr int64_t kBit48 = 0x1000000000000;
constexpr int64_t kBits27To28 = 0x18000000;
constexpr int64_t kBits16To23 = 0xFF0000;
constexpr int64_t kBit24 = 0x1000000;
constexpr int64_t kBits16To17 = 0x30000;
// The channel control's three variants; a selector of 0x40 to 0x5F in bits 16 to 22.
constexpr int64_t kChannelVariants = 3 * protocol::kChannelVariantStep;
constexpr int64_t kSelectorBits = 0x5F0000;
// The sequence module takes this index before the type in every call.
constexpr int64_t kSequenceIndex = 0x8000000;

int64_t Clear(int64_t type, int64_t mask) { return type & ~mask; }
using foundation::InAnyRange;
using foundation::InRange;
using foundation::OneOf;
using namespace protocol;

}  // namespace

int64_t BaseTLProxy::ModuleInquire(int64_t, void*) const { return -1; }

// Application.
bool QappTLProxy::IsStringType(int64_t type) const {
  const int64_t t = Clear(type, kBit48);
  return InAnyRange(t, kApplicationTextTypes) || InAnyRange(t, kHostTextTypes);
}
bool QappTLProxy::IsDoubleType(int64_t type) const {
  return InAnyRange(Clear(type, kBits40To43), kApplicationDoubleTypes);
}
bool QappTLProxy::IsDefaultInputType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43);
  return InAnyRange(t, kDefaultInputTypes) || t == kInitFlag;
}
bool QappTLProxy::IsIdType(int64_t type) const { return InAnyRange(type, kApplicationIdTypes); }
bool QappTLProxy::IsByteType(int64_t) const { return false; }
int64_t QappTLProxy::Inquire(int64_t type, void* out) const {
  return HostAppInquire(objectId_, type, out);
}
void QappTLProxy::Control(int64_t type, int64_t value) const {
  HostAppControl(objectId_, type, value);
}

// Buffer.
bool QbufTLProxy::IsStringType(int64_t) const { return false; }
bool QbufTLProxy::IsDoubleType(int64_t type) const {
  return InAnyRange(Clear(type, kBits40To43), kBufferDoubleTypes);
}
bool QbufTLProxy::IsDefaultInputType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43);
  return InAnyRange(t, kDefaultInputTypes) || InAnyRange(t, kBufferInputTypes);
}
bool QbufTLProxy::IsIdType(int64_t type) const { return InAnyRange(type, kObjectIdTypes); }
bool QbufTLProxy::IsByteType(int64_t type) const {
  return InAnyRange(Clear(type, kFirstBand | kSecondBand | kThirdBand), kBufferAddressTypes) ||
         InAnyRange(type, kBufferByteTypes);
}
int64_t QbufTLProxy::ModuleInquire(int64_t type, void* out) const {
  return HostBufInquire(objectId_, type, out);
}
int64_t QbufTLProxy::Inquire(int64_t type, void* out) const {
  return HostBufInquire(objectId_, type, out);
}
void QbufTLProxy::Control(int64_t type, int64_t value) const {
  HostBufControl(objectId_, type, value);
}
void QbufTLProxy::ControlDouble(int64_t type, double value) const {
  HostBufControlDouble(objectId_, type, value);
}

// Digitizer.
bool QdigTLProxy::IsStringType(int64_t type) const {
  return InAnyRange(Clear(type, kBits32To33 | kBit48), kDigitizerMapTextTypes);
}
bool QdigTLProxy::IsDoubleType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43 | kBits32To33);
  const int64_t pair = Clear(type, kBits40To43 | kBits32To33 | kChannelBits | kBits16To17);
  return InAnyRange(t, kDigitizerDoubleClasses) || t == kDigitizerDoubleType ||
         InRange(pair, kReferencePairFirst, kReferencePairSecond) ||
         Clear(type, kBits40To43 | kBits32To33 | kFlaggedDigitizerDoubleBits) ==
             kFlaggedDigitizerDouble;
}
bool QdigTLProxy::IsDefaultInputType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43 | kBits32To33);
  return InAnyRange(t, kDefaultInputTypes) ||
         OneOf(t, {0x10080000, 0x10081000, 0x10081100, 0x10081500, 0xB0080000, 0xB0080100,
                   0xB0080300}) ||
         Clear(type, kBits40To43 | kBits32To33 | kChannelVariants) == Q_CHANNEL ||
         Clear(type, kBits40To43 | kBits32To33 | kSelectorBits) == kSelectedDigitizerType;
}
bool QdigTLProxy::IsIdType(int64_t type) const {
  const int64_t t = Clear(type, kBits32To33);
  return InAnyRange(t, kObjectIdTypes) || InAnyRange(t, kDigitizerIdTypes);
}
bool QdigTLProxy::IsByteType(int64_t) const { return false; }
int64_t QdigTLProxy::Inquire(int64_t type, void* out) const {
  return HostDigInquire(objectId_, type, out);
}
void QdigTLProxy::Control(int64_t type, int64_t value) const {
  HostDigControl(objectId_, type, value);
}
void QdigTLProxy::ControlDouble(int64_t type, double value) const {
  HostDigControlDouble(objectId_, type, value);
}

// Display.
bool QdispTLProxy::IsStringType(int64_t type) const {
  return InAnyRange(Clear(type, kBits27To28 | kBit48), kMapTextTypes) ||
         OneOf(Clear(type, kBit48), {4553, 4565, 8510, 9252});
}
bool QdispTLProxy::IsDoubleType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43 | kBits27To28);
  return InAnyRange(t, kDisplayDoubleTypes);
}
bool QdispTLProxy::IsDefaultInputType(int64_t type) const {
  return InAnyRange(Clear(type, kBits40To43 | kBits27To28), kDefaultInputTypes);
}
bool QdispTLProxy::IsIdType(int64_t type) const {
  return InAnyRange(Clear(type, kBits27To28), kObjectIdTypes) ||
         InAnyRange(type & 0x3E7FFFFFF, kDisplayIdTypes) ||
         OneOf(type, {15302, 15323, 3210, Q_HOST_OBJECT_ID, 1045});
}
bool QdispTLProxy::IsByteType(int64_t) const { return false; }
int64_t QdispTLProxy::Inquire(int64_t type, void* out) const {
  return HostDispInquire(objectId_, type, out);
}
void QdispTLProxy::Control(int64_t type, int64_t value) const {
  HostDispControl(objectId_, type, value);
}
void QdispTLProxy::ControlDouble(int64_t type, double value) const {
  HostDispControlDouble(objectId_, type, value);
}

// Sequence.
bool QseqTLProxy::IsStringType(int64_t type) const {
  return Clear(type, kBit48) == kSequenceTextType;
}
bool QseqTLProxy::IsDoubleType(int64_t type) const {
  return OneOf(Clear(type, kBits40To43 | kBit24), {Q_PROCESS_FRAME_RATE, kSequenceDoubleType});
}
bool QseqTLProxy::IsDefaultInputType(int64_t type) const {
  return InAnyRange(Clear(type, kBits40To43), kDefaultInputTypes);
}
bool QseqTLProxy::IsIdType(int64_t) const { return false; }
bool QseqTLProxy::IsByteType(int64_t) const { return false; }
int64_t QseqTLProxy::Inquire(int64_t type, void* out) const {
  return HostSeqInquire(objectId_, kSequenceIndex, type, out);
}
void QseqTLProxy::Control(int64_t type, int64_t value) const {
  HostSeqControl(objectId_, kSequenceIndex, type, value);
}
void QseqTLProxy::ControlDouble(int64_t type, double value) const {
  HostSeqControlDouble(objectId_, kSequenceIndex, type, value);
}

// System.
bool QsysTLProxy::IsStringType(int64_t type) const {
  const int64_t t = Clear(type, kBit48);
  return InAnyRange(Clear(type, kBits16To23 | kBit48), kMapTextTypes) ||
         InAnyRange(t, kSystemTextTypes) || InAnyRange(t, kHostTextTypes);
}
bool QsysTLProxy::IsDoubleType(int64_t type) const { return IsDoubleSystemType(type); }
bool QsysTLProxy::IsDefaultInputType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43);
  return InAnyRange(t, kDefaultInputTypes) ||
         OneOf(t, {0x10080000, 0x10081000, 0x10081500, 0xB0080000});
}
bool QsysTLProxy::IsIdType(int64_t type) const { return InAnyRange(type, kObjectIdTypes); }
bool QsysTLProxy::IsByteType(int64_t) const { return false; }
int64_t QsysTLProxy::Inquire(int64_t type, void* out) const {
  return HostSysInquire(objectId_, type, out);
}
void QsysTLProxy::Control(int64_t type, int64_t value) const {
  HostSysControl(objectId_, type, value);
}
void QsysTLProxy::ControlDouble(int64_t type, double value) const {
  HostSysControlDouble(objectId_, type, value);
}

}  // namespace zor::genicam
