#pragma once

#include "platform/genapi/api/ibase.h"

namespace GenApi {

class IInteger : virtual public IValue {
 public:
  virtual void SetValue(int64_t Value, bool Verify = true) = 0;
  virtual int64_t GetValue(bool Verify = false, bool IgnoreCache = false) = 0;
  virtual int64_t GetMin() = 0;
  virtual int64_t GetMax() = 0;
  virtual EIncMode GetIncMode() = 0;
  virtual int64_t GetInc() = 0;
  virtual int64_autovector_t GetListOfValidValues(bool bounded = true) = 0;
  virtual ERepresentation GetRepresentation() = 0;
  virtual gcstring GetUnit() const = 0;
  virtual void ImposeMin(int64_t Value) = 0;
  virtual void ImposeMax(int64_t Value) = 0;

  IInteger& operator=(int64_t Value) {
    SetValue(Value);
    return *this;
  }
  int64_t operator()() { return GetValue(); }
  int64_t operator*() { return GetValue(); }
};

class IFloat : virtual public IValue {
 public:
  virtual void SetValue(double Value, bool Verify = true) = 0;
  virtual double GetValue(bool Verify = false, bool IgnoreCache = false) = 0;
  virtual double GetMin() = 0;
  virtual double GetMax() = 0;
  virtual bool HasInc() = 0;
  virtual EIncMode GetIncMode() = 0;
  virtual double GetInc() = 0;
  virtual double_autovector_t GetListOfValidValues(bool bounded = true) = 0;
  virtual ERepresentation GetRepresentation() = 0;
  virtual gcstring GetUnit() const = 0;
  virtual EDisplayNotation GetDisplayNotation() const = 0;
  virtual int64_t GetDisplayPrecision() const = 0;
  virtual void ImposeMin(double Value) = 0;
  virtual void ImposeMax(double Value) = 0;

  IFloat& operator=(double Value) {
    SetValue(Value);
    return *this;
  }
  double operator()() { return GetValue(); }
  double operator*() { return GetValue(); }
};

class IBoolean : virtual public IValue {
 public:
  virtual void SetValue(bool Value, bool Verify = true) = 0;
  virtual bool GetValue(bool Verify = false, bool IgnoreCache = false) const = 0;

  IBoolean& operator=(bool Value) {
    SetValue(Value);
    return *this;
  }
  bool operator()() const { return GetValue(); }
};

class ICommand : virtual public IValue {
 public:
  virtual void Execute(bool Verify = true) = 0;
  virtual bool IsDone(bool Verify = true) = 0;
  void operator()() { Execute(); }
};

class IString : virtual public IValue {
 public:
  virtual void SetValue(const gcstring& Value, bool Verify = true) = 0;
  virtual gcstring GetValue(bool Verify = false, bool IgnoreCache = false) = 0;
  virtual int64_t GetMaxLength() = 0;

  IString& operator=(const gcstring& Value) {
    SetValue(Value);
    return *this;
  }
  gcstring operator()() { return GetValue(); }
};

class IRegister : virtual public IValue {
 public:
  virtual void Set(const uint8_t* pBuffer, int64_t Length, bool Verify = true) = 0;
  virtual void Get(uint8_t* pBuffer, int64_t Length, bool Verify = false,
                   bool IgnoreCache = false) = 0;
  virtual int64_t GetLength() = 0;
  virtual int64_t GetAddress() = 0;
};

class IEnumEntry : virtual public IValue {
 public:
  virtual int64_t GetValue() = 0;
  virtual gcstring GetSymbolic() const = 0;
  virtual double GetNumericValue() = 0;
  virtual bool IsSelfClearing() = 0;
};

class IEnumeration : virtual public IValue {
 public:
  virtual void GetSymbolics(StringList_t& Symbolics) = 0;
  virtual void GetEntries(NodeList_t& Entries) = 0;
  virtual void SetIntValue(int64_t Value, bool Verify = true) = 0;
  virtual int64_t GetIntValue(bool Verify = false, bool IgnoreCache = false) = 0;
  virtual IEnumEntry* GetEntryByName(const gcstring& Symbolic) = 0;
  virtual IEnumEntry* GetEntry(int64_t IntValue) = 0;
  virtual IEnumEntry* GetCurrentEntry(bool Verify = false, bool IgnoreCache = false) = 0;

  IEnumeration& operator=(const gcstring& Symbolic) {
    FromString(Symbolic);
    return *this;
  }
};

}  // namespace GenApi
