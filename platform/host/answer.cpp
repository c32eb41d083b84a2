#include "platform/host/answer.h"

#include <cwchar>
#include <limits>

#include "platform/host/hosterror.h"

namespace zorhost {

QINT64 ToInteger(double value) {
  constexpr double kLimit = 9.2233720368547758e18;  // 2^63
  if (!(value > -kLimit)) return value != value ? 0 : std::numeric_limits<QINT64>::min();
  if (value >= kLimit) return std::numeric_limits<QINT64>::max();
  return static_cast<QINT64>(value);
}

QINT64 AnswerValue(void* out, QINT64 value) {
  if (out != nullptr) *static_cast<QINT64*>(out) = value;
  return value;
}

QINT64 AnswerText(const std::wstring& text, QINT64 type, void* out) {
  const auto length = static_cast<QINT64>(text.size()) + 1;
  if (IsSizeQuery(type)) return AnswerValue(out, length);
  if (out != nullptr) std::wmemcpy(static_cast<wchar_t*>(out), text.c_str(), length);
  return length;
}

bool AnswerCommon(const HostObject& object, QINT64 type, void* out, QINT64* answer) {
  switch (PlainType(type)) {
    case Q_OBJECT_TYPE:
      *answer = AnswerValue(out, object.type);
      return true;
    case Q_OWNER_SYSTEM:
      // A system is its own owner, so that its ports reach it like any other object's.
      *answer = AnswerValue(out, object.type == Q_SYSTEM ? object.id : object.owner);
      return true;
    case Q_OBJECT_NAME:
      *answer = AnswerText(object.Name(), type, out);
      return true;
    default:
      break;
  }
  const std::optional<QINT64> stored = object.settings.Get(type);
  if (!stored) return false;
  *answer = AnswerValue(out, *stored);
  return true;
}

QINT64 EventInfo(QID event, QINT64 type, void* out) {
  auto object = LookupObject(event, 0);
  if (object == nullptr) return 0;
  const std::optional<QINT64> info = object->settings.Get(type);
  if (!info) {
    RecordError(Q_ERR_INVALID_PARAMETER, L"The event has no such information.");
    return 0;
  }
  return AnswerValue(out, *info);
}

QINT64 ApplyHook(HookList& hooks, QINT64 type, QHOOK_FUNCTION function, void* user) {
  if (hooks.Apply(type, function, user)) return 1;
  RecordError(Q_ERR_INVALID_PARAMETER, L"No such hook.");
  return 0;
}

}  // namespace zorhost
