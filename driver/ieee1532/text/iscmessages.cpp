// The engine's messages: lines to the log, warnings counted, errors that stop the run.
#include "driver/ieee1532/text/iscmessages.h"

#include <cstdarg>
#include <cstring>
#include <ctime>
#include <string>

#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/text/iscinputfile.h"

namespace zor::isc {

namespace {

void Emit(const std::string& text) {
  for (size_t at = 0; at < text.size(); at += kIscMessagePieceSize - 1) {
    std::string piece = text.substr(at, kIscMessagePieceSize - 1);
    IscPortMessage(piece.c_str());
  }
  if (FILE* log = IscLogFile()) fputs(text.c_str(), log);
}

std::string VFormat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int size = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (size <= 0) return {};
  std::string text(static_cast<size_t>(size), '\0');
  vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

std::string NowText() {
  time_t now = time(nullptr);
  char buffer[64] = {};
  ctime_r(&now, buffer);
  return buffer;
}

}  // namespace

void IscSetLogFile(FILE* log) { IscState().log.reset(log); }
FILE* IscLogFile() { return IscState().log.get(); }

void IscWriteMessageLine(const char* text, int flags) {
  std::string line;
  bool status = (flags & (kIscLineClear | kIscLineStatus)) != 0;
  if (status) line += '\r';
  if (flags & kIscLineBreakFirst) line += '\n';
  size_t start = line.size();
  if (!(flags & kIscLineClear) && text != nullptr) line += text;
  if (status && line.size() - start < 79) line.append(79 - (line.size() - start), ' ');
  if (flags & (kIscLineClear | kIscLineReturnAfter)) line += '\r';
  if (flags & kIscLineBreakAfter) line += '\n';
  Emit(line);
}

void IscMessagef(int flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  IscWriteMessageLine(text.c_str(), flags);
}

void IscReportMessage(int code, const char* text, bool showLine, IscInputFile* record) {
  char buffer[kIscMessageBufferSize] = {};
  if (record != nullptr && code == kIscWarning) {
    ++record->warnings;
    strcpy(buffer, "Warning: ");
  } else if (record != nullptr && code == kIscError) {
    strcpy(buffer, "Error  : ");
  }
  // The composed message is cut at the buffer's end.
  size_t used = strlen(buffer);
  size_t length = text != nullptr ? strnlen(text, sizeof(buffer) - 1 - used) : 0;
  memcpy(buffer + used, text, length);
  buffer[used + length] = '\0';
  IscWriteMessageLine(buffer, kIscLinePlain);
  if (record != nullptr && showLine) {
    IscMessagef(kIscLinePlain, "[%s: line %ld]:[%s]", record->name.c_str(),
                static_cast<long>(record->line), record->token.c_str());
  }
  if (code == kIscError) {
    // A run that stops has not passed, whatever the last action did.
    IscPortSetFailureWord(1);
    IscMessagef(kIscLinePlain, "*** Program stopped at %s", NowText().c_str());
    // The engine releases its state once this has unwound out of it: callers up the stack still
    // hold references into it.
    throw EngineStop{};
  }
}

void IscReportf(int code, bool showLine, IscInputFile* record, const char* format, ...) {
  char buffer[kIscMessageBufferSize];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  IscReportMessage(code, buffer, showLine, record);
}

void IscCheckRange(int code, const char* text, int64_t low, int64_t value, int64_t high) {
  if (value >= low && value <= high) return;
  IscReportf(code, false, nullptr, "[%s] range[%ld <= %ld <= %ld]", text, static_cast<long>(low),
             static_cast<long>(value), static_cast<long>(high));
}

}  // namespace zor::isc
