#include "platform/genapi/base/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/genapi/base/exceptions.h"

namespace GenICam {
namespace {

std::atomic<LogHandler> handler{nullptr};

}  // namespace

void SetLogHandler(LogHandler newHandler) { handler.store(newHandler); }

void LogWarning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatDescription(format, args);
  va_end(args);
  if (LogHandler current = handler.load()) {
    current(text.c_str());
  } else {
    std::fprintf(stderr, "GenApi warning: %s\n", text.c_str());
  }
}

}  // namespace GenICam
