// Feature inquiry by name: each question about a node answered into the caller's variable.
#include "driver/frameworkuser/genicam/featureaccess/inquirefeature.h"

#include <cstring>
#include <vector>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/featureaccess/featureflags.h"
#include "driver/frameworkuser/genicam/featureaccess/nodecast.h"
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"
#include "driver/frameworkuser/genicam/featureaccess/typedfeatureaccess.h"
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"

namespace zor::genicam {
namespace {

using errorcode::kFeatureTypeError;
using errorcode::kInvalidFeatureInquire;
using FeatureAccess::kAvailable;
constexpr int64_t kIndexMask = 0xFFFF;

int64_t Typed(int64_t dataType, int64_t natural) {
  return dataType == kTypeDefault ? natural : dataType;
}

std::wstring Wide(const GenICam::gcstring& text) { return foundation::Utf8ToWString(text.c_str()); }

// What one inquiry works with.
struct Inquiry {
  GenICamProxy& proxy;
  const FeatureHookController* hooks;
  int64_t flag;
  GenICam::gcstring name;
  int64_t dataType;
  const UserVariable& variable;
  ErrorSink& sink;
  bool ignoreCache = false;

  int64_t Op() const { return OperationOf(flag); }
  size_t Index() const { return static_cast<size_t>(flag & kIndexMask); }
  void Int(int64_t value, int64_t natural = kTypeInt64) const {
    WriteUserValueFromInt64(Typed(dataType, natural), variable, value, &sink);
  }
  void Unsigned(uint64_t value) const {
    WriteUserValueFromUInt64(Typed(dataType, kTypeInt64), variable, value, &sink);
  }
  void Bool(bool value) const {
    WriteUserValueFromBool(Typed(dataType, kTypeBoolean), variable, value ? 1 : 0, &sink);
  }
  void Double(double value) const {
    WriteUserValueFromDouble(Typed(dataType, kTypeDouble), variable, value, &sink);
  }
  // Length + 1, the text, or its byte size, by the flag.
  void Text(const std::wstring& text) const {
    const auto length = static_cast<int64_t>(text.size());
    if (HasLengthField(flag)) {
      Int(length + 1);
    } else if ((flag & kFlagByteSize) == 0) {
      CopyUserText(variable, text, &sink);
    } else {
      Int((flag & kFlagNarrow) != 0 ? length + 1
                                    : (length + 1) * static_cast<int64_t>(sizeof(wchar_t)));
    }
  }
};

// Replaces the conversion error this inquiry recorded; an error the command
// held before stays.
void ReportFeatureDataTypeMismatch(GenApi::INode* node, ErrorSink& sink, bool heldBefore) {
  if (heldBefore) return;
  sink.SetError(0, 0, 0, 0);
  std::wstring first;
  std::wstring second;
  GetFeatureTypeNames(node, first, second);
  const std::wstring text5 =
      L"The feature \"" + Wide(node->GetName()) + L"\" requires a FeatureDataType of " + first;
  const std::wstring text6 = L"The FeatureValuePtr passed should be " + second;
  sink.SetErrorText(kFeatureAccessError, text5.c_str(), text6.c_str(), nullptr);
}

// A text that a related-node answer copies: truncated with an error when the
// buffer is short.
void CopyEntryText(const Inquiry& q, const std::wstring& text, bool typeFits) {
  if (!typeFits) {
    q.sink.SetError(kControlFlagError, 3, 0, 0);
    return;
  }
  if (UserTextRoom(q.variable) < static_cast<int64_t>(text.size()) + 1) {
    q.sink.SetError(kInquireFlagError, 3, 0, 0);
  }
  CopyUserTextTruncated(q.variable, text);
}

void AnswerExists(const Inquiry& q, GenApi::INode* node, bool heldBefore) {
  // The failed look-up is this inquiry's own report: withdraw that, nothing older.
  if (!heldBefore) q.sink.SetError(0, 0, 0, 0);
  const int32_t exists = node != nullptr && node->GetAccessMode() != GenApi::NI ? 1 : 0;
  const int64_t type = q.dataType == kTypeDefault ? kTypeInt32 : q.dataType;
  WriteUserValueFromInt64(type, q.variable, exists, &q.sink);
}

// A value's text or its length; byte sizes are answered before (AnswerValue).
void InquireFeatureNumeric(const Inquiry& q, GenApi::INode* node) {
  auto* value = dynamic_cast<GenApi::IValue*>(node);
  if (ErrorRecorded(q.sink) || value == nullptr) return;
  const std::wstring text = Wide(value->ToString(false, q.ignoreCache));
  const auto length = static_cast<int64_t>(text.size());
  if (HasLengthField(q.flag)) {
    const int64_t type =
        q.dataType == kTypeDefault || !IsNumericUserValueType(q.dataType) ? kTypeInt64 : q.dataType;
    const int64_t extra = node->GetCachingMode() == GenApi::NoCache ? 16 : 0;
    WriteUserValueFromUInt64(type, q.variable, static_cast<uint64_t>(length + 1 + extra), &q.sink);
  } else if ((q.flag & kFlagLength) != 0) {
    q.Int(length + 1);
  } else if (q.Op() == kOpValueText || (q.Op() == kOpValue && IsStringUserType(q.dataType))) {
    CopyUserText(q.variable, text, &q.sink);
  } else {
    q.sink.SetError(kInquireFlagError, 1, 0, 0);
  }
}

bool IsNumber(const Inquiry& q, GenApi::INode* node) {
  const int64_t natural = GetFeatureNaturalType(q.proxy, node->GetName(), &q.sink);
  return natural == kTypeInt64 || natural == kTypeDouble;
}

void AnswerString(const Inquiry& q, GenApi::INode* node, bool heldBefore) {
  int64_t reduced = q.dataType;
  if (((reduced >> 40) & 0xF) == 6) reduced &= ~(kFieldMask40 | int64_t{0x7FFFFFFF});
  if (reduced == kTypeString) return InquireFeatureNumeric(q, node);
  ReportFeatureDataTypeMismatch(node, q.sink, heldBefore);
}

// A register's length, or its bytes copied into the caller's buffer.
void AnswerRegister(const Inquiry& q, GenApi::INode* node, bool heldBefore) {
  if ((q.dataType & kTypeRegister) == 0 && (q.dataType & kTypeUInt8) != kTypeUInt8) {
    q.sink.SetError(kControlFlagError, 2, 0, 0);
    return;
  }
  auto* reg = dynamic_cast<GenApi::IRegister*>(node);
  if (reg == nullptr) return ReportFeatureDataTypeMismatch(node, q.sink, heldBefore);
  if (q.flag == kFlagLength) {
    WriteUserValueFromInt64(kTypeInt64, q.variable, reg->GetLength(), &q.sink);
  } else if (q.Op() == kOpValue) {
    if (q.variable.data == nullptr || q.variable.size < 1) {
      q.sink.SetError(kInquireFlagError, 3, 0, 0);
    } else {
      reg->Get(static_cast<uint8_t*>(q.variable.data), q.variable.size, false, q.ignoreCache);
    }
  } else {
    q.sink.SetError(kInquireFlagError, 1, 0, 0);
  }
}

// The value of the node that the inquiry's name found.
void AnswerValue(const Inquiry& q, GenApi::INode* node) {
  if ((q.flag & kFlagByteSize) != 0) {
    q.Int(GetFeatureDataSize(q.proxy, q.name, (q.flag & kFlagNarrow) != 0, &q.sink));
    return;
  }
  if (CheckFeatureNodeForUserType(q.proxy, q.name, kAvailable, node, &q.sink) != 0 ||
      node == nullptr) {
    return;
  }
  const bool stringType = IsStringUserType(q.dataType);
  if (q.Op() == kOpValueText || (q.Op() == kOpValue && stringType) || HasLengthField(q.flag)) {
    return InquireFeatureNumeric(q, node);
  }
  const bool heldBefore = ErrorRecorded(q.sink);
  const GenApi::EInterfaceType type = node->GetPrincipalInterfaceType();
  const bool needsValueOp = type == GenApi::intfIInteger || type == GenApi::intfIBoolean ||
                            type == GenApi::intfIFloat || type == GenApi::intfIEnumeration;
  if (needsValueOp && q.Op() != kOpValue) {
    q.sink.SetError(kInquireFlagError, 1, 0, 0);
    return;
  }
  switch (type) {
    case GenApi::intfIInteger: {
      auto* integer = NodeAs<GenApi::IInteger>(node);
      if (integer == nullptr) {
        q.sink.SetError(kInvalidFeatureInquire, 0, 0, 0);
        return;
      }
      q.Int(integer->GetValue(false, q.ignoreCache));
      break;
    }
    case GenApi::intfIBoolean:
      q.Bool(NodeAsRef<GenApi::IBoolean>(node).GetValue(false, q.ignoreCache));
      break;
    case GenApi::intfIFloat:
      q.Double(NodeAsRef<GenApi::IFloat>(node).GetValue(false, q.ignoreCache));
      break;
    case GenApi::intfIEnumeration: {
      const int64_t value = NodeAsRef<GenApi::IEnumeration>(node).GetIntValue(false, q.ignoreCache);
      const int64_t target =
          q.dataType == kTypeDefault || q.dataType == kTypeEnumeration ? kTypeInt64 : q.dataType;
      WriteUserValueFromInt64(target, q.variable, value, &q.sink);
      break;
    }
    case GenApi::intfIString:
      return AnswerString(q, node, heldBefore);
    case GenApi::intfIRegister:
      return AnswerRegister(q, node, heldBefore);
    default:
      q.sink.SetError(kFeatureTypeError, 1, 0, 0);
      return;
  }
  // A variable that cannot take the answer is a data-type mismatch.
  if (q.sink.ErrorCode() == kControlFlagError)
    ReportFeatureDataTypeMismatch(node, q.sink, heldBefore);
}

// Name, display name, tool tip, description or unit.
void AnswerText(const Inquiry& q, GenApi::INode* node) {
  std::wstring text;
  switch (q.Op()) {
    case kOpName:
      GetNodeNameText(node, text);
      return q.Text(text);
    case kOpDisplayName:
      GetNodeDisplayName(node, text);
      return q.Text(text);
    case kOpToolTip:
      GetNodeToolTip(node, text);
      return q.Text(text);
    case kOpDescription:
      GetNodeDescription(node, text);
      return q.Text(text);
    default: {  // the unit
      if (!IsNumber(q, node)) return q.sink.SetError(kInquireFlagError, 2, 0, 0);
      if (auto* integer = dynamic_cast<GenApi::IInteger*>(node)) {
        return q.Text(Wide(integer->GetUnit()));
      }
      return q.Text(Wide(dynamic_cast<GenApi::IFloat&>(*node).GetUnit()));
    }
  }
}

void AnswerRepresentation(const Inquiry& q, GenApi::INode* node) {
  if (auto* integer = dynamic_cast<GenApi::IInteger*>(node)) {
    return q.Int(static_cast<int64_t>(integer->GetRepresentation()) + 1);
  }
  if (auto* number = dynamic_cast<GenApi::IFloat*>(node)) {
    return q.Int(static_cast<int64_t>(number->GetRepresentation()) + 1);
  }
  q.sink.SetError(kInquireFlagError, 2, 0, 0);
}

void AnswerChangeHook(const Inquiry& q, GenApi::INode* node) {
  const bool on = q.hooks != nullptr && q.hooks->IsFeatureWatched(node->GetName());
  // A boolean variable reads the state as true or false.
  if (q.dataType == kTypeBoolean) return q.Bool(on);
  WriteUserValueFromBool(Typed(q.dataType, kTypeInt64), q.variable, on ? kEnable : kDisable,
                         &q.sink);
}

// Minimum, maximum or increment of an integer or a float.
void AnswerLimit(const Inquiry& q, GenApi::INode* node) {
  if (auto* integer = dynamic_cast<GenApi::IInteger*>(node);
      integer != nullptr && node->GetPrincipalInterfaceType() == GenApi::intfIInteger) {
    return q.Int(q.Op() == kOpMin   ? integer->GetMin()
                 : q.Op() == kOpMax ? integer->GetMax()
                                    : integer->GetInc());
  }
  if (auto* number = dynamic_cast<GenApi::IFloat*>(node);
      number != nullptr && node->GetPrincipalInterfaceType() == GenApi::intfIFloat) {
    return q.Double(q.Op() == kOpMin   ? number->GetMin()
                    : q.Op() == kOpMax ? number->GetMax()
                                       : number->GetInc());
  }
  q.sink.SetError(kInquireFlagError, 2, 0, 0);
}

void AnswerOperation(const Inquiry& q, GenApi::INode* node) {
  if (ErrorRecorded(q.sink)) return;
  switch (q.Op()) {
    case kOpName:
    case kOpDisplayName:
    case kOpToolTip:
    case kOpDescription:
    case kOpUnit:
      return AnswerText(q, node);
    case kOpNaturalType:
      return q.Int(GetFeatureNaturalType(q.proxy, node->GetName(), &q.sink));
    case kOpAccessMode:
      return q.Int(static_cast<int64_t>(node->GetAccessMode()) + 1);
    case kOpVisibility:
      return q.Int(static_cast<int64_t>(node->GetVisibility()) + 1);
    case kOpCachingMode:
      return q.Int(static_cast<int64_t>(node->GetCachingMode()) + 1);
    case kOpStreamable:
      return q.Bool(node->IsStreamable());
    case kOpDeprecated:
      return q.Bool(node->IsDeprecated());
    case kOpRepresentation:
      return AnswerRepresentation(q, node);
    case kOpChangeHook:
      return AnswerChangeHook(q, node);
    case kOpPollingTime: {
      int64_t time = 0;
      if (GetNodePollingTime(q.proxy, node, time, &q.sink) == 0) q.Int(time);
      return;
    }
    case kOpExecute: {
      auto* command = dynamic_cast<GenApi::ICommand*>(node);
      if (command == nullptr) return q.sink.SetError(kInquireFlagError, 4, 0, 0);
      return q.Bool(command->IsDone(true));
    }
    case kOpMin:
    case kOpMax:
    case kOpInc:
      return AnswerLimit(q, node);
    default:
      return AnswerValue(q, node);
  }
}

// A feature of a category, at the index; it names the feature from here on.
GenApi::INode* SelectCategoryFeature(Inquiry& q, GenApi::INode* node) {
  if (q.Op() == kOpCount) {
    q.Int(GetCategoryFeatureCount(q.proxy, node));
    return nullptr;
  }
  GenApi::INode* feature = nullptr;
  GetCategoryFeatureAt(q.proxy, feature, node, static_cast<int64_t>(q.Index()), &q.sink);
  // An index outside the list leaves no node to go on with.
  if (feature != nullptr) q.name = feature->GetName();
  return feature;
}

void AnswerEnumEntryName(const Inquiry& q, GenApi::IEnumeration* enumeration) {
  GenICam::gcstring entry;
  q.proxy.GetEnumEntryName(q.Index(), enumeration, q.Op() == kOpDisplayName, entry, &q.sink);
  if (ErrorRecorded(q.sink)) return;
  const bool fits = q.dataType == kTypeDefault ||
                    (q.Op() == kOpName ? IsStringUserType(q.dataType) : q.dataType == kTypeString);
  CopyEntryText(q, Wide(entry), fits);
}

// The entry at the index: its value is answered here, its other properties by its node.
GenApi::INode* SelectEnumEntryAt(const Inquiry& q, GenApi::IEnumeration* enumeration) {
  std::vector<GenICam::gcstring> names;
  if (q.proxy.GetEnumEntries(enumeration, false, names, &q.sink) != 0) return nullptr;
  if (q.Index() >= names.size()) {
    q.sink.SetError(kFeatureAccessError, 3, 0, 0);
    return nullptr;
  }
  GenApi::IEnumEntry* entry = nullptr;
  const EntryAccess access =
      q.Op() == kOpValue ? EntryAccess::kAvailable : EntryAccess::kImplemented;
  if (q.proxy.BuildFeatureAccessError(enumeration, names[q.Index()], access, entry, &q.sink) != 0 ||
      entry == nullptr) {
    return nullptr;
  }
  if (q.Op() == kOpValue) {
    const int64_t type =
        q.dataType == kTypeDefault || q.dataType == kTypeEnumeration ? kTypeInt64 : q.dataType;
    WriteUserValueFromInt64(type, q.variable, entry->GetValue(), &q.sink);
    return nullptr;
  }
  return entry->GetNode();
}

GenApi::INode* SelectEnumEntry(const Inquiry& q, GenApi::INode* node) {
  auto* enumeration = dynamic_cast<GenApi::IEnumeration*>(node);
  if (enumeration == nullptr) {
    q.sink.SetError(kFeatureTypeError, 2, 0, 0);
    return nullptr;
  }
  switch (q.Op()) {
    case kOpCount:
      q.Int(static_cast<int64_t>(q.proxy.GetEnumEntryCount(enumeration, &q.sink)));
      return nullptr;
    case kOpName:
    case kOpDisplayName:
      AnswerEnumEntryName(q, enumeration);
      return nullptr;
    case kOpToolTip:
    case kOpDescription:
    case kOpAccessMode:
    case kOpVisibility:
    case kOpCachingMode:
    case kOpStreamable:
    case kOpValue:
      return SelectEnumEntryAt(q, enumeration);
    default:
      return nullptr;
  }
}

GenApi::INode* SelectSelector(const Inquiry& q, GenApi::INode* node) {
  GenApi::CSelectorSet selectors(node);
  GenApi::FeatureList_t list;
  if (!selectors.IsEmpty()) selectors.GetSelectorList(list, true);
  if (q.Op() == kOpCount) {
    q.Unsigned(list.size());
    return nullptr;
  }
  if (q.Op() != kOpName) return nullptr;
  if (q.Index() >= list.size()) {
    q.sink.SetError(kFeatureAccessError, 3, 0, 0);
    return nullptr;
  }
  return list[q.Index()]->GetNode();
}

// The count of an integer's or a float's valid values, or the one at the index.
void AnswerValidValue(const Inquiry& q, GenApi::INode* node) {
  std::vector<double> doubles;
  std::vector<int64_t> integers;
  const bool isInteger = node->GetPrincipalInterfaceType() == GenApi::intfIInteger;
  if (isInteger) {
    integers = dynamic_cast<GenApi::IInteger&>(*node).GetListOfValidValues(true);
  } else if (node->GetPrincipalInterfaceType() == GenApi::intfIFloat) {
    doubles = dynamic_cast<GenApi::IFloat&>(*node).GetListOfValidValues(true);
  } else {
    q.sink.SetError(kFeatureTypeError, 3, 0, 0);
    return;
  }
  const size_t size = isInteger ? integers.size() : doubles.size();
  if (q.Op() == kOpCount) {
    q.Unsigned(size);
  } else if (q.Op() == kOpValue) {
    if (q.Index() >= size) {
      q.sink.SetError(kFeatureAccessError, 3, 0, 0);
    } else if (isInteger) {
      q.Int(integers[q.Index()]);
    } else {
      WriteUserValueFromDouble(Typed(q.dataType, kTypeInt64), q.variable, doubles[q.Index()],
                               &q.sink);
    }
  }
}

// Steps to a related node. Returns the node to go on with, or null when the
// selection answered (or failed) already.
GenApi::INode* SelectRelated(Inquiry& q, GenApi::INode* node) {
  switch ((q.flag & kRelatedMask) >> kRelatedShift) {
    case kRelatedCategoryFeatures:
      return SelectCategoryFeature(q, node);
    case kRelatedEnumEntries:
      return SelectEnumEntry(q, node);
    case kRelatedSelectors:
      return SelectSelector(q, node);
    case kRelatedValidValues:
      AnswerValidValue(q, node);
      return nullptr;
    default:
      return node;
  }
}

void Inquire(Inquiry& q) {
  const bool heldBefore = ErrorRecorded(q.sink);
  GenApi::INode* node = nullptr;
  const int64_t found =
      GetFeatureNodeForUserType(q.proxy, q.name, FeatureAccess::kNone, node, &q.sink);
  if (found != 0 || node == nullptr) {
    if (q.Op() == kOpExists && ((q.flag & kRelatedMask) == 0)) AnswerExists(q, nullptr, heldBefore);
    return;
  }
  node = SelectRelated(q, node);
  if (node == nullptr || ErrorRecorded(q.sink)) return;
  if (q.Op() == kOpExists) return AnswerExists(q, node, heldBefore);
  AnswerOperation(q, node);
}

// A special case's text, or its length + 1 when the flag asks for that.
void AnswerSpecialText(const Inquiry& q, const std::wstring& text) {
  const bool lengthAsked = q.flag == kFlagLength || HasLengthField(q.flag);
  if (lengthAsked) {
    WriteUserValueFromInt64(kTypeInt64, q.variable, static_cast<int64_t>(text.size()) + 1, &q.sink);
  } else {
    CopyUserTextTruncated(q.variable, text);
  }
}

int64_t SpecialInt32(const Inquiry& q) {
  GenApi::CIntegerPtr integer;
  if (GetFeaturePtr(q.proxy, q.name, kAvailable, integer, &q.sink, q.dataType) != 0 ||
      !integer.IsValid()) {
    return -1;
  }
  int64_t value = 0;
  if (q.flag == kFlagDefault) {
    value = integer->GetValue(false, q.ignoreCache);
  } else if (q.Op() == kOpMax) {
    value = integer->GetMax();
  } else if (q.Op() == kOpMin) {
    value = integer->GetMin();
  } else if (q.Op() == kOpInc) {
    value = integer->GetInc();
  } else {
    return -1;
  }
  WriteUserValueFromInt64(kTypeInt32, q.variable, value, &q.sink);
  return 1;
}

int64_t SpecialInt32Enumeration(const Inquiry& q) {
  GenApi::CEnumerationPtr enumeration;
  if (GetFeaturePtr(q.proxy, q.name, kAvailable, enumeration, &q.sink, q.dataType) != 0 ||
      !enumeration.IsValid()) {
    return -1;
  }
  int64_t value = 0;
  if (q.flag == kFlagDefault) {
    value = enumeration->GetIntValue(false, q.ignoreCache);
  } else if (q.Op() == kOpCount && (q.flag & kFlagEntryAtIndex) == 0) {
    value = static_cast<int64_t>(q.proxy.GetEnumEntryCount(enumeration, &q.sink));
  } else if ((q.flag & kFlagEntryAtIndex) != 0) {
    GenICam::gcstring entryName;
    q.proxy.GetEnumEntryName(static_cast<size_t>(q.flag & ~kFlagEntryAtIndex), enumeration, false,
                             entryName, &q.sink);
    GenApi::IEnumEntry* entry = nullptr;
    if (ErrorRecorded(q.sink) ||
        q.proxy.BuildFeatureAccessError(enumeration, entryName, EntryAccess::kAvailable, entry,
                                        &q.sink) != 0) {
      return 1;
    }
    value = entry->GetValue();
  } else {
    return -1;
  }
  WriteUserValueFromInt64(kTypeInt32, q.variable, value, &q.sink);
  return 1;
}

int64_t SpecialTextEnumeration(const Inquiry& q) {
  GenApi::CEnumerationPtr enumeration;
  if (GetFeaturePtr(q.proxy, q.name, kAvailable, enumeration, &q.sink, q.dataType) != 0 ||
      !enumeration.IsValid()) {
    return -1;
  }
  const bool atIndex = (q.flag & kFlagEntryAtIndex) != 0;
  if (q.flag == kFlagDefault) {
    CopyUserTextTruncated(q.variable, Wide(enumeration->ToString(false, q.ignoreCache)));
  } else if (!atIndex && q.Op() == kOpCount) {
    WriteUserValueFromInt64(kTypeInt64, q.variable,
                            static_cast<int64_t>(q.proxy.GetEnumEntryCount(enumeration, &q.sink)),
                            &q.sink);
  } else if (atIndex) {
    GenICam::gcstring entryName;
    q.proxy.GetEnumEntryName(static_cast<size_t>(q.flag & kIndexMask), enumeration, false,
                             entryName, &q.sink);
    if (ErrorRecorded(q.sink)) return 1;
    const bool length = (q.flag & kFlagLength) != 0 || HasLengthField(q.flag);
    if (length) {
      WriteUserValueFromInt64(kTypeInt64, q.variable, static_cast<int64_t>(entryName.size()) + 1,
                              &q.sink);
    } else {
      CopyUserTextTruncated(q.variable, Wide(entryName));
    }
  } else if (q.flag == kFlagLength || HasLengthField(q.flag)) {
    AnswerSpecialText(q, Wide(enumeration->ToString(false, q.ignoreCache)));
  } else {
    return -1;
  }
  return 1;
}

int64_t SpecialCase(GenICamProxy& proxy, int64_t flag, const GenICam::gcstring& name,
                    int64_t dataType, const UserVariable& variable, ErrorSink& sink) {
  const bool ignoreCache = (flag & kFlagIgnoreCache) != 0;
  const Inquiry q{proxy, nullptr,    flag & ~kFlagIgnoreCache, name, dataType, variable,
                  sink,  ignoreCache};
  switch (dataType) {
    case kTypeInt32:
      return SpecialInt32(q);
    case kTypeInt32Enumeration:
      return SpecialInt32Enumeration(q);
    case kTypeAnyText: {
      GenApi::CValuePtr value;
      if (GetFeaturePtr(proxy, name, kAvailable, value, &sink) != 0 || !value.IsValid()) return -1;
      AnswerSpecialText(q, Wide(value->ToString(false, ignoreCache)));
      return 1;
    }
    case kTypeTextEnumeration:
      return SpecialTextEnumeration(q);
    case kTypeRegisterText: {
      GenApi::CRegisterPtr reg;
      if (GetFeaturePtr(proxy, name, kAvailable, reg, &sink) != 0 || !reg.IsValid()) return -1;
      AnswerSpecialText(q, Wide(reg->ToString(false, ignoreCache)));
      return 1;
    }
    default:
      return -1;
  }
}

}  // namespace

int64_t InquireFeatureSpecial(GenICamProxy& proxy, int64_t inquireFlag,
                              const GenICam::gcstring& name, int64_t dataType,
                              const UserVariable& variable, ErrorSink& sink) {
  const bool heldBefore = ErrorRecorded(sink);
  int64_t handled = -1;
  try {
    handled = SpecialCase(proxy, inquireFlag, name, dataType, variable, sink);
  } catch (const GenICam::GenericException& e) {
    RecordFeatureException(kInvalidFeatureInquire, e, name, sink);
    return 1;
  }
  if (handled != 1 && !heldBefore && ErrorRecorded(sink)) sink.SetError(0, 0, 0, 0);
  return handled;
}

void InquireFeature(GenICamProxy& proxy, const FeatureHookController* hooks, int64_t inquireFlag,
                    std::wstring_view feature, int64_t dataType, const UserVariable& variable,
                    ErrorSink& sink) {
  const GenICam::gcstring name = FeatureNameToUtf8(feature);
  dataType &= ~kTypeIgnoredBit;
  if (InquireFeatureSpecial(proxy, inquireFlag, name, dataType, variable, sink) == 1) return;
  Inquiry q{proxy,    hooks, inquireFlag & ~kFlagIgnoreCache,      name, dataType,
            variable, sink,  (inquireFlag & kFlagIgnoreCache) != 0};
  try {
    Inquire(q);
  } catch (const GenICam::GenericException& e) {
    RecordFeatureException(kInvalidFeatureInquire, e, name, sink);
  }
}

}  // namespace zor::genicam
