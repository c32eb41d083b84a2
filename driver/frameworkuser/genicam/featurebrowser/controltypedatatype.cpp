// The variable type example code declares for a control type, from the type's number ranges.
#include "driver/frameworkuser/genicam/featurebrowser/controltypedatatype.h"

#include <algorithm>
#include <initializer_list>

#include "platform/host/qtypes.h"

namespace zor::genicam {
namespace {

constexpr int64_t kApplication = 0x200;
constexpr int64_t kImage = 0x4;
constexpr int64_t kArray = 0x40;
constexpr int64_t kLut = 0x40000;
constexpr int64_t kDigitizer = 0x100000;
constexpr int64_t kDisplay = 0x200000;
constexpr int64_t kKernel = 0x400000;
constexpr int64_t kSystem = 0x800000;
constexpr int64_t kStructElement = 0x8000000;
constexpr int64_t kContainer = 0x80000000;

// Bits 36 to 39 of a control type: its data type (Q_TYPE_DOUBLE, Q_TYPE_INT64, an object id).
constexpr int64_t kDataTypeField = 0xF000000000;
constexpr int64_t kDataTypeId = 0x6000000000;

struct Range {
  int64_t first;
  int64_t last;
};

bool InAny(int64_t value, std::initializer_list<Range> ranges) {
  return std::any_of(ranges.begin(), ranges.end(),
                     [value](const Range& r) { return value >= r.first && value <= r.last; });
}

bool IsOneOf(int64_t value, std::initializer_list<int64_t> values) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

bool IsBufferLike(int64_t objectType) {
  return IsOneOf(objectType, {kLut, kImage, kArray, kKernel, kStructElement, kContainer});
}

}  // namespace

std::string ControlTypeDataType(int64_t objectType, int64_t controlType) {
  const bool listed = IsBufferLike(objectType) ||
                      IsOneOf(objectType, {kDigitizer, kSystem, kDisplay, kApplication});
  if (!listed) {
    switch (controlType & kDataTypeField) {
      case Q_TYPE_DOUBLE:
        return "ZOR_DOUBLE";
      case kDataTypeId:
        return "ZOR_ID";
      case Q_TYPE_INT64:
        return "ZOR_INT64";
      default:
        return "ZOR_INT";
    }
  }
  // The data-type bits above 32 combine with a control type; the type itself lies below.
  const int64_t type = controlType & 0xFFFFFFFF;
  if (InAny(type, {{6700, 6799}})) return "ZOR_INT64";
  if (IsBufferLike(objectType) && IsOneOf(type, {8453, 32768})) return "ZOR_INT64";

  if (objectType == kDigitizer && InAny(type, {{6000, 6699}, {133072, 134072}, {237568, 260096}})) {
    return "ZOR_DOUBLE";
  }
  if (objectType == kSystem && (InAny(type, {{7300, 7399}, {133072, 134072}}) || type == 5136)) {
    return "ZOR_DOUBLE";
  }
  if (objectType == kApplication && type == 15001) return "ZOR_DOUBLE";
  if (IsBufferLike(objectType) && InAny(type, {{0x2000000, 0x4000000}})) return "ZOR_DOUBLE";

  if (objectType == kDigitizer && (InAny(type, {{1100, 1199}}) || IsOneOf(type, {1049, 5328}))) {
    return "ZOR_ID";
  }
  if ((objectType == kSystem || objectType == kDisplay) &&
      (InAny(type, {{1100, 1199}}) || type == 1049)) {
    return "ZOR_ID";
  }
  if (objectType == kApplication && type == 15021) return "ZOR_ID";

  if (objectType == kDigitizer && InAny(type, {{7700, 7999}})) return "ZOR_STRING";
  if (objectType == kSystem && InAny(type, {{7700, 7799}})) return "ZOR_STRING";
  if (IsBufferLike(objectType) &&
      (IsOneOf(type & ~int64_t{0x38}, {0x10000, 0x80000, 0x400000, 0x40000000}) ||
       IsOneOf(type, {9002, 9031}))) {
    return "ZOR_INT8*";
  }
  return "ZOR_INT";
}

}  // namespace zor::genicam
