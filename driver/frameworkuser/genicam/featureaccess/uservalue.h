// The caller's variable of feature control and inquiry: read as an integer or
// written from a result, converted by the caller's data type. A variable is
// never read or written past the size that the command gave for it.
#pragma once

#include <cstdint>
#include <string>

#include "driver/frameworkuser/errortable/errorcodes.h"

namespace zor::frame {
class QDDriverThreadContext;
}

namespace zor::genicam {

using ErrorSink = frame::QDDriverThreadContext;

// Feature data types of the caller's variable.
inline constexpr int64_t kTypeInt64 = 0x8000000000;
inline constexpr int64_t kTypeInt32 = 0x3000000000;
inline constexpr int64_t kTypeInt16 = 0x2000000000;
inline constexpr int64_t kTypeUInt8 = 0xA000000000;
inline constexpr int64_t kTypeDouble = 0x5000000000;
inline constexpr int64_t kTypeFloat = 0x4000000000;
inline constexpr int64_t kTypeBoolean = 0x1000000;
inline constexpr int64_t kTypeString = 0x7000000000;
inline constexpr int64_t kTypeEnumeration = 0x40000000;
inline constexpr int64_t kTypeCommand = 0x8000;
inline constexpr int64_t kTypeCategory = 0x2000;
inline constexpr int64_t kTypeRegister = 0x80000000;
inline constexpr int64_t kTypeDefault = 0x10000000;
// Variants: any value as text, a 32-bit integer or a text for an enumeration,
// a register as text.
inline constexpr int64_t kTypeAnyText = 0x7000004000;
inline constexpr int64_t kTypeInt32Enumeration = 0x3040000000;
inline constexpr int64_t kTypeTextEnumeration = 0x7040000000;
inline constexpr int64_t kTypeRegisterText = 0x7080000000;
// Cleared from every data type before it is tested.
inline constexpr int64_t kTypeIgnoredBit = 0x1000000000000;

using errorcode::kControlFlagError;
using errorcode::kInquireFlagError;

struct UserVariable {
  void* data = nullptr;
  int64_t size = 0;  // bytes available at data
};

bool IsNumericUserValueType(int64_t code);
bool IsStringUserType(int64_t code);

// 0 after an error (kControlFlagError sub-code 3 for a code not taken, kInquireFlagError sub-code 3
// for a variable smaller than its type).
int64_t ReadUserValueAsInt64(int64_t code, const UserVariable& variable, ErrorSink* sink);
void WriteUserValueFromBool(int64_t code, const UserVariable& variable, int32_t value,
                            ErrorSink* sink);
void WriteUserValueFromDouble(int64_t code, const UserVariable& variable, double value,
                              ErrorSink* sink);
void WriteUserValueFromInt64(int64_t code, const UserVariable& variable, int64_t value,
                             ErrorSink* sink);
void WriteUserValueFromUInt64(int64_t code, const UserVariable& variable, uint64_t value,
                              ErrorSink* sink);

// Wide characters that the variable holds.
int64_t UserTextRoom(const UserVariable& variable);
// Copies text and terminator when they fit; else copies nothing and records
// kInquireFlagError sub-code 3.
void CopyUserText(const UserVariable& variable, const std::wstring& text, ErrorSink* sink);
// Copies as much as fits with a terminator; nothing into a room of no character.
void CopyUserTextTruncated(const UserVariable& variable, const std::wstring& text);
// The caller's wide text; empty for a null variable. Reads at most the room.
std::wstring ReadUserText(const UserVariable& variable);

}  // namespace zor::genicam
