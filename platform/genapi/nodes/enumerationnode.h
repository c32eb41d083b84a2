#pragma once

#include <vector>

#include "platform/genapi/nodes/valuenode.h"
#include "platform/genapi/nodes/valueslot.h"

namespace GenApi {

// <EnumEntry>: one named value of an enumeration. Its node name carries the
// enumeration's name so that entries of different enumerations never clash.
class EnumEntryNode : public ValueNode, public virtual IEnumEntry {
 public:
  EnumEntryNode(NodeMap& map, SharedNodeXml xml, std::string symbolic);
  void Link() override;

  int64_t GetValue() override { return value_; }
  gcstring GetSymbolic() const override { return symbolic_; }
  double GetNumericValue() override { return numericValue_; }
  bool IsSelfClearing() override { return selfClearing_; }
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIEnumEntry; }

 protected:
  EAccessMode OwnAccessMode() const override { return RO; }

 private:
  std::string symbolic_;
  int64_t value_ = 0;
  double numericValue_ = 0.0;
  bool selfClearing_ = false;
};

// <Enumeration>: an integer value restricted to the values of its entries.
class EnumerationNode : public ValueNode, public virtual IEnumeration {
 public:
  EnumerationNode(NodeMap& map, SharedNodeXml xml, std::vector<EnumEntryNode*> entries);
  void Link() override;

  void GetSymbolics(StringList_t& Symbolics) override;
  void GetEntries(NodeList_t& Entries) override;
  void SetIntValue(int64_t Value, bool Verify = true) override;
  int64_t GetIntValue(bool Verify = false, bool IgnoreCache = false) override;
  IEnumEntry* GetEntryByName(const gcstring& Symbolic) override;
  IEnumEntry* GetEntry(int64_t IntValue) override;
  IEnumEntry* GetCurrentEntry(bool Verify = false, bool IgnoreCache = false) override;
  gcstring ToString(bool Verify = false, bool IgnoreCache = false) override;
  void FromString(const gcstring& ValueStr, bool Verify = true) override;
  bool IsValueCacheValid() const override { return slot_.CacheValid(); }
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIEnumeration; }

  Number ReadNumber(bool verify, bool ignoreCache) override;
  void WriteNumber(const Number& value, bool verify) override;

 protected:
  EAccessMode OwnAccessMode() const override { return slot_.AccessMode(); }

 private:
  mutable ValueSlot slot_;
  std::vector<EnumEntryNode*> entries_;
  bool valueBusy_ = false;
};

}  // namespace GenApi
