// The transport-layer port of an own object's node map. A register address is
// the host library's control or inquire type of the object; bit 47 selects
// the object-type register and bit 46 the availability of the type in the
// other bits. Reads call the module's inquire function, writes its control
// function, on the calling thread; a host error becomes an AccessException
// with the host's text.
#pragma once

#include <cstdint>
#include <string>

#include "driver/frameworkuser/genicam/genicamzortransportlayer/tlproxies.h"
#include "platform/genapi/genapi.h"

namespace zor::genicam {

inline constexpr int64_t kObjectTypeRegister = int64_t{1} << 47;
inline constexpr int64_t kAvailabilityRegister = int64_t{1} << 46;
inline constexpr int64_t kStringLengthType = 0x50000000000;

class CZorTransportLayerBase : public GenApi::IPort {
 public:
  ~CZorTransportLayerBase() override = default;

  GenApi::EAccessMode GetAccessMode() const override { return GenApi::RW; }

  virtual int64_t GetOwnerSystem() const { return ownerSystem_; }
  virtual int64_t GetObjectType() const { return objectType_; }
  virtual int64_t GetObjectId() const = 0;
  virtual int64_t GetProxyObjectId() const = 0;
  // The name of the object's XML file, empty for kinds that have none.
  virtual std::wstring GetXmlFileName() const;
  // The host's current error code (0: none, text unchanged); fills text with
  // the composed error text and clears the error.
  virtual int64_t GetHostErrorText(std::wstring& text) const;
  virtual bool HasHostError() const;
  virtual void ClearHostError() const;

 protected:
  // Asks the host for the owner system and type of a non-zero object id.
  void LearnObject(int64_t objectId);
  // Raises an AccessException with the host's text when the host holds an error.
  void RaiseHostError(unsigned int line) const;

  int64_t ownerSystem_ = 0;
  int64_t objectType_ = 0;
};

template <class P>
class CZorTransportLayer : public CZorTransportLayerBase {
 public:
  explicit CZorTransportLayer(int64_t objectId);

  void Read(void* buffer, int64_t address, int64_t length) override;
  void Write(const void* buffer, int64_t address, int64_t length) override;
  int64_t GetObjectId() const override { return proxy_.StoredObjectId(); }
  int64_t GetProxyObjectId() const override { return proxy_.GetObjectId(); }

  const P& Proxy() const { return proxy_; }

 private:
  // Reads a register of the type's class; the value is 8 bytes (a double or
  // an integer).
  void ReadValue(int64_t type, unsigned char (&value)[8]) const;
  void ReadString(int64_t type, void* buffer, int64_t length) const;
  bool IsStringAvailable(int64_t type) const;

  P proxy_;
};

// The GenICam port types of the six modules.
extern template class CZorTransportLayer<QappTLProxy>;
extern template class CZorTransportLayer<QbufTLProxy>;
extern template class CZorTransportLayer<QdigTLProxy>;
extern template class CZorTransportLayer<QdispTLProxy>;
extern template class CZorTransportLayer<QseqTLProxy>;
extern template class CZorTransportLayer<QsysTLProxy>;

}  // namespace zor::genicam
