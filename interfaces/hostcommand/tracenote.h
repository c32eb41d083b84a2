// A trace note that a driver sends to the host library with
// HostAppControl(Q_DEFAULT, kTraceNoteControl, address of the note).
#pragma once

#include <cstdint>

namespace zor::hostcommand {

inline constexpr int64_t kTraceNoteControl = 15381;

// Kinds of the note's value.
inline constexpr int64_t kTraceNone = 1;
inline constexpr int64_t kTraceByte = 2;
inline constexpr int64_t kTraceNumber = 5;
inline constexpr int64_t kTraceAddress = 36;
inline constexpr int64_t kTraceId = 38;

struct TraceNote {
  int64_t code;
  int64_t value;
  int64_t kind;
};

// Notes around a library the driver loads: before, with the name as the
// value; after, with the module as the object and the name as the value.
inline constexpr int64_t kLibraryLoading = 121;
inline constexpr int64_t kLibraryLoaded = 122;

}  // namespace zor::hostcommand
