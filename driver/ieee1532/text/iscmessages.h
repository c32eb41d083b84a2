// The engine's message lines, warnings and stopping errors.
#pragma once

#include <cstdint>
#include <cstdio>

#include "driver/ieee1532/text/enginestop.h"

namespace zor::isc {

struct IscInputFile;

constexpr int kIscWarning = 100;
constexpr int kIscError = 101;

// Flags of IscWriteMessageLine.
constexpr int kIscLineClear = 1;   // blank the status line
constexpr int kIscLineStatus = 2;  // overwrite the status line
constexpr int kIscLineBreakFirst = 4;
constexpr int kIscLineReturnAfter = 8;
constexpr int kIscLineBreakAfter = 16;
constexpr int kIscLinePlain = kIscLineBreakAfter;

constexpr size_t kIscMessageBufferSize = 299;
constexpr size_t kIscMessagePieceSize = 500;

void IscWriteMessageLine(const char* text, int flags);
// printf-style message line; the text is measured first, so nothing is cut.
void IscMessagef(int flags, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Warnings count and print; errors print and throw EngineStop, and the engine frees its state
// once that has unwound out of it.
void IscReportMessage(int code, const char* text, bool showLine, IscInputFile* record);
void IscReportf(int code, bool showLine, IscInputFile* record, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Prints "[text] range[low <= value <= high]" when value is outside; stops when code is an error.
void IscCheckRange(int code, const char* text, int64_t low, int64_t value, int64_t high);

// Log file of the run ("-l"); messages are copied to it while it is open.
void IscSetLogFile(FILE* log);
FILE* IscLogFile();

}  // namespace zor::isc
