// Small operations on one node: its texts, type, size, selected features, reads and writes by name.
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"

#include <string>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/featureaccess/typedfeatureaccess.h"
#include "driver/frameworkuser/genicam/featureaccess/uservalue.h"
#include "driver/frameworkuser/system/qdbasesystem.h"

namespace zor::genicam {
namespace {

using errorcode::kInvalidFeatureInquire;
// Velant's own devices are labelled by their model alone.
constexpr const char* kOwnVendor = "VelantImagingLtd";

template <typename Read>
void NodeText(GenApi::INode* node, std::wstring& text, Read read) {
  if (node == nullptr) return;
  try {
    const GenICam::gcstring value = read(node);
    text = foundation::Utf8ToWString(value.c_str());
  } catch (const GenICam::GenericException&) {
    // The text stays as it was.
  }
}

void RecordException(ErrorSink* sink, const wchar_t* verb, const GenICam::gcstring& name,
                     const GenICam::GenericException& e) {
  if (sink == nullptr) return;
  const std::wstring text =
      std::wstring(verb) + L" feature <" + foundation::Utf8ToWString(name.c_str()) + L">.";
  sink->SetErrorText(kFeatureAccessError, text.c_str(),
                     foundation::Utf8ToWString(e.GetDescription()).c_str(), nullptr);
}

void RecordWriteException(ErrorSink* sink, const std::string& value, const GenICam::gcstring& name,
                          const GenICam::GenericException& e) {
  if (sink == nullptr) return;
  const std::wstring text = L"Error writing <" + foundation::Utf8ToWString(value.c_str()) +
                            L"> to feature <" + foundation::Utf8ToWString(name.c_str()) + L">.";
  sink->SetErrorText(kFeatureAccessError, text.c_str(),
                     foundation::Utf8ToWString(e.GetDescription()).c_str(), nullptr);
}

// A node of a type the operation cannot take: kInvalidFeatureInquire sub-code 3.
int64_t NotAValue(ErrorSink* sink) {
  if (sink != nullptr) sink->SetError(kInvalidFeatureInquire, 3, 0, 0);
  return kGenICamFailed;
}

// The category's features or the selector's selected ones.
GenApi::FeatureList_t SubFeatures(GenICamProxy& proxy, GenApi::INode* node) {
  GenApi::FeatureList_t all;
  if (auto* category = dynamic_cast<GenApi::ICategory*>(node)) {
    category->GetFeatures(all);
  } else if (auto* selector = dynamic_cast<GenApi::ISelector*>(node)) {
    selector->GetSelectedFeatures(all);
  }
  GenApi::FeatureList_t kept;
  FilterVisibleFeatures(proxy, kept, all, GenApi::Invisible);
  return kept;
}

}  // namespace

void GetNodeNameText(GenApi::INode* node, std::wstring& text) {
  NodeText(node, text, [](GenApi::INode* n) { return n->GetName(); });
}
void GetNodeDisplayName(GenApi::INode* node, std::wstring& text) {
  NodeText(node, text, [](GenApi::INode* n) { return n->GetDisplayName(); });
}
void GetNodeToolTip(GenApi::INode* node, std::wstring& text) {
  NodeText(node, text, [](GenApi::INode* n) { return n->GetToolTip(); });
}
void GetNodeDescription(GenApi::INode* node, std::wstring& text) {
  NodeText(node, text, [](GenApi::INode* n) { return n->GetDescription(); });
}

void GetFeatureTypeNames(GenApi::INode* node, std::wstring& first, std::wstring& second) {
  if (node == nullptr) return;
  switch (node->GetPrincipalInterfaceType()) {
    case GenApi::intfIValue:
    case GenApi::intfIString:
    case GenApi::intfIEnumeration:
      first = L"Q_TYPE_STRING.";
      second = L"a ZOR_TEXT_PTR.";
      break;
    case GenApi::intfIInteger:
      first = L"Q_TYPE_INT64.";
      second = L"a pointer to a ZOR_INT64.";
      break;
    case GenApi::intfIBoolean:
      first = L"Q_TYPE_BOOLEAN.";
      second = L"a pointer to a ZOR_BOOL.";
      break;
    case GenApi::intfICommand:
      first = L"Q_DEFAULT.";
      second = L"Q_NULL.";
      break;
    case GenApi::intfIFloat:
      first = L"Q_TYPE_DOUBLE.";
      second = L"a pointer to a ZOR_DOUBLE.";
      break;
    case GenApi::intfIRegister:
      first = L"Q_TYPE_UINT8 + Q_FEATURE_USER_ARRAY_SIZE().";
      second = L"a pointer to a byte array.";
      break;
    case GenApi::intfICategory:
      first = L"Q_TYPE_CATEGORY.";
      second = L"Q_NULL.";
      break;
    default:
      break;
  }
}

int64_t GetFeatureNaturalType(GenICamProxy& proxy, const GenICam::gcstring& name, ErrorSink* sink) {
  GenApi::CNodePtr node;
  if (GetFeaturePtr(proxy, name, FeatureAccess::kNone, node, sink) != 0 || !node.IsValid()) {
    return 0;
  }
  try {
    switch (node->GetPrincipalInterfaceType()) {
      case GenApi::intfIValue:
      case GenApi::intfIString:
        return kTypeString;
      case GenApi::intfIInteger:
        return kTypeInt64;
      case GenApi::intfIBoolean:
        return kTypeBoolean;
      case GenApi::intfICommand:
        return kTypeCommand;
      case GenApi::intfIFloat:
        return kTypeDouble;
      case GenApi::intfIRegister:
        return kTypeRegister;
      case GenApi::intfICategory:
        return kTypeCategory;
      case GenApi::intfIEnumeration:
        return kTypeEnumeration;
      default:
        return 0;
    }
  } catch (const GenICam::GenericException&) {
    return 0;
  }
}

int64_t GetFeatureDataSize(GenICamProxy& proxy, const GenICam::gcstring& name, bool narrow,
                           ErrorSink* sink) {
  GenApi::INode* node = nullptr;
  if (GetFeatureNodeForUserType(proxy, name, FeatureAccess::kNone, node, sink) != 0 ||
      node == nullptr) {
    return 0;
  }
  try {
    switch (node->GetPrincipalInterfaceType()) {
      case GenApi::intfIValue:
      case GenApi::intfIString: {
        const auto length =
            static_cast<int64_t>(dynamic_cast<GenApi::IValue&>(*node).ToString().size()) + 1;
        return narrow ? length : length * static_cast<int64_t>(sizeof(wchar_t));
      }
      case GenApi::intfIInteger:
      case GenApi::intfIFloat:
      case GenApi::intfIEnumeration:
        return 8;
      case GenApi::intfIBoolean:
        return 4;
      case GenApi::intfIRegister:
        return dynamic_cast<GenApi::IRegister&>(*node).GetLength();
      default:
        return 0;
    }
  } catch (const std::exception&) {
    return 0;
  }
}

int64_t GetNodePollingTime(GenICamProxy& proxy, GenApi::INode* node, int64_t& time,
                           ErrorSink* sink) {
  try {
    time = NodePollingTime(proxy.NodeMap().get(), node);
    return 0;
  } catch (const GenICam::GenericException& e) {
    RecordException(sink, L"Error writing to", node != nullptr ? node->GetName() : "", e);
    return kGenICamFailed;
  }
}

void FilterVisibleFeatures(GenICamProxy&, GenApi::FeatureList_t& out,
                           const GenApi::FeatureList_t& in, GenApi::EVisibility highest) {
  out.clear();
  for (GenApi::IValue* value : in) {
    GenApi::INode* feature = value != nullptr ? value->GetNode() : nullptr;
    if (feature == nullptr || feature->GetAccessMode() == GenApi::NI || !feature->IsFeature()) {
      continue;
    }
    // An undefined visibility lies above every defined one.
    if (feature->GetVisibility() > highest) continue;
    out.push_back(value);
  }
}

int64_t GetCategoryFeatureCount(GenICamProxy& proxy, GenApi::INode* node) {
  try {
    return static_cast<int64_t>(SubFeatures(proxy, node).size());
  } catch (const GenICam::GenericException&) {
    return 0;
  }
}

void GetCategoryFeatureAt(GenICamProxy& proxy, GenApi::INode*& out, GenApi::INode* node,
                          int64_t index, ErrorSink* sink) {
  out = nullptr;
  try {
    const GenApi::FeatureList_t features = SubFeatures(proxy, node);
    if (index < 0 || index >= static_cast<int64_t>(features.size())) {
      if (sink != nullptr) sink->SetError(kInvalidFeatureInquire, 4, 0, 0);
      return;
    }
    out = features[static_cast<size_t>(index)]->GetNode();
  } catch (const GenICam::GenericException&) {
    out = nullptr;
  }
}

int64_t ReadFeatureInteger(GenICamProxy& proxy, const GenICam::gcstring& name, int64_t& value,
                           ErrorSink* sink) {
  GenApi::CNodePtr node;
  const int64_t found = GetFeaturePtr(proxy, name, FeatureAccess::kRead, node, sink);
  if (found != 0) return found;
  try {
    if (GenApi::CBooleanPtr boolean = node; boolean.IsValid()) {
      value = boolean->GetValue() ? 1 : 0;
    } else if (GenApi::CEnumerationPtr enumeration = node; enumeration.IsValid()) {
      value = enumeration->GetIntValue();
    } else if (GenApi::CIntegerPtr integer = node; integer.IsValid()) {
      value = integer->GetValue();
    } else {
      // A float or text is no integer: say so rather than leave the value unset.
      return NotAValue(sink);
    }
    return 0;
  } catch (const GenICam::GenericException& e) {
    RecordException(sink, L"Error reading from", name, e);
    return kGenICamFailed;
  }
}

int64_t ReadFeatureString(GenICamProxy& proxy, const GenICam::gcstring& name,
                          GenICam::gcstring& value, ErrorSink* sink) {
  GenApi::CValuePtr node;
  const int64_t found = GetFeaturePtr(proxy, name, FeatureAccess::kRead, node, sink);
  if (found != 0) return found;
  try {
    if (!node.IsValid()) return NotAValue(sink);
    value = node->ToString();
    return 0;
  } catch (const GenICam::GenericException& e) {
    RecordException(sink, L"Error reading from", name, e);
    return kGenICamFailed;
  }
}

int64_t WriteFeatureString(GenICamProxy& proxy, const GenICam::gcstring& name,
                           const GenICam::gcstring& value, ErrorSink* sink, bool verify) {
  GenApi::CValuePtr node;
  const int64_t found = GetFeaturePtr(proxy, name, FeatureAccess::kWrite, node, sink);
  if (found != 0) return found;
  try {
    if (!node.IsValid()) return NotAValue(sink);
    node->FromString(value, verify);
    return 0;
  } catch (const GenICam::GenericException& e) {
    RecordWriteException(sink, value.c_str(), name, e);
    return kGenICamFailed;
  }
}

int64_t WriteFeatureInteger(GenICamProxy& control, const GenICam::gcstring& name, int64_t value,
                            ErrorSink* sink, bool verify) {
  GenApi::CNodePtr node;
  const int64_t found = GetFeaturePtr(control, name, FeatureAccess::kWrite, node, sink);
  if (found != 0) return found;
  try {
    if (GenApi::CBooleanPtr boolean = node; boolean.IsValid()) {
      boolean->SetValue(value != 0, verify);
    } else if (GenApi::CEnumerationPtr enumeration = node; enumeration.IsValid()) {
      enumeration->SetIntValue(value, verify);
    } else if (GenApi::CIntegerPtr integer = node; integer.IsValid()) {
      integer->SetValue(value, verify);
    } else {
      // Nothing was written: the caller must not take it for done.
      return NotAValue(sink);
    }
    return 0;
  } catch (const GenICam::GenericException& e) {
    RecordWriteException(sink, std::to_string(value), name, e);
    return kGenICamFailed;
  }
}

std::string GetDeviceDisplayLabel(GenICamProxy& proxy) {
  const std::string vendor = proxy.GetDeviceVendorName();
  const std::string model = proxy.GetDeviceModelName();
  return vendor == kOwnVendor ? model : vendor + " " + model;
}

bool ErrorRecorded(const ErrorSink& sink) { return sink.ErrorCode() != 0; }

void RecordFeatureException(int64_t code, const GenICam::GenericException& e,
                            const GenICam::gcstring& name, ErrorSink& sink) {
  const std::wstring description = L"Description: " + foundation::Utf8ToWString(e.GetDescription());
  const std::wstring where = L"GenICam exception occurred accessing \"" +
                             foundation::Utf8ToWString(name.c_str()) + L"\" feature.";
  sink.SetErrorText(code, L"A GenICam exception occurred.", description.c_str(), where.c_str());
}

void SetSystemThreadError(const frame::QDBaseSystem& system, const int32_t* code) {
  if (code == nullptr) return;
  frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
  if (driver == nullptr) return;
  if (ErrorSink* ctx = driver->GetThreadContext(system.Index())) ctx->SetError(*code, 0, 0, 0);
}

}  // namespace zor::genicam
