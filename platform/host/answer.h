// Writing inquiry answers into the caller's variable, and the answer of a hook call.
#pragma once

#include <string>

#include "platform/host/hostobject.h"

namespace zorhost {

inline bool IsSizeQuery(QINT64 type) { return (type & 0xF0000000000) == Q_STRING_SIZE; }
inline QINT64 PlainType(QINT64 type) { return type & ~QINT64{0xF0000000000}; }

// A double setting stored as an integer, saturated to the integer range.
QINT64 ToInteger(double value);
// What a setting stores of a control value.
inline QINT64 SettingValue(QINT64 value) { return value; }
inline QINT64 SettingValue(double value) { return ToInteger(value); }
// Writes the value when out is set; returns it.
QINT64 AnswerValue(void* out, QINT64 value);
// A text answer: its length with the terminator for a size query, else the text itself
// (out must hold that length).
QINT64 AnswerText(const std::wstring& text, QINT64 type, void* out);
// Answers what every object knows: its type, owner, name and stored settings.
bool AnswerCommon(const HostObject& object, QINT64 type, void* out, QINT64* answer);

// What an event object tells about itself (GetHookInfo); records an error when it has no such
// information.
QINT64 EventInfo(QID event, QINT64 type, void* out);

// Adds or removes a hook for a HookFunction call: 1, or 0 with an error when the list refuses.
QINT64 ApplyHook(HookList& hooks, QINT64 type, QHOOK_FUNCTION function, void* user);

// Room for a driver's answer when the caller passes no variable, large enough for a text.
class AnswerRoom {
 public:
  // Only the value is set: clearing the whole room would cost more than the command.
  AnswerRoom() : value_(0) {}
  void* For(void* out) { return out != nullptr ? out : room_; }
  // The answer as a value when the room was used.
  QINT64 Result(void* out) const { return out != nullptr ? 0 : value_; }

 private:
  union {
    QINT64 value_;
    wchar_t room_[Q_ERROR_TEXT_SIZE];
  };
};

}  // namespace zorhost
