#pragma once

namespace GenICam {

// Receives the warnings the runtime gives about device files it still
// loads, such as a value the schema does not allow.
using LogHandler = void (*)(const char* message);

// Installs the handler for the whole process; null restores the default,
// which writes each warning as a line on stderr.
void SetLogHandler(LogHandler handler);
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace GenICam
