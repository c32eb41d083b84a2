// Small operations on one node of a proxy's node map: its texts, polling
// time, natural data type and value size, feature reads and writes by name,
// the features under a category or selector, and the type texts of data-type
// errors. None lets a GenICam exception out.
#pragma once

#include <cstdint>
#include <string>

#include "driver/frameworkuser/genicam/genicamcontrol/genicamproxy.h"

namespace zor::frame {
class QDBaseSystem;
}

namespace zor::genicam {

// The node's short name, display name, tooltip and description; an exception
// leaves text as it was.
void GetNodeNameText(GenApi::INode* node, std::wstring& text);
void GetNodeDisplayName(GenApi::INode* node, std::wstring& text);
void GetNodeToolTip(GenApi::INode* node, std::wstring& text);
void GetNodeDescription(GenApi::INode* node, std::wstring& text);

// The expected data type and value pointer, by the node's interface; other
// interfaces leave both texts unchanged.
void GetFeatureTypeNames(GenApi::INode* node, std::wstring& first, std::wstring& second);

// The data type the feature takes naturally; 0 when missing (kFeatureAccessError recorded).
int64_t GetFeatureNaturalType(GenICamProxy& proxy, const GenICam::gcstring& name, ErrorSink* sink);
// Bytes of the value; texts count sizeof(wchar_t) per character unless narrow.
int64_t GetFeatureDataSize(GenICamProxy& proxy, const GenICam::gcstring& name, bool narrow,
                           ErrorSink* sink);
// 0, or kGenICamFailed after recording kFeatureAccessError.
int64_t GetNodePollingTime(GenICamProxy& proxy, GenApi::INode* node, int64_t& time,
                           ErrorSink* sink);

// The features of in that are implemented and no more visible than highest
// (Invisible lets every defined visibility pass).
void FilterVisibleFeatures(GenICamProxy& proxy, GenApi::FeatureList_t& out,
                           const GenApi::FeatureList_t& in, GenApi::EVisibility highest);

// Implemented features of a category's list or of a selector's selected
// features, of any visibility.
int64_t GetCategoryFeatureCount(GenICamProxy& proxy, GenApi::INode* node);
// The node at the index of that list; null with kInvalidFeatureInquire sub-code 4 when outside.
void GetCategoryFeatureAt(GenICamProxy& proxy, GenApi::INode*& out, GenApi::INode* node,
                          int64_t index, ErrorSink* sink);

// An integer, enumeration or boolean as an integer. 0, the look-up's result,
// or kGenICamFailed (a node of another type records kInvalidFeatureInquire sub-code 3).
int64_t ReadFeatureInteger(GenICamProxy& proxy, const GenICam::gcstring& name, int64_t& value,
                           ErrorSink* sink);

// Any value as its text. 0, the look-up's result, or kGenICamFailed.
int64_t ReadFeatureString(GenICamProxy& proxy, const GenICam::gcstring& name,
                          GenICam::gcstring& value, ErrorSink* sink);
// Any value from its text. 0, the look-up's result, or kGenICamFailed.
int64_t WriteFeatureString(GenICamProxy& proxy, const GenICam::gcstring& name,
                           const GenICam::gcstring& value, ErrorSink* sink, bool verify);
// An integer, enumeration (by value) or boolean (non-zero is true). 0, the
// look-up's result, or kGenICamFailed (a node of another type records kInvalidFeatureInquire
// sub-code 3).
int64_t WriteFeatureInteger(GenICamProxy& control, const GenICam::gcstring& name, int64_t value,
                            ErrorSink* sink, bool verify);

// "Vendor Model", or the model alone for the maker's own devices.
std::string GetDeviceDisplayLabel(GenICamProxy& proxy);

// True once the sink holds an error; later steps of a feature access then do nothing.
bool ErrorRecorded(const ErrorSink& sink);

// A GenICam exception met while controlling or inquiring the feature, recorded under code
// (kInvalidFeatureControl or kInvalidFeatureInquire) with the exception's description.
void RecordFeatureException(int64_t code, const GenICam::GenericException& e,
                            const GenICam::gcstring& name, ErrorSink& sink);

// Records code on the calling thread's context of the system; a null code
// records nothing.
void SetSystemThreadError(const frame::QDBaseSystem& system, const int32_t* code);

}  // namespace zor::genicam
