// The host's trace: the notes drivers send, one line each, appended to the file
// that the environment variable ZOR_TRACE_FILE names (no trace without it).
#pragma once

#include "interfaces/hostcommand/tracenote.h"
#include "platform/host/qtypes.h"

namespace zorhost {

void TraceNote(const zor::hostcommand::TraceNote& note);
// A library the driver loads (kLibraryLoading) or has loaded (kLibraryLoaded,
// with its module, 0 when the load failed).
void TraceLibraryNote(QINT64 type, QID module, const wchar_t* name);

}  // namespace zorhost
