// RunStaplPlayer: runs a STAPL script on the current JTAG port and captures its results.
#include "driver/firmware/staplplayer.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "driver/firmware/stapl/staplexecute.h"
#include "driver/firmware/staplporthost.h"

namespace zor::firmware {

namespace {

constexpr std::string_view kCountPrefix = "Nombre device: ";
constexpr std::string_view kDevicePrefix = "Numero du device: ";
constexpr size_t kIdCodeLabel = 10;  // " Id code: "

// The discovery scripts print the device count and the IDCODEs; the player captures them
// from the printed lines instead of showing them.
class CStaplPlayerHost : public CStaplPortHost {
 public:
  CStaplPlayerHost(const StaplPlayerRequest& request, CJtagProgrammer& port)
      : CStaplPortHost(request.script, request.scriptLength, port),
        requested_(request.deviceNumber) {}

  void StaplMessage(const char* text) override { StaplPrintf("%s\n", text); }
  void StaplExport(const char*, int64_t) override {}
  void StaplExportBits(const char*, const uint32_t*, int64_t) override {}

  void StaplPrintf(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char buffer[8192 + 2];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::string_view line = buffer;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    Capture(line);
  }

  uint8_t Count() const { return count_; }
  int32_t Value() const { return value_; }

 private:
  void Capture(std::string_view line) {
    if (line.substr(0, kCountPrefix.size()) == kCountPrefix) {
      uint8_t count = 0;
      for (char c : line.substr(kCountPrefix.size())) {
        if (c < '0' || c > '9') break;
        count = static_cast<uint8_t>(count * 10 + (c - '0'));
      }
      count_ = count;
      return;
    }
    if (line.substr(0, kDevicePrefix.size()) != kDevicePrefix) return;
    line.remove_prefix(kDevicePrefix.size());
    const size_t space = line.find(' ');
    uint8_t device = 0;
    for (char c : line.substr(0, space)) {
      if (c < '0' || c > '9') break;
      device = static_cast<uint8_t>(device * 10 + (c - '0'));
    }
    if (space == std::string_view::npos) return;
    if (device != static_cast<uint8_t>(count_ - requested_ + 1)) return;
    std::string_view code = line.substr(std::min(line.size(), space + kIdCodeLabel));
    const bool negative = !code.empty() && code.front() == '-';
    if (negative) code.remove_prefix(1);
    uint32_t value = 0;
    for (char c : code) {
      if (c < '0' || c > '9') break;
      value = value * 10 + (c - '0');
    }
    value_ = static_cast<int32_t>(negative ? 0u - value : value);
  }

  uint8_t requested_;
  uint8_t count_ = 0;
  int32_t value_ = 0;
};

std::atomic<bool> g_running{false};

}  // namespace

const char* StaplExitText(int32_t code) {
  static const char* const kTexts[] = {"Success",
                                       "Illegal initialization values",
                                       "Unrecognized device",
                                       "Device revision is not supported",
                                       "Device programming failure",
                                       "Device is not blank",
                                       "Device verify failure",
                                       "SRAM configuration failure"};
  return code >= 0 && code < 8 ? kTexts[code] : "Unknown exit code";
}

int RunStaplPlayer(StaplPlayerRequest* request) {
  CJtagProgrammer* port = CurrentJtagPort();
  if (request == nullptr || request->script == nullptr || port == nullptr) return 1;
  // Runs share the one port and are not re-entrant.
  if (g_running.exchange(true)) return 1;
  CStaplPlayerHost host(*request, *port);
  int32_t errorLine = 0, exitCode = 0;
  const int32_t rc = StaplExecute(host, request->actionName, nullptr, &errorLine, &exitCode);
  int result = 1;
  if (rc != kStaplSuccess) {
    if (StaplResultText(rc) != nullptr) {
      host.StaplPrintf("Error on line %ld: %s.\nProgram terminated.\n",
                       static_cast<long>(errorLine), StaplResultText(rc));
    } else {
      host.StaplPrintf("Unknown error code %ld\n", static_cast<long>(rc));
    }
  } else {
    host.StaplPrintf("Exit code = %d ... %s\n", exitCode, StaplExitText(exitCode));
    result = exitCode == 0 ? 0 : 1;
  }
  // The result area is the script's first bytes; a shorter script keeps what fits.
  uint8_t area[5] = {host.Count()};
  const uint32_t value = static_cast<uint32_t>(host.Value());
  for (int i = 0; i < 4; ++i) area[1 + i] = static_cast<uint8_t>(value >> (8 * i));
  std::memcpy(request->script, area,
              std::min<size_t>(sizeof area, std::max(request->scriptLength, 0)));
  g_running = false;
  return result;
}

}  // namespace zor::firmware
