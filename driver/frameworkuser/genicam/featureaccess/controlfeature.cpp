// Feature control by name: values converted from the caller's variable and written to the node.
#include "driver/frameworkuser/genicam/featureaccess/controlfeature.h"

#include <cstring>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/featureaccess/featureflags.h"
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"
#include "driver/frameworkuser/genicam/featureaccess/typedfeatureaccess.h"
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"

namespace zor::genicam {
namespace {

using errorcode::kFeatureTypeError;
using errorcode::kInvalidFeatureControl;
using FeatureAccess::kAvailable;

GenICam::gcstring Utf8Text(const UserVariable& variable) {
  return foundation::WStringToUtf8(ReadUserText(variable)).c_str();
}

template <typename T>
bool LoadScalar(const UserVariable& variable, T& value, ErrorSink& sink) {
  if (variable.data == nullptr || variable.size < static_cast<int64_t>(sizeof(T))) {
    sink.SetError(kInquireFlagError, 3, 0, 0);
    return false;
  }
  std::memcpy(&value, variable.data, sizeof(T));
  return true;
}

// The caller's variable as a double, by its data type.
bool ReadUserValueAsDouble(int64_t dataType, const UserVariable& variable, double& out,
                           ErrorSink& sink) {
  switch (dataType) {
    case kTypeInt64:
    case kTypeDefault: {
      int64_t v = 0;
      if (!LoadScalar(variable, v, sink)) return false;
      out = static_cast<double>(v);
      return true;
    }
    case kTypeInt32:
    case kTypeBoolean: {
      int32_t v = 0;
      if (!LoadScalar(variable, v, sink)) return false;
      out = v;
      return true;
    }
    case kTypeInt16: {
      int16_t v = 0;
      if (!LoadScalar(variable, v, sink)) return false;
      out = v;
      return true;
    }
    case kTypeUInt8: {
      uint8_t v = 0;
      if (!LoadScalar(variable, v, sink)) return false;
      out = v;
      return true;
    }
    case kTypeDouble:
      return LoadScalar(variable, out, sink);
    case kTypeFloat: {
      float v = 0;
      if (!LoadScalar(variable, v, sink)) return false;
      out = v;
      return true;
    }
    default:
      sink.SetError(kControlFlagError, 3, 0, 0);
      return false;
  }
}

bool IsRegisterType(int64_t dataType) {
  return (dataType & kTypeRegister) != 0 || (dataType & kTypeUInt8) == kTypeUInt8;
}

// Special cases set a value; any other operation goes the general way.
bool SetsValue(int64_t controlFlag, bool text) {
  const int64_t op = OperationOf(controlFlag);
  return controlFlag == kFlagDefault || op == kOpValue || (text && op == kOpValueText);
}

int64_t SpecialInt32(GenICamProxy& proxy, int64_t controlFlag, const GenICam::gcstring& name,
                     const UserVariable& variable, ErrorSink& sink) {
  GenApi::CIntegerPtr integer;
  if (GetFeaturePtr(proxy, name, kAvailable, integer, &sink, kTypeInt32) != 0 ||
      !integer.IsValid() || ErrorRecorded(sink)) {
    return -1;
  }
  if (controlFlag == kFlagDefault) {
    const int64_t value = ReadUserValueAsInt64(kTypeInt32, variable, &sink);
    if (!ErrorRecorded(sink)) integer->SetValue(value, true);
    return 1;
  }
  if (OperationOf(controlFlag) == kOpMax) {
    integer->SetValue(integer->GetMax(), true);
    return 1;
  }
  if (OperationOf(controlFlag) == kOpMin) {
    integer->SetValue(integer->GetMin(), true);
    return 1;
  }
  return -1;
}

// An enumeration set by the name of one of its entries.
int64_t SpecialTextEnumeration(GenICamProxy& proxy, const GenICam::gcstring& name,
                               const UserVariable& variable, ErrorSink& sink) {
  GenApi::CEnumerationPtr enumeration;
  if (GetFeaturePtr(proxy, name, kAvailable, enumeration, &sink, kTypeTextEnumeration) != 0 ||
      !enumeration.IsValid()) {
    return -1;
  }
  const GenICam::gcstring entryName = Utf8Text(variable);
  GenApi::IEnumEntry* entry = nullptr;
  // An entry the enumeration lacks is this request's answer, not a reason
  // to try the general way with a type it does not take.
  if (proxy.BuildFeatureAccessError(enumeration, entryName, EntryAccess::kAvailable, entry,
                                    &sink) != 0 ||
      entry == nullptr) {
    return 1;
  }
  enumeration->FromString(entryName, true);
  return 1;
}

int64_t SpecialCase(GenICamProxy& proxy, int64_t controlFlag, const GenICam::gcstring& name,
                    int64_t dataType, const UserVariable& variable, ErrorSink& sink) {
  switch (dataType) {
    case kTypeInt32:
      return SpecialInt32(proxy, controlFlag, name, variable, sink);
    case kTypeInt32Enumeration: {
      if (!SetsValue(controlFlag, false)) return -1;
      GenApi::CEnumerationPtr enumeration;
      if (GetFeaturePtr(proxy, name, kAvailable, enumeration, &sink, dataType) != 0 ||
          !enumeration.IsValid()) {
        return -1;
      }
      const int64_t value = ReadUserValueAsInt64(kTypeInt32, variable, &sink);
      if (!ErrorRecorded(sink)) enumeration->SetIntValue(value, true);
      return 1;
    }
    case kTypeAnyText: {
      if (!SetsValue(controlFlag, true)) return -1;
      GenApi::CValuePtr value;
      if (GetFeaturePtr(proxy, name, kAvailable, value, &sink) != 0 || !value.IsValid()) {
        return -1;
      }
      value->FromString(Utf8Text(variable), true);
      return 1;
    }
    case kTypeTextEnumeration:
      if (!SetsValue(controlFlag, true)) return -1;
      return SpecialTextEnumeration(proxy, name, variable, sink);
    case kTypeRegisterText: {
      if (!SetsValue(controlFlag, true)) return -1;
      GenApi::CRegisterPtr reg;
      if (GetFeaturePtr(proxy, name, kAvailable, reg, &sink) != 0 || !reg.IsValid()) return -1;
      reg->FromString(Utf8Text(variable), true);
      return 1;
    }
    default:
      return -1;
  }
}

void SetChangeHook(GenICamProxy& proxy, FeatureHookController* hooks, const GenICam::gcstring& name,
                   int64_t dataType, const UserVariable& variable, ErrorSink& sink) {
  GenApi::CNodePtr node;
  GetFeaturePtr(proxy, name, kAvailable, node, &sink);
  if (ErrorRecorded(sink) || !node.IsValid()) {
    sink.SetError(kFeatureAccessError, 1, 0, 0);
    return;
  }
  const int64_t value = ReadUserValueAsInt64(dataType, variable, &sink);
  if (ErrorRecorded(sink)) return;
  if (value != kEnable && value != kDisable && value != kFlagDefault) {
    sink.SetError(kInvalidFeatureControl, 2, 0, 0);
    return;
  }
  if (hooks != nullptr) hooks->SetFeatureWatched(name, value == kEnable);
}

void SetFromText(GenICamProxy& proxy, const GenICam::gcstring& name, int64_t dataType,
                 const UserVariable& variable, ErrorSink& sink) {
  if (dataType != kTypeDefault && dataType != kTypeEnumeration && dataType != kTypeString) {
    sink.SetError(kControlFlagError, 3, 0, 0);
    return;
  }
  GenApi::CValuePtr value;
  GetFeaturePtr(proxy, name, kAvailable, value, &sink);
  if (!ErrorRecorded(sink) && value.IsValid()) value->FromString(Utf8Text(variable), true);
}

void SetToLimit(GenICamProxy& proxy, const GenICam::gcstring& name, bool maximum, int64_t dataType,
                ErrorSink& sink) {
  const int64_t natural = GetFeatureNaturalType(proxy, name, &sink);
  if (natural == kTypeInt64 || natural == kTypeDouble) {
    if (dataType != kTypeDefault) {
      sink.SetError(kControlFlagError, 3, 0, 0);
      return;
    }
  }
  if (natural == kTypeInt64) {
    GenApi::CIntegerPtr integer;
    if (GetFeaturePtr(proxy, name, kAvailable, integer, &sink, kTypeInt64) == 0 &&
        integer.IsValid()) {
      integer->SetValue(maximum ? integer->GetMax() : integer->GetMin(), true);
    }
  } else if (natural == kTypeDouble) {
    GenApi::CFloatPtr number;
    if (GetFeaturePtr(proxy, name, kAvailable, number, &sink, kTypeDouble) == 0 &&
        number.IsValid()) {
      number->SetValue(maximum ? number->GetMax() : number->GetMin(), true);
    }
  } else if (!ErrorRecorded(sink)) {
    sink.SetError(kControlFlagError, 2, 0, 0);
  }
}

// What one value-setting request works with.
struct ValueRequest {
  GenICamProxy& proxy;
  int64_t controlFlag;
  const GenICam::gcstring& name;
  int64_t dataType;
  const UserVariable& variable;
  ErrorSink& sink;

