// Session facts and messages to the console session. By default the process
// runs in the console session (both ids 1); tests may change the facts.
#pragma once

#include <cstdint>

namespace os {

uint32_t WTSGetActiveConsoleSessionId();
bool ProcessIdToSessionId(uint32_t processId, uint32_t* sessionId);
void SetSessionFacts(uint32_t processSession, uint32_t consoleSession);

// Shows the message in the session (through the message-box path) and
// answers the button chosen. Lengths are in bytes including the NUL. False
// with ERROR_INVALID_PARAMETER for a session other than the console's.
bool WTSSendMessage(uint32_t sessionId, const wchar_t* title, uint32_t titleBytes,
                    const wchar_t* message, uint32_t messageBytes, uint32_t style,
                    uint32_t timeoutSeconds, int* response, bool wait);

}  // namespace os
