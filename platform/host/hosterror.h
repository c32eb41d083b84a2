// The host error of the calling thread: what failed, with which codes and texts.
#pragma once

#include "platform/host/errortext.h"
#include "platform/host/qtypes.h"

namespace zorhost {

struct HostError {
  QINT64 code = 0;
  QINT64 sub[3] = {0, 0, 0};
  ErrorText function;
  ErrorText message;
  ErrorText subText[3];

  int SubCount() const;
  // Back to no error, without building a new one.
  void Clear();
};

// A host error of the host's own table, with up to three detail texts.
HostError MakeHostError(QINT64 code, ErrorText detail = {}, ErrorText detail2 = {});

// The calling thread's error. Recording prints it when the application asks for it and calls
// the application's error hooks.
const HostError& CurrentError();
void RecordError(const HostError& error);
// Records an error of the host's own table, in place.
void RecordError(QINT64 code, ErrorText detail = {}, ErrorText detail2 = {});
void ClearError();
// Saves the thread's error state and starts a clean one; Restore() takes back the state saved
// under the token and drops any saved after it.
QINT64 SaveErrorState();
void RestoreErrorState(QINT64 token);

// Answers the GetError types (Q_CURRENT and the others); false for an unknown type.
bool InquireError(QINT64 type, void* out, QINT64* answer);

}  // namespace zorhost
