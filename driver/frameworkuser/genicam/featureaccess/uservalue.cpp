// Reads and writes the caller's variable by its data type, refusing one too small.
#include "driver/frameworkuser/genicam/featureaccess/uservalue.h"

#include <cstring>
#include <cwchar>

#include "driver/foundation/integerchecks.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"

namespace zor::genicam {
namespace {

void RecordInvalidType(ErrorSink* sink) {
  if (sink != nullptr) sink->SetError(kControlFlagError, 3, 0, 0);
}

void RecordTooSmall(ErrorSink* sink) {
  if (sink != nullptr) sink->SetError(kInquireFlagError, 3, 0, 0);
}

template <typename T>
bool Fits(const UserVariable& variable, ErrorSink* sink) {
  if (variable.data != nullptr && variable.size >= static_cast<int64_t>(sizeof(T))) return true;
  RecordTooSmall(sink);
  return false;
}

template <typename T>
void Store(const UserVariable& variable, T value, ErrorSink* sink) {
  if (Fits<T>(variable, sink)) std::memcpy(variable.data, &value, sizeof(T));
}

template <typename T>
T Load(const UserVariable& variable) {
  T value{};
  std::memcpy(&value, variable.data, sizeof(T));
  return value;
}

// Truncation toward zero without the undefined cases of a plain cast; NaN gives 0.
template <typename T>
T Truncate(double value) {
  return foundation::TruncateSaturated<T>(value, 0);
}

// Stores an integer result of either signedness; the narrow codes keep the
// low bits.
template <typename I>
void StoreInteger(int64_t code, const UserVariable& variable, I value, ErrorSink* sink) {
  switch (code) {
    case kTypeInt64:
      return Store(variable, static_cast<int64_t>(value), sink);
    case kTypeInt32:
      return Store(variable, static_cast<int32_t>(value), sink);
    case kTypeInt16:
      return Store(variable, static_cast<int16_t>(value), sink);
    case kTypeUInt8:
      return Store(variable, static_cast<uint8_t>(value), sink);
    case kTypeDouble:
      return Store(variable, static_cast<double>(value), sink);
    case kTypeFloat:
      return Store(variable, static_cast<float>(value), sink);
    case kTypeBoolean:
      return Store(variable, static_cast<int32_t>(value != 0 ? 1 : 0), sink);
    default:
      RecordInvalidType(sink);
  }
}

}  // namespace

bool IsNumericUserValueType(int64_t code) {
  switch (code) {
    case kTypeBoolean:
    case kTypeInt16:
    case kTypeInt32:
    case kTypeFloat:
    case kTypeDouble:
    case kTypeInt64:
    case kTypeUInt8:
      return true;
    default:
      return false;
  }
}

bool IsStringUserType(int64_t code) { return (code & kTypeString) == kTypeString; }

int64_t ReadUserValueAsInt64(int64_t code, const UserVariable& variable, ErrorSink* sink) {
  switch (code) {
    case kTypeInt64:
    case kTypeDefault:
      return Fits<int64_t>(variable, sink) ? Load<int64_t>(variable) : 0;
    case kTypeInt32:
    case kTypeBoolean:
      return Fits<int32_t>(variable, sink) ? Load<int32_t>(variable) : 0;
    case kTypeInt16:
      return Fits<int16_t>(variable, sink) ? Load<int16_t>(variable) : 0;
    case kTypeUInt8:
      return Fits<uint8_t>(variable, sink) ? Load<uint8_t>(variable) : 0;
    case kTypeDouble:
      return Fits<double>(variable, sink) ? Truncate<int64_t>(Load<double>(variable)) : 0;
    case kTypeFloat:
      return Fits<float>(variable, sink) ? Truncate<int64_t>(Load<float>(variable)) : 0;
    default:
      RecordInvalidType(sink);
      return 0;
  }
}

void WriteUserValueFromBool(int64_t code, const UserVariable& variable, int32_t value,
                            ErrorSink* sink) {
  StoreInteger(code, variable, value, sink);
}

void WriteUserValueFromInt64(int64_t code, const UserVariable& variable, int64_t value,
                             ErrorSink* sink) {
  StoreInteger(code, variable, value, sink);
}

void WriteUserValueFromUInt64(int64_t code, const UserVariable& variable, uint64_t value,
                              ErrorSink* sink) {
  StoreInteger(code, variable, value, sink);
}

void WriteUserValueFromDouble(int64_t code, const UserVariable& variable, double value,
                              ErrorSink* sink) {
  switch (code) {
    case kTypeInt64:
      return Store(variable, Truncate<int64_t>(value), sink);
    case kTypeInt32:
      return Store(variable, Truncate<int32_t>(value), sink);
    case kTypeInt16:
      return Store(variable, static_cast<int16_t>(Truncate<int32_t>(value)), sink);
    case kTypeUInt8:
      return Store(variable, static_cast<uint8_t>(Truncate<int32_t>(value)), sink);
    case kTypeDouble:
      return Store(variable, value, sink);
    case kTypeFloat:
      return Store(variable, static_cast<float>(value), sink);
    case kTypeBoolean:
      return Store(variable, static_cast<int32_t>(value == 0.0 ? 0 : 1), sink);
    default:
      RecordInvalidType(sink);
  }
}

int64_t UserTextRoom(const UserVariable& variable) {
  if (variable.data == nullptr || variable.size < 0) return 0;
  return variable.size / static_cast<int64_t>(sizeof(wchar_t));
}

void CopyUserText(const UserVariable& variable, const std::wstring& text, ErrorSink* sink) {
  const auto needed = static_cast<int64_t>(text.size()) + 1;
  if (UserTextRoom(variable) < needed) {
    RecordTooSmall(sink);
    return;
  }
  std::wmemcpy(static_cast<wchar_t*>(variable.data), text.c_str(), static_cast<size_t>(needed));
}

void CopyUserTextTruncated(const UserVariable& variable, const std::wstring& text) {
  const int64_t room = UserTextRoom(variable);
  if (room < 1) return;
  const auto count = static_cast<size_t>(std::min<int64_t>(room - 1, text.size()));
  auto* out = static_cast<wchar_t*>(variable.data);
  std::wmemcpy(out, text.c_str(), count);
  out[count] = L'\0';
}

std::wstring ReadUserText(const UserVariable& variable) {
  const int64_t room = UserTextRoom(variable);
  if (room < 1) return {};
  const auto* text = static_cast<const wchar_t*>(variable.data);
  return std::wstring(text, wcsnlen(text, static_cast<size_t>(room)));
}

}  // namespace zor::genicam
