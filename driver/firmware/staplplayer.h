// The STAPL player: runs a script's action on the current JTAG port.
#pragma once

#include <cstdint>

namespace zor::firmware {

// One request to the STAPL player. The first five bytes of the script receive the results:
// byte 0 the device count, bytes 1-4 the captured value, least significant byte first.
struct StaplPlayerRequest {
  uint8_t deviceNumber;
  char* script;
  int32_t scriptLength;
  const char* actionName;
};

// The text of a program's exit code: "Success", "Device verify failure", ...
const char* StaplExitText(int32_t code);

// Runs one action of the script on the current JTAG port; 0 on success, 1 on any failure
// (also when no port exists or another run is in progress).
int RunStaplPlayer(StaplPlayerRequest* request);

}  // namespace zor::firmware