  int64_t Op() const { return OperationOf(controlFlag); }
  bool ValueFlag() const { return controlFlag == kFlagDefault || Op() == kOpValue; }
};

void SetInteger(const ValueRequest& r) {
  GenApi::CIntegerPtr integer;
  GetFeaturePtr(r.proxy, r.name, kAvailable, integer, &r.sink, kTypeInt64);
  if (ErrorRecorded(r.sink) || !integer.IsValid()) return;
  const int64_t value = ReadUserValueAsInt64(r.dataType, r.variable, &r.sink);
  if (ErrorRecorded(r.sink)) return;
  if (r.ValueFlag()) {
    integer->SetValue(value, true);
  } else {
    r.sink.SetError(kControlFlagError, 1, 0, 0);
  }
}

void SetBoolean(const ValueRequest& r) {
  GenApi::CBooleanPtr boolean;
  GetFeaturePtr(r.proxy, r.name, kAvailable, boolean, &r.sink, kTypeBoolean);
  if (ErrorRecorded(r.sink) || !boolean.IsValid()) return;
  if (!r.ValueFlag()) {
    r.sink.SetError(kControlFlagError, 1, 0, 0);
    return;
  }
  const int64_t value = ReadUserValueAsInt64(r.dataType, r.variable, &r.sink);
  if (!ErrorRecorded(r.sink)) boolean->SetValue(value != 0, true);
}

void ExecuteCommand(const ValueRequest& r) {
  GenApi::CCommandPtr command;
  GetFeaturePtr(r.proxy, r.name, kAvailable, command, &r.sink, kTypeCommand);
  if (ErrorRecorded(r.sink) || !command.IsValid()) return;
  if (r.dataType != kTypeCommand && r.dataType != kTypeDefault) {
    r.sink.SetError(kControlFlagError, 3, 0, 0);
  } else if (r.controlFlag == kFlagDefault || r.Op() == kOpExecute) {
    r.proxy.ExecuteCommandNode(command, &r.sink);
  } else {
    r.sink.SetError(kControlFlagError, 1, 0, 0);
  }
}

void SetFloat(const ValueRequest& r) {
  GenApi::CFloatPtr number;
  GetFeaturePtr(r.proxy, r.name, kAvailable, number, &r.sink, kTypeDouble);
  if (ErrorRecorded(r.sink) || !number.IsValid()) return;
  if (!r.ValueFlag()) {
    r.sink.SetError(kControlFlagError, 1, 0, 0);
    return;
  }
  double value = 0;
  if (ReadUserValueAsDouble(r.dataType, r.variable, value, r.sink)) number->SetValue(value, true);
}

void SetRegister(const ValueRequest& r) {
  if (!IsRegisterType(r.dataType)) {
    r.sink.SetError(kControlFlagError, 2, 0, 0);
    return;
  }
  GenApi::CRegisterPtr reg;
  GetFeaturePtr(r.proxy, r.name, kAvailable, reg, &r.sink);
  if (ErrorRecorded(r.sink) || !reg.IsValid()) return;
  if (r.Op() != kOpValue) {
    r.sink.SetError(kControlFlagError, 1, 0, 0);
  } else if (r.variable.data == nullptr || r.variable.size < 1) {
    r.sink.SetError(kInquireFlagError, 3, 0, 0);
  } else {
    reg->Set(static_cast<const uint8_t*>(r.variable.data), r.variable.size, true);
  }
}

void SetEnumeration(const ValueRequest& r) {
  GenApi::CEnumerationPtr enumeration;
  GetFeaturePtr(r.proxy, r.name, kAvailable, enumeration, &r.sink, kTypeEnumeration);
  if (ErrorRecorded(r.sink) || !enumeration.IsValid()) return;
  if (r.Op() != kOpValue) {
    r.sink.SetError(kControlFlagError, 3, 0, 0);
    return;
  }
  const int64_t value = ReadUserValueAsInt64(r.dataType, r.variable, &r.sink);
  if (!ErrorRecorded(r.sink)) enumeration->SetIntValue(value, true);
}

void SetValue(GenICamProxy& proxy, int64_t controlFlag, const GenICam::gcstring& name,
              int64_t dataType, const UserVariable& variable, ErrorSink& sink) {
  GenApi::CNodePtr node;
  if (GetFeaturePtr(proxy, name, kAvailable, node, &sink) != 0 || !node.IsValid()) return;
  const ValueRequest request{proxy, controlFlag, name, dataType, variable, sink};
  if (request.Op() == kOpValue && dataType == kTypeString) {
    if (GenApi::CValuePtr value = node; value.IsValid()) {
      value->FromString(Utf8Text(variable), true);
      return;
    }
  }
  switch (node->GetPrincipalInterfaceType()) {
    case GenApi::intfIInteger:
      return SetInteger(request);
    case GenApi::intfIBoolean:
      return SetBoolean(request);
    case GenApi::intfICommand:
      return ExecuteCommand(request);
    case GenApi::intfIFloat:
      return SetFloat(request);
    case GenApi::intfIRegister:
      return SetRegister(request);
    case GenApi::intfIEnumeration:
      return SetEnumeration(request);
    default:
      sink.SetError(kFeatureTypeError, 1, 0, 0);
  }
}

}  // namespace

int64_t ControlFeatureSpecial(GenICamProxy& proxy, int64_t controlFlag,
                              const GenICam::gcstring& name, int64_t dataType,
                              const UserVariable& variable, ErrorSink& sink) {
  const bool heldBefore = ErrorRecorded(sink);
  int64_t handled = -1;
  try {
    handled = SpecialCase(proxy, controlFlag, name, dataType, variable, sink);
  } catch (const GenICam::GenericException& e) {
    RecordFeatureException(kInvalidFeatureControl, e, name, sink);
    return 1;
  }
  // Only a report of this trial is withdrawn, never one the command held.
  if (handled != 1 && !heldBefore && ErrorRecorded(sink)) sink.SetError(0, 0, 0, 0);
  return handled;
}

void ControlFeature(GenICamProxy& proxy, FeatureHookController* hooks, int64_t controlFlag,
                    std::wstring_view feature, int64_t dataType, const UserVariable& variable,
                    ErrorSink& sink) {
  const GenICam::gcstring name = FeatureNameToUtf8(feature);
  dataType &= ~kTypeIgnoredBit;
  if (controlFlag == 1 || controlFlag == 2) {
    controlFlag = dataType == kTypeCommand ? kOpExecute : kOpValue;
  }
  if (ControlFeatureSpecial(proxy, controlFlag, name, dataType, variable, sink) == 1) return;
  try {
    switch (OperationOf(controlFlag)) {
      case kOpChangeHook:
        return SetChangeHook(proxy, hooks, name, dataType, variable, sink);
      case kOpValueText:
        return SetFromText(proxy, name, dataType, variable, sink);
      case kOpMin:
      case kOpMax:
        return SetToLimit(proxy, name, OperationOf(controlFlag) == kOpMax, dataType, sink);
      default:
        return SetValue(proxy, controlFlag, name, dataType, variable, sink);
    }
  } catch (const GenICam::GenericException& e) {
    RecordFeatureException(kInvalidFeatureControl, e, name, sink);
  }
}

}  // namespace zor::genicam
