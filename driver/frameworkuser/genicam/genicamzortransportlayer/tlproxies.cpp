// The transport-layer proxies of each host module: which types are texts, doubles or inputs.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/tlproxies.h"

#include "driver/foundation/integerchecks.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr int64_t kBits40To43 = 0xF0000000000;
constexpr int64_t kBits32To33 = 0x300000000;
constexpr int64_t kBit48 = 0x1000000000000;
constexpr int64_t kBits27To28 = 0x18000000;
constexpr int64_t kBits16To23 = 0xFF0000;
constexpr int64_t kBit24 = 0x1000000;
// The sequence module takes this index before the type in every call.
constexpr int64_t kSequenceIndex = 0x8000000;

int64_t Clear(int64_t type, int64_t mask) { return type & ~mask; }
using foundation::InRange;
using foundation::OneOf;

}  // namespace

int64_t BaseTLProxy::ModuleInquire(int64_t, void*) const { return -1; }

// Application.
bool QappTLProxy::IsStringType(int64_t type) const {
  const int64_t t = Clear(type, kBit48);
  return InRange(t, 15890, 15949) || InRange(t, 15977, 16296) || InRange(t, 16800, 16999) ||
         InRange(t, 22000, 22399) || InRange(t, 23000, 23959) || t == 0x1000000000;
}
bool QappTLProxy::IsDoubleType(int64_t type) const { return Clear(type, kBits40To43) == 15001; }
bool QappTLProxy::IsDefaultInputType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43);
  return InRange(t, 6700, 6799) || t == 1012;
}
bool QappTLProxy::IsIdType(int64_t type) const { return type == 15021; }
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
  return InRange(Clear(type, kBits40To43), 0x2000000, 0x4000000);
}
bool QbufTLProxy::IsDefaultInputType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43);
  return InRange(t, 6700, 6799) || t == 8453 || t == 32768;
}
bool QbufTLProxy::IsIdType(int64_t type) const {
  return InRange(type, 1100, 1199) || type == Q_HOST_OBJECT_ID;
}
bool QbufTLProxy::IsByteType(int64_t type) const {
  return OneOf(Clear(type, 0x38), {0x10000, 0x80000, 0x400000, 0x40000000}) || type == 9002 ||
         type == 9031;
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
  return InRange(Clear(type, kBits32To33 | kBit48), 7700, 7999);
}
bool QdigTLProxy::IsDoubleType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43 | kBits32To33);
  return InRange(t, 6000, 6699) || InRange(t, 133072, 134072) || InRange(t, 237568, 260096) ||
         t == 0x400000 || InRange(Clear(type, 0xF036FC30000), 6650, 6651) ||
         Clear(type, 0xF0300090000) == 6672;
}
bool QdigTLProxy::IsDefaultInputType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43 | kBits32To33);
  return InRange(t, 6700, 6799) ||
         OneOf(t, {0x10080000, 0x10081000, 0x10081100, 0x10081500, 0xB0080000, 0xB0080100,
                   0xB0080300}) ||
         Clear(type, 0xF0300003000) == 4000 || Clear(type, 0xF03005F0000) == 6766;
}
bool QdigTLProxy::IsIdType(int64_t type) const {
  const int64_t t = Clear(type, kBits32To33);
  return InRange(t, 1100, 1199) || t == Q_HOST_OBJECT_ID || t == 5328;
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
  return InRange(Clear(type, kBits27To28 | kBit48), 7700, 7799) ||
         OneOf(Clear(type, kBit48), {4553, 4565, 8510, 9252});
}
bool QdispTLProxy::IsDoubleType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43 | kBits27To28);
  return InRange(t, 6600, 6699) || InRange(t, 4534, 4541);
}
bool QdispTLProxy::IsDefaultInputType(int64_t type) const {
  return InRange(Clear(type, kBits40To43 | kBits27To28), 6700, 6799);
}
bool QdispTLProxy::IsIdType(int64_t type) const {
  return InRange(Clear(type, kBits27To28), 1100, 1199) || InRange(type & 0x3E7FFFFFF, 8600, 8663) ||
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
bool QseqTLProxy::IsStringType(int64_t type) const { return Clear(type, kBit48) == 3904; }
bool QseqTLProxy::IsDoubleType(int64_t type) const {
  return OneOf(Clear(type, kBits40To43 | kBit24), {6607, 3712}) || Clear(type, kBits40To43) == 3712;
}
bool QseqTLProxy::IsDefaultInputType(int64_t type) const {
  return InRange(Clear(type, kBits40To43), 6700, 6799);
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
  return InRange(Clear(type, kBits16To23 | kBit48), 7700, 7799) || InRange(t, 10312, 10371) ||
         InRange(t, 16800, 16999) || InRange(t, 22000, 22399) || t == 0x1000000000;
}
bool QsysTLProxy::IsDoubleType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43);
  return InRange(t, 7300, 7399) || InRange(t, 133072, 134072) || t == 5136;
}
bool QsysTLProxy::IsDefaultInputType(int64_t type) const {
  const int64_t t = Clear(type, kBits40To43);
  return InRange(t, 6700, 6799) || OneOf(t, {0x10080000, 0x10081000, 0x10081500, 0xB0080000});
}
bool QsysTLProxy::IsIdType(int64_t type) const {
  return InRange(type, 1100, 1199) || type == Q_HOST_OBJECT_ID;
}
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
