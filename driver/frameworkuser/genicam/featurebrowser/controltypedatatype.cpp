// The variable type example code declares for a control type, from the type's number ranges.
#include "driver/frameworkuser/genicam/featurebrowser/controltypedatatype.h"

#include <algorithm>
#include <initializer_list>

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "platform/host/qtypes.h"

namespace zor::genicam {
namespace {

using namespace objecttype;

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

using foundation::OneOf;

}  // namespace

std::string ControlTypeDataType(int64_t objectType, int64_t controlType) {
  const bool listed = IsBufferObjectType(objectType) ||
                      OneOf(objectType, {kDigitizer, kSystem, kDisplay, kApplication});
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
  if (IsBufferObjectType(objectType) && OneOf(type, {8453, 32768})) return "ZOR_INT64";

  if (objectType == kDigitizer && InAny(type, {{6000, 6699}, {133072, 134072}, {237568, 260096}})) {
    return "ZOR_DOUBLE";
  }
  if (objectType == kSystem && protocol::IsDoubleSystemType(type)) return "ZOR_DOUBLE";
  if (objectType == kApplication && type == 15001) return "ZOR_DOUBLE";
  if (IsBufferObjectType(objectType) && InAny(type, {{0x2000000, 0x4000000}})) return "ZOR_DOUBLE";

  if (objectType == kDigitizer && (InAny(type, {{1100, 1199}}) || OneOf(type, {1049, 5328}))) {
    return "ZOR_ID";
  }
  if ((objectType == kSystem || objectType == kDisplay) &&
      (InAny(type, {{1100, 1199}}) || type == 1049)) {
    return "ZOR_ID";
  }
  if (objectType == kApplication && type == 15021) return "ZOR_ID";

  if (objectType == kDigitizer && InAny(type, {{7700, 7999}})) return "ZOR_STRING";
  if (objectType == kSystem && InAny(type, {{7700, 7799}})) return "ZOR_STRING";
  if (IsBufferObjectType(objectType) &&
      (OneOf(type & ~int64_t{0x38}, {0x10000, 0x80000, 0x400000, 0x40000000}) ||
       OneOf(type, {9002, 9031}))) {
    return "ZOR_INT8*";
  }
  return "ZOR_INT";
}

}  // namespace zor::genicam
