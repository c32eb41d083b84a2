// Finds a feature by name and checks its interface and access before a typed use.
#include "driver/frameworkuser/genicam/featureaccess/typedfeatureaccess.h"

#include <string>

#include "driver/foundation/conversions.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/genicam/featureaccess/nodecast.h"
#include "driver/frameworkuser/genicam/featureaccess/nodeutilities.h"
#include "driver/frameworkuser/genicam/featureaccess/uservalue.h"

namespace zor::genicam {
namespace {

struct NotInitialized {};

// The interface a data type requires, or -1 when the type is not tested.
int RequiredInterface(int64_t dataType) {
  switch (dataType) {
    case kTypeInt64:
      return GenApi::intfIInteger;
    case kTypeDouble:
      return GenApi::intfIFloat;
    case kTypeString:
      return GenApi::intfIString;
    case kTypeEnumeration:
    case kTypeInt32Enumeration:
    case kTypeTextEnumeration:
      return GenApi::intfIEnumeration;
    case kTypeBoolean:
      return GenApi::intfIBoolean;
    case kTypeCommand:
      return GenApi::intfICommand;
    case kTypeCategory:
      return GenApi::intfICategory;
    default:
      return -1;
  }
}

bool CastFits(GenApi::INode* node, int required) {
  switch (required) {
    case GenApi::intfIInteger:
      return NodeAs<GenApi::IInteger>(node) != nullptr;
    case GenApi::intfIFloat:
      return NodeAs<GenApi::IFloat>(node) != nullptr;
    case GenApi::intfIString:
      return NodeAs<GenApi::IString>(node) != nullptr;
    case GenApi::intfIEnumeration:
      return NodeAs<GenApi::IEnumeration>(node) != nullptr;
    case GenApi::intfIBoolean:
      return NodeAs<GenApi::IBoolean>(node) != nullptr;
    case GenApi::intfICommand:
      return NodeAs<GenApi::ICommand>(node) != nullptr;
    default:
      return NodeAs<GenApi::ICategory>(node) != nullptr;
  }
}

// The text of the first failing access test, or null.
const wchar_t* AccessRefusal(GenApi::INode* node, FeatureAccess access) {
  const GenApi::EAccessMode mode = node != nullptr ? node->GetAccessMode() : GenApi::NI;
  constexpr const wchar_t* kNotAvailable = L"\" feature. It is not available.";
  switch (access) {
    case FeatureAccess::kRead:
      if (!GenApi::IsAvailable(mode)) return kNotAvailable;
      if (!GenApi::IsReadable(mode)) return L"\" feature. It cannot be read.";
      return nullptr;
    case FeatureAccess::kWrite:
      if (!GenApi::IsAvailable(mode)) return kNotAvailable;
      if (!GenApi::IsWritable(mode)) return L"\" feature. It cannot be written.";
      return nullptr;
    case FeatureAccess::kImplemented:
      return mode == GenApi::NI ? L"\" feature. It is not implemented." : nullptr;
    case FeatureAccess::kAvailable:
      return GenApi::IsAvailable(mode) ? nullptr : kNotAvailable;
    default:
      return nullptr;
  }
}

// Finds the node (or takes the one found by that name) and checks it; null
// after a recorded failure.
int64_t FindChecked(GenICamProxy& proxy, const GenICam::gcstring& name, FeatureAccess access,
                    GenApi::INode*& node, ErrorSink* sink, int64_t dataType, bool found = false) {
  // The wide name is only needed for a report.
  const auto feature = [&name] { return foundation::Utf8ToWString(name.c_str()); };
  if (!found) node = nullptr;
  try {
    if (!found) {
      const auto& map = proxy.NodeMap();
      if (map == nullptr || map->_Ptr == nullptr) throw NotInitialized{};
      node = map->_GetNode(name);
    }
    if (node == nullptr) {
      if (sink != nullptr && sink->ErrorCode() == 0) {
        const std::wstring missing = L"The device does not have a \"" + feature() + L"\" feature.";
        sink->SetErrorSubText(kFeatureAccessError, 1, DeviceLine(proxy).c_str(), missing.c_str());
      }
      return kGenICamFailed;
    }
    const int required = RequiredInterface(dataType);
    const bool mismatch =
        required >= 0 && node->GetPrincipalInterfaceType() != required && !CastFits(node, required);
    const wchar_t* refusal = AccessRefusal(node, access);
    if (!mismatch && refusal == nullptr) return 0;
    if (sink != nullptr && sink->ErrorCode() == 0) {
      if (mismatch) {
        std::wstring first;
        std::wstring second;
        GetFeatureTypeNames(node, first, second);
        const std::wstring text5 =
            L"The feature \"" + feature() + L"\" requires a FeatureDataType of " + first;
        const std::wstring text6 = L"The FeatureValuePtr passed should be " + second;
        sink->SetErrorText(kFeatureAccessError, text5.c_str(), text6.c_str(), nullptr);
      } else {
        const std::wstring text = L"Cannot access the camera's \"" +
                                  foundation::Utf8ToWString(node->GetName().c_str()) + refusal;
        sink->SetErrorText(kFeatureAccessError, DeviceLine(proxy).c_str(), text.c_str(), nullptr);
      }
    }
  } catch (const GenICam::GenericException& e) {
    if (sink != nullptr) {
      const std::wstring text =
          L"GenICam exception occurred accessing feature \"" + feature() + L"\".";
      const std::wstring description =
          L"Description: " + foundation::Utf8ToWString(e.GetDescription());
      sink->SetErrorText(kFeatureAccessError, text.c_str(), description.c_str(), nullptr);
    }
  } catch (const NotInitialized&) {
    if (sink != nullptr) {
      sink->SetErrorText(kFeatureAccessError, L"The camera's node map is not yet initialized.",
                         nullptr, nullptr);
    }
  }
  node = nullptr;
  return kGenICamFailed;
}

}  // namespace

GenICam::gcstring FeatureNameToUtf8(std::wstring_view name) {
  std::string text(name.size(), '\0');
  for (size_t i = 0; i < name.size(); ++i) {
    // Feature names are ASCII; anything else takes the full conversion.
    const wchar_t c = name[i];
    if (c <= 0 || c >= 0x80) return foundation::WStringToUtf8(std::wstring(name)).c_str();
    text[i] = static_cast<char>(c);
  }
  return text;
}

std::wstring DeviceLine(GenICamProxy& proxy) {
  return L"Camera specific info: Error occurred on the " +
         foundation::Utf8ToWString(proxy.GetDeviceVendorName()) + L" " +
         foundation::Utf8ToWString(proxy.GetDeviceModelName()) + L".";
}

template <class I>
int64_t GetFeaturePtr(GenICamProxy& proxy, const GenICam::gcstring& name, FeatureAccess access,
                      GenApi::CPointer<I>& out, ErrorSink* sink, int64_t dataType) {
  GenApi::INode* node = nullptr;
  const int64_t result = FindChecked(proxy, name, access, node, sink, dataType);
  out = GenApi::CPointer<I>(NodeAs<I>(node));
  return result;
}

int64_t GetFeatureNodeForUserType(GenICamProxy& proxy, const GenICam::gcstring& name,
                                  FeatureAccess access, GenApi::INode*& out, ErrorSink* sink,
                                  int64_t dataType) {
  return FindChecked(proxy, name, access, out, sink, dataType);
}

int64_t CheckFeatureNodeForUserType(GenICamProxy& proxy, const GenICam::gcstring& name,
                                    FeatureAccess access, GenApi::INode*& node, ErrorSink* sink,
                                    int64_t dataType) {
  return FindChecked(proxy, name, access, node, sink, dataType, true);
}

template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                               GenApi::CPointer<GenApi::IBoolean>&, ErrorSink*, int64_t);
template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                               GenApi::CPointer<GenApi::ICommand>&, ErrorSink*, int64_t);
template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                               GenApi::CPointer<GenApi::IEnumeration>&, ErrorSink*, int64_t);
template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                               GenApi::CPointer<GenApi::IInteger>&, ErrorSink*, int64_t);
template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                               GenApi::CPointer<GenApi::INode>&, ErrorSink*, int64_t);
template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                               GenApi::CPointer<GenApi::IRegister>&, ErrorSink*, int64_t);
template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                               GenApi::CPointer<GenApi::IValue>&, ErrorSink*, int64_t);
template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                               GenApi::CPointer<GenApi::IFloat>&, ErrorSink*, int64_t);

}  // namespace zor::genicam
