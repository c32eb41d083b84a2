// The messages of the host's own error codes.
#pragma once

#include "platform/host/errortext.h"
#include "platform/host/qtypes.h"

namespace zorhost {

// The host's codes run without a gap from the first to the last; each has its message here.
inline constexpr QINT64 kFirstHostError = Q_ERR_INVALID_ID;
inline constexpr QINT64 kLastHostError = Q_ERR_HOOK;

// "Unknown error." for a code of no one's table.
inline ErrorText HostMessageText(QINT64 code) {
  switch (code) {
    case Q_ERR_INVALID_ID:
      return L"Invalid identifier.";
    case Q_ERR_NULL_POINTER:
      return L"A required pointer is null.";
    case Q_ERR_INVALID_PARAMETER:
      return L"Invalid parameter.";
    case Q_ERR_WRONG_OBJECT_TYPE:
      return L"The identifier does not name an object of the right type.";
    case Q_ERR_SYSTEM_NOT_FOUND:
      return L"The system driver could not be loaded.";
    case Q_ERR_NOT_SUPPORTED:
      return L"Operation not supported.";
    case Q_ERR_OUT_OF_MEMORY:
      return L"Not enough memory.";
    case Q_ERR_FILE:
      return L"File access error.";
    case Q_ERR_DRIVER:
      return L"The system driver did not carry out the command.";
    case Q_ERR_HOOK:
      return L"A hook or thread function failed.";
    default:
      return L"Unknown error.";
  }
}

}  // namespace zorhost
