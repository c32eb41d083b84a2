// GetErrorRange and GetErrorMessage: the exported look-ups of the driver's error texts.
#include "driver/frameworkuser/errortable/errorexports.h"

#include "driver/frameworkuser/errortable/messagetable.h"

using zor::frame::ErrorRange;
using zor::frame::kErrorRangeCount;
using zor::frame::kErrorRanges;
using zor::frame::kSubMessagesPerCode;

extern "C" int32_t GetErrorRange(int32_t rangeIndex, uint32_t* firstCode, uint32_t* lastCode,
                                 uint32_t* subCodeCount, const wchar_t** rangeName) noexcept {
  if (subCodeCount != nullptr) *subCodeCount = kSubMessagesPerCode;
  if (rangeIndex < 0 || rangeIndex >= kErrorRangeCount) return -1;
  const ErrorRange& range = kErrorRanges[rangeIndex];
  if (rangeName != nullptr) *rangeName = range.name;
  if (firstCode != nullptr) *firstCode = range.firstCode;
  if (lastCode != nullptr) *lastCode = range.lastCode;
  return 0;
}

extern "C" int32_t GetErrorMessage(int32_t code, int32_t subCode,
                                   const wchar_t** message) noexcept {
  int32_t result = -1;
  for (const ErrorRange& range : kErrorRanges) {
    const bool applies = code >= 0 && static_cast<uint32_t>(code) >= range.firstCode &&
                         static_cast<uint32_t>(code) <= range.lastCode &&
                         static_cast<uint32_t>(subCode) < kSubMessagesPerCode;
    if (!applies) continue;
    const wchar_t* text =
        range.table[(static_cast<uint32_t>(code) - range.baseCode) * kSubMessagesPerCode +
                    static_cast<uint32_t>(subCode)];
    if (text != nullptr && text[0] != L'\0') {
      // A null out pointer cannot take the answer; report it as a failure.
      if (message == nullptr) return -1;
      *message = text;
      return 0;
    }
    result = -2;
  }
  return result;
}
