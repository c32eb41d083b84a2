// The variable type example code declares for a control type, from the type's number ranges.
#include "driver/frameworkuser/genicam/featurebrowser/controltypedatatype.h"

#include <span>

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/genicam/genicamcontrol/objectclasstable.h"
#include "driver/frameworkuser/protocol/buffertypes.h"
#include "driver/frameworkuser/protocol/systemtypes.h"
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

constexpr IntRange kAnyInt64[] = {{6700, 6799}};
constexpr IntRange kBufferInt64[] = {{8453, 8453}, {32768, 32768}};
constexpr IntRange kDigitizerDoubles[] = {{6000, 6699}, {133072, 134072}, {237568, 260096}};
constexpr IntRange kApplicationDoubles[] = {{15001, 15001}};
constexpr IntRange kBufferDoubles[] = {{0x2000000, 0x4000000}};
constexpr IntRange kDigitizerIds[] = {
    {1100, 1199}, {Q_HOST_OBJECT_ID, Q_HOST_OBJECT_ID}, {5328, 5328}};
constexpr IntRange kSystemIds[] = {{1100, 1199}, {Q_HOST_OBJECT_ID, Q_HOST_OBJECT_ID}};
constexpr IntRange kApplicationIds[] = {{15021, 15021}};
constexpr IntRange kDigitizerStrings[] = {{7700, 7999}};
constexpr IntRange kSystemStrings[] = {{7700, 7799}};
// Buffer addresses, whichever band they name.
constexpr IntRange kBufferAddresses[] = {{Q_HOST_ADDRESS, Q_HOST_ADDRESS},
                                         {0x80000, 0x80000},
                                         {0x400000, 0x400000},
                                         {Q_PHYSICAL_ADDRESS, Q_PHYSICAL_ADDRESS}};
constexpr IntRange kBufferByteTypes[] = {{9002, 9002}, {9031, 9031}};
constexpr int64_t kBandBits = protocol::kFirstBand | protocol::kSecondBand | protocol::kThirdBand;

// Tried in order: 64-bit, double, identifier, string, then byte-array types.
constexpr DataTypeRow kDataTypeRows[] = {
    {Objects::kListed, kAnyInt64, "ZOR_INT64"},
    {Objects::kBuffer, kBufferInt64, "ZOR_INT64"},
    {Objects::kDigitizer, kDigitizerDoubles, "ZOR_DOUBLE"},
    {Objects::kSystem, protocol::kDoubleSystemTypes, "ZOR_DOUBLE"},
    {Objects::kApplication, kApplicationDoubles, "ZOR_DOUBLE"},
    {Objects::kBuffer, kBufferDoubles, "ZOR_DOUBLE"},
    {Objects::kDigitizer, kDigitizerIds, "ZOR_ID"},
    {Objects::kSystemOrDisplay, kSystemIds, "ZOR_ID"},
    {Objects::kApplication, kApplicationIds, "ZOR_ID"},
    {Objects::kDigitizer, kDigitizerStrings, "ZOR_STRING"},
    {Objects::kSystem, kSystemStrings, "ZOR_STRING"},
    {Objects::kBuffer, kBufferAddresses, "ZOR_INT8*", kBandBits},
    {Objects::kBuffer, kBufferByteTypes, "ZOR_INT8*"},
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
