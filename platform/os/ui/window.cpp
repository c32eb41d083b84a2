#include "platform/os/ui/window.h"

#include <deque>
#include <mutex>

namespace os {
namespace {

// Older messages are dropped beyond this, so nobody reading lets memory grow.
constexpr size_t kKeptMessages = 1000;

struct MessageLog {
  std::mutex mutex;
  std::deque<SentMessage> messages;
};

MessageLog& Log() {
  static MessageLog& log = *new MessageLog;
  return log;
}

}  // namespace

Handle FindWindow(const wchar_t*, const wchar_t*) { return kNullHandle; }

uint32_t WaitForInputIdle(uint32_t, uint32_t) { return 0; }

int64_t SendMessage(Handle window, uint32_t message, uint64_t, const CopyDataStruct* data) {
  SentMessage sent;
  sent.window = window;
  sent.message = message;
  if (message == WM_COPYDATA && data != nullptr) {
    sent.dwData = data->dwData;
    const auto* bytes = static_cast<const uint8_t*>(data->lpData);
    if (bytes != nullptr) sent.bytes.assign(bytes, bytes + data->cbData);
  }
  MessageLog& log = Log();
  std::lock_guard lock(log.mutex);
  log.messages.push_back(std::move(sent));
  if (log.messages.size() > kKeptMessages) log.messages.pop_front();
  return 0;
}

std::vector<SentMessage> TakeSentMessages() {
  MessageLog& log = Log();
  std::lock_guard lock(log.mutex);
  std::vector<SentMessage> messages(log.messages.begin(), log.messages.end());
  log.messages.clear();
  return messages;
}

}  // namespace os
