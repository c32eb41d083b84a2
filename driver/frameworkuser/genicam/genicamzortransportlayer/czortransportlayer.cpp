// CZorTransportLayer: register reads and writes that become host inquires and controls.
#include "driver/frameworkuser/genicam/genicamzortransportlayer/czortransportlayer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/quietbracket.h"
#include "platform/host/hostservices.h"

namespace zor::genicam {
namespace {

constexpr const char* kTransportLayerSource = "genicamzortransportlayer";
constexpr unsigned int kReadErrorLine = 424;
constexpr unsigned int kWriteErrorLine = 467;

// At most `length` bytes of an 8-byte value reach the caller's buffer.
void StoreValue(void* buffer, int64_t length, const void* value) {
  std::memcpy(buffer, value, static_cast<size_t>(std::min<int64_t>(length, 8)));
}

void StoreInteger(void* buffer, int64_t length, int64_t value) {
  StoreValue(buffer, length, &value);
}

// The first `length` bytes of the caller's value, the rest zero.
template <class T>
T LoadValue(const void* buffer, int64_t length) {
  T value{};
  if (buffer != nullptr && length > 0) {
    std::memcpy(&value, buffer, static_cast<size_t>(std::min<int64_t>(length, sizeof(T))));
  }
  return value;
}

// Copies a UTF-8 text with its terminator into `length` bytes, cutting it at
// a character boundary when it does not fit.
void StoreText(void* buffer, int64_t length, const std::string& text) {
  size_t count = std::min(text.size(), static_cast<size_t>(length - 1));
  while (count > 0 && count < text.size() &&
         (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80) {
    --count;
  }
  char* out = static_cast<char*>(buffer);
  std::memcpy(out, text.data(), count);
  out[count] = '\0';
}

frame::QDDriverThreadContext* CallingDriverContext() {
  frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
  return driver != nullptr ? driver->CallingThreadContext() : nullptr;
}

}  // namespace

void CZorTransportLayerBase::LearnObject(int64_t objectId) {
  if (objectId == 0) return;
  HostInternalInquire(objectId, Q_OWNER_SYSTEM, &ownerSystem_);
  HostObjInquire(objectId, Q_OBJECT_TYPE, &objectType_);
}

void CZorTransportLayerBase::RaiseHostError(unsigned int line) const {
  std::wstring text;
  if (GetHostErrorText(text) == 0) return;
  throw GenICam::AccessException(foundation::WStringToUtf8(text).c_str(), kTransportLayerSource,
                                 line);
}

template <class P>
CZorTransportLayer<P>::CZorTransportLayer(int64_t objectId) : proxy_(objectId) {
  LearnObject(objectId);
}

template <class P>
void CZorTransportLayer<P>::ReadValue(int64_t type, unsigned char (&value)[8]) const {
  if (proxy_.IsDoubleType(type)) {
    double answer = 0.0;
    proxy_.Inquire(type, &answer);
    std::memcpy(value, &answer, 8);
    return;
  }
  int64_t answer = Q_DEFAULT;
  if (proxy_.IsDefaultInputType(type)) {
    proxy_.Inquire(type, &answer);
  } else if (proxy_.IsIdType(type)) {
    answer = 0;
    proxy_.Inquire(type, &answer);
  } else if (proxy_.IsByteType(type)) {
    answer = 0;
    proxy_.ModuleInquire(type, &answer);
  } else {
    proxy_.Inquire(type, &answer);
  }
  std::memcpy(value, &answer, 8);
}

template <class P>
void CZorTransportLayer<P>::ReadString(int64_t type, void* buffer, int64_t length) const {
  int64_t count = 0;
  proxy_.Inquire(type + kStringLengthType, &count);
  // Room for at least the terminator, whatever length the host gave.
  std::vector<wchar_t> text(static_cast<size_t>(std::max<int64_t>(count, 1)), L'\0');
  if (count > 0) proxy_.Inquire(type, text.data());
  text.back() = L'\0';
  StoreText(buffer, length, foundation::WStringToUtf8(std::wstring(text.data())));
}

template <class P>
bool CZorTransportLayer<P>::IsStringAvailable(int64_t type) const {
  int64_t count = 0;
  proxy_.Inquire(type + kStringLengthType, &count);
  return !HasHostError() && count != 0;
}

template <class P>
void CZorTransportLayer<P>::Read(void* buffer, int64_t address, int64_t length) {
  QuietHostBracket bracket;
  if (length <= 0 || buffer == nullptr) return;
  if ((address & kObjectTypeRegister) != 0) {
    int64_t type = 0;
    HostObjInquire(proxy_.StoredObjectId(), Q_OBJECT_TYPE, &type);
    StoreInteger(buffer, length, type);
    return;
  }
  if ((address & kAvailabilityRegister) != 0) {
    const int64_t type = address - kAvailabilityRegister;
    // A probe of a type the object does not serve fails in the driver too; that
    // error is the probe's answer and must not fail the command around it.
    frame::QDDriverThreadContext* ctx = CallingDriverContext();
    const bool heldBefore = ctx != nullptr && ctx->ErrorCode() != 0;
    bool available = false;
    if (proxy_.IsStringType(type)) {
      available = IsStringAvailable(type);
    } else {
      unsigned char ignored[8];
      ReadValue(type, ignored);
      available = !HasHostError();
    }
    StoreInteger(buffer, length, available ? 1 : 0);
    if (HasHostError()) ClearHostError();
    if (ctx != nullptr && !heldBefore && ctx->ErrorCode() != 0) ctx->SetError(0, 0, 0, 0);
    return;
  }
  if (proxy_.IsStringType(address)) {
    ReadString(address, buffer, length);
  } else {
    unsigned char value[8];
    ReadValue(address, value);
    StoreValue(buffer, length, value);
  }
  RaiseHostError(kReadErrorLine);
}

template <class P>
void CZorTransportLayer<P>::Write(const void* buffer, int64_t address, int64_t length) {
  QuietHostBracket bracket;
  if (proxy_.IsStringType(address)) {
    std::string text;
    if (buffer != nullptr && length > 0) {
      const char* chars = static_cast<const char*>(buffer);
      text.assign(chars, strnlen(chars, static_cast<size_t>(length)));
    }
    const std::wstring wide = foundation::Utf8ToWString(text);
    proxy_.Control(address, reinterpret_cast<int64_t>(wide.c_str()));
  } else if (proxy_.IsDoubleType(address)) {
    if constexpr (P::kHasDoubleControl) {
      proxy_.ControlDouble(address, LoadValue<double>(buffer, length));
    }
  } else if (proxy_.IsByteType(address)) {
    proxy_.Control(address, LoadValue<int8_t>(buffer, length));
  } else {
    proxy_.Control(address, LoadValue<int64_t>(buffer, length));
  }
  RaiseHostError(kWriteErrorLine);
}

template class CZorTransportLayer<QappTLProxy>;
template class CZorTransportLayer<QbufTLProxy>;
template class CZorTransportLayer<QdigTLProxy>;
template class CZorTransportLayer<QdispTLProxy>;
template class CZorTransportLayer<QseqTLProxy>;
template class CZorTransportLayer<QsysTLProxy>;

}  // namespace zor::genicam
