#include "platform/os/diag/debug_output.h"

#include <unistd.h>

#include <deque>
#include <mutex>

#include "platform/os/process/environment.h"
#include "platform/os/text/convert.h"

namespace os {
namespace {

// Older texts are dropped beyond this, so nobody reading lets memory grow.
constexpr size_t kKeptTexts = 10000;

struct DebugSink {
  std::mutex mutex;
  std::deque<std::wstring> texts;
};

DebugSink& Sink() {
  static DebugSink& sink = *new DebugSink;
  return sink;
}

bool CopyToStderr() {
  const std::string value = detail::Setting("ZOR_DEBUG_OUTPUT");
  return !value.empty() && value != "0";
}

}  // namespace

void OutputDebugString(const wchar_t* text) {
  const std::wstring copy = text == nullptr ? L"" : text;
  if (CopyToStderr()) {
    const std::string narrow = WideToUtf8(copy);
    (void)!write(STDERR_FILENO, narrow.data(), narrow.size());
  }
  DebugSink& sink = Sink();
  std::lock_guard lock(sink.mutex);
  sink.texts.push_back(copy);
  if (sink.texts.size() > kKeptTexts) sink.texts.pop_front();
}

void OutputDebugStringA(const char* text) {
  OutputDebugString(Utf8ToWide(text == nullptr ? "" : text).c_str());
}

std::vector<std::wstring> TakeDebugOutput() {
  DebugSink& sink = Sink();
  std::lock_guard lock(sink.mutex);
  std::vector<std::wstring> texts(sink.texts.begin(), sink.texts.end());
  sink.texts.clear();
  return texts;
}

}  // namespace os
