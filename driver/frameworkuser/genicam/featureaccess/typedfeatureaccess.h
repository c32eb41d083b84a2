// Getters that turn a feature name into a typed GenApi interface: find the
// node, check its interface against the caller's data type, then its access
// mode, and cast. Failures are recorded as kFeatureAccessError on the sink (when given) and
// give kGenICamFailed; nothing is thrown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/frameworkuser/errortable/errorcodes.h"
#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"

namespace zor::genicam {

// Requested access: 0 none, 1 read, 2 write, 3 implemented, 4 available.
enum class FeatureAccess : int32_t {
  kNone = 0,
  kRead = 1,
  kWrite = 2,
  kImplemented = 3,
  kAvailable = 4
};

using errorcode::kFeatureAccessError;

// 0 also when the node exists but is not an I: then out is null and nothing
// is recorded.
template <class I>
int64_t GetFeaturePtr(GenICamProxy& proxy, const GenICam::gcstring& name, FeatureAccess access,
                      GenApi::CPointer<I>& out, ErrorSink* sink, int64_t dataType = 0);

int64_t GetFeatureNodeForUserType(GenICamProxy& proxy, const GenICam::gcstring& name,
                                  FeatureAccess access, GenApi::INode*& out, ErrorSink* sink,
                                  int64_t dataType = 0);

// The same checks of a node already found by that name.
int64_t CheckFeatureNodeForUserType(GenICamProxy& proxy, const GenICam::gcstring& name,
                                    FeatureAccess access, GenApi::INode*& node, ErrorSink* sink,
                                    int64_t dataType = 0);

// A wide feature name as GenApi takes it.
GenICam::gcstring FeatureNameToUtf8(std::wstring_view name);

// The device line of the error texts.
std::wstring DeviceLine(GenICamProxy& proxy);

extern template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                                      GenApi::CPointer<GenApi::IBoolean>&, ErrorSink*, int64_t);
extern template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                                      GenApi::CPointer<GenApi::ICommand>&, ErrorSink*, int64_t);
extern template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                                      GenApi::CPointer<GenApi::IEnumeration>&, ErrorSink*, int64_t);
extern template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                                      GenApi::CPointer<GenApi::IInteger>&, ErrorSink*, int64_t);
extern template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                                      GenApi::CPointer<GenApi::INode>&, ErrorSink*, int64_t);
extern template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                                      GenApi::CPointer<GenApi::IRegister>&, ErrorSink*, int64_t);
extern template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                                      GenApi::CPointer<GenApi::IValue>&, ErrorSink*, int64_t);
extern template int64_t GetFeaturePtr(GenICamProxy&, const GenICam::gcstring&, FeatureAccess,
                                      GenApi::CPointer<GenApi::IFloat>&, ErrorSink*, int64_t);

}  // namespace zor::genicam
