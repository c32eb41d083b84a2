// The variable type example code declares for a control type, from the type's number ranges.
#include "driver/frameworkuser/genicam/featurebrowser/controltypedatatype.h"

#include <span>

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "driver/frameworkuser/protocol/buffertypes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
#include "driver/frameworkuser/protocol/typeclasses.h"
#include "platform/host/qtypes.h"

namespace zor::genicam {
namespace {

using foundation::IntRange;

// Bits 36 to 39 of a control type: its data type (Q_TYPE_DOUBLE, Q_TYPE_INT64, an object id).
constexpr int64_t kDataTypeField = 0xF000000000;
constexpr int64_t kDataTypeId = 0x6000000000;

struct DataTypeField {
  int64_t field;
  const char* dataType;
};
constexpr DataTypeField kDataTypeFields[] = {
    {Q_TYPE_DOUBLE, "ZOR_DOUBLE"}, {kDataTypeId, "ZOR_ID"}, {Q_TYPE_INT64, "ZOR_INT64"}};

// The object types a row applies to.
enum class Objects { kListed, kDigitizer, kSystem, kSystemOrDisplay, kApplication, kBuffer };

bool Applies(Objects objects, int64_t objectType) {
  switch (objects) {
    case Objects::kListed:
      return true;
    case Objects::kDigitizer:
      return objectType == objecttype::kDigitizer;
    case Objects::kSystem:
      return objectType == objecttype::kSystem;
    case Objects::kSystemOrDisplay:
      return objectType == objecttype::kSystem || objectType == objecttype::kDisplay;
    case Objects::kApplication:
      return objectType == objecttype::kApplication;
    case Objects::kBuffer:
      return IsBufferObjectType(objectType);
  }
  return false;
}

struct DataTypeRow {
  Objects objects;
  std::span<const IntRange> types;
  const char* dataType;
  int64_t ignoredBits = 0;  // left out of the type before it is compared
};

constexpr int64_t kBandBits = protocol::kFirstBand | protocol::kSecondBand | protocol::kThirdBand;

// Tried in order: 64-bit, double, identifier, string, then byte-array types.
constexpr DataTypeRow kDataTypeRows[] = {
    {Objects::kListed, protocol::kDefaultInputTypes, "ZOR_INT64"},
    {Objects::kBuffer, protocol::kBufferInputTypes, "ZOR_INT64"},
    {Objects::kDigitizer, protocol::kDigitizerDoubleClasses, "ZOR_DOUBLE"},
    {Objects::kSystem, protocol::kDoubleSystemTypes, "ZOR_DOUBLE"},
    {Objects::kApplication, protocol::kApplicationDoubleTypes, "ZOR_DOUBLE"},
    {Objects::kBuffer, protocol::kBufferDoubleTypes, "ZOR_DOUBLE"},
    {Objects::kDigitizer, protocol::kObjectIdTypes, "ZOR_ID"},
    {Objects::kDigitizer, protocol::kDigitizerIdTypes, "ZOR_ID"},
    {Objects::kSystemOrDisplay, protocol::kObjectIdTypes, "ZOR_ID"},
    {Objects::kApplication, protocol::kApplicationIdTypes, "ZOR_ID"},
    {Objects::kDigitizer, protocol::kDigitizerMapTextTypes, "ZOR_STRING"},
    {Objects::kSystem, protocol::kMapTextTypes, "ZOR_STRING"},
    {Objects::kBuffer, protocol::kBufferAddressTypes, "ZOR_INT8*", kBandBits},
    {Objects::kBuffer, protocol::kBufferByteTypes, "ZOR_INT8*"},
};

// An object type outside the rows: the data-type bits of the control type alone decide.
const char* DataTypeOfField(int64_t controlType) {
  for (const DataTypeField& entry : kDataTypeFields) {
    if ((controlType & kDataTypeField) == entry.field) return entry.dataType;
  }
  return "ZOR_INT";
}

bool IsListed(int64_t objectType) {
  return IsBufferObjectType(objectType) ||
         foundation::OneOf(objectType, {objecttype::kDigitizer, objecttype::kSystem,
                                        objecttype::kDisplay, objecttype::kApplication});
}

}  // namespace

std::string ControlTypeDataType(int64_t objectType, int64_t controlType) {
  if (!IsListed(objectType)) return DataTypeOfField(controlType);
  // The data-type bits above 32 combine with a control type; the type itself lies below.
  const int64_t type = controlType & 0xFFFFFFFF;
  for (const DataTypeRow& row : kDataTypeRows) {
    if (Applies(row.objects, objectType) &&
        foundation::InAnyRange(type & ~row.ignoredBits, row.types)) {
      return row.dataType;
    }
  }
  return "ZOR_INT";
}

}  // namespace zor::genicam
