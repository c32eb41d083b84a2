// Windows of other programs. No window exists here: look-ups find none, and
// the messages sent to a window are recorded for tests to read.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/os/core/handle.h"

namespace os {

inline constexpr uint32_t WM_COPYDATA = 0x4A;

struct CopyDataStruct {
  uint64_t dwData;
  uint32_t cbData;
  const void* lpData;
};

// Null: no top-level window exists.
Handle FindWindow(const wchar_t* className, const wchar_t* title);

// Returns at once: no program here waits for input in a window.
uint32_t WaitForInputIdle(uint32_t processId, uint32_t milliseconds);

// Records the message (a WM_COPYDATA record with its bytes) and answers 0.
int64_t SendMessage(Handle window, uint32_t message, uint64_t wParam, const CopyDataStruct* data);

struct SentMessage {
  Handle window = kNullHandle;
  uint32_t message = 0;
  uint64_t dwData = 0;
  std::vector<uint8_t> bytes;
};
// The messages sent so far, oldest first; reading empties the record.
std::vector<SentMessage> TakeSentMessages();

}  // namespace os
