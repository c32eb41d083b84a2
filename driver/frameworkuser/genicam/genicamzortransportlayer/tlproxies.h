// The proxies of the transport-layer port: one per host module. A proxy knows
// the object it stands for, which host functions inquire and control it, and
// which of the module's control types carry texts, doubles, ids or bytes.
#pragma once

#include <cstdint>

namespace zor::genicam {

class BaseTLProxy {
 public:
  explicit BaseTLProxy(int64_t objectId) : objectId_(objectId) {}
  virtual ~BaseTLProxy() = default;

  virtual bool IsStringType(int64_t type) const = 0;
  virtual bool IsDoubleType(int64_t type) const = 0;
  virtual bool IsDefaultInputType(int64_t type) const = 0;
  virtual bool IsIdType(int64_t type) const = 0;
  virtual bool IsByteType(int64_t type) const = 0;
  // The module's own inquire; -1 (not supported) except for buffers.
  virtual int64_t ModuleInquire(int64_t type, void* out) const;
  // The object id, -1 for 0.
  virtual int64_t GetObjectId() const { return objectId_ == 0 ? -1 : objectId_; }

  int64_t StoredObjectId() const { return objectId_; }

 protected:
  int64_t objectId_;
};

// Each proxy also names its host functions, used by the port's template:
// Inquire(type, out), Control(type, value), ControlDouble(type, value) and
// kHasDoubleControl.

class QappTLProxy : public BaseTLProxy {
 public:
  using BaseTLProxy::BaseTLProxy;
  static constexpr bool kHasDoubleControl = false;
  bool IsStringType(int64_t type) const override;
  bool IsDoubleType(int64_t type) const override;
  bool IsDefaultInputType(int64_t type) const override;
  bool IsIdType(int64_t type) const override;
  bool IsByteType(int64_t type) const override;
  int64_t Inquire(int64_t type, void* out) const;
  void Control(int64_t type, int64_t value) const;
  void ControlDouble(int64_t, double) const {}
};

class QbufTLProxy : public BaseTLProxy {
 public:
  using BaseTLProxy::BaseTLProxy;
  static constexpr bool kHasDoubleControl = true;
  bool IsStringType(int64_t type) const override;
  bool IsDoubleType(int64_t type) const override;
  bool IsDefaultInputType(int64_t type) const override;
  bool IsIdType(int64_t type) const override;
  bool IsByteType(int64_t type) const override;
  int64_t ModuleInquire(int64_t type, void* out) const override;
  int64_t Inquire(int64_t type, void* out) const;
  void Control(int64_t type, int64_t value) const;
  void ControlDouble(int64_t type, double value) const;
};

class QdigTLProxy : public BaseTLProxy {
 public:
  using BaseTLProxy::BaseTLProxy;
  static constexpr bool kHasDoubleControl = true;
  bool IsStringType(int64_t type) const override;
  bool IsDoubleType(int64_t type) const override;
  bool IsDefaultInputType(int64_t type) const override;
  bool IsIdType(int64_t type) const override;
  bool IsByteType(int64_t type) const override;
  int64_t Inquire(int64_t type, void* out) const;
  void Control(int64_t type, int64_t value) const;
  void ControlDouble(int64_t type, double value) const;
};

class QdispTLProxy : public BaseTLProxy {
 public:
  using BaseTLProxy::BaseTLProxy;
  static constexpr bool kHasDoubleControl = true;
  bool IsStringType(int64_t type) const override;
  bool IsDoubleType(int64_t type) const override;
  bool IsDefaultInputType(int64_t type) const override;
  bool IsIdType(int64_t type) const override;
  bool IsByteType(int64_t type) const override;
  int64_t Inquire(int64_t type, void* out) const;
  void Control(int64_t type, int64_t value) const;
  void ControlDouble(int64_t type, double value) const;
};

class QseqTLProxy : public BaseTLProxy {
 public:
  using BaseTLProxy::BaseTLProxy;
  static constexpr bool kHasDoubleControl = true;
  bool IsStringType(int64_t type) const override;
  bool IsDoubleType(int64_t type) const override;
  bool IsDefaultInputType(int64_t type) const override;
  bool IsIdType(int64_t type) const override;
  bool IsByteType(int64_t type) const override;
  int64_t Inquire(int64_t type, void* out) const;
  void Control(int64_t type, int64_t value) const;
  void ControlDouble(int64_t type, double value) const;
};

class QsysTLProxy : public BaseTLProxy {
 public:
  using BaseTLProxy::BaseTLProxy;
  static constexpr bool kHasDoubleControl = true;
  bool IsStringType(int64_t type) const override;
  bool IsDoubleType(int64_t type) const override;
  bool IsDefaultInputType(int64_t type) const override;
  bool IsIdType(int64_t type) const override;
  bool IsByteType(int64_t type) const override;
  int64_t Inquire(int64_t type, void* out) const;
  void Control(int64_t type, int64_t value) const;
  void ControlDouble(int64_t type, double value) const;
};

}  // namespace zor::genicam
