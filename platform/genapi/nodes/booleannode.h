#pragma once

#include "platform/genapi/nodes/valuenode.h"
#include "platform/genapi/nodes/valueslot.h"

namespace GenApi {

// <Boolean>: true when the value equals OnValue, false when it equals OffValue.
class BooleanNode : public ValueNode, public virtual IBoolean {
 public:
  using ValueNode::ValueNode;
  void Link() override;

  void SetValue(bool Value, bool Verify = true) override;
  bool GetValue(bool Verify = false, bool IgnoreCache = false) const override;
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  bool IsValueCacheValid() const override { return slot_.CacheValid(); }
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIBoolean; }

  Number ReadNumber(bool verify, bool ignoreCache) override;
  void WriteNumber(const Number& value, bool verify) override;

 protected:
  EAccessMode OwnAccessMode() const override { return slot_.AccessMode(); }

 private:
  mutable ValueSlot slot_;
  int64_t onValue_ = 1;
  int64_t offValue_ = 0;
  mutable bool valueBusy_ = false;
};

}  // namespace GenApi
