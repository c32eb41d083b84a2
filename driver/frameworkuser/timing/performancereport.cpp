// The performance report that system free writes to the debugger output.
#include <cwchar>
#include <string>

#include "driver/foundation/timestamp.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/timing/opcodetiming.h"
#include "platform/host/hostservices.h"
#include "platform/os/diag/debug_output.h"
#include "platform/os/registry/registry.h"

using zor::foundation::GetTimeStamp;

namespace zor::frame {
namespace {

constexpr std::size_t kLineSize = 256;
constexpr std::size_t kHostNameSize = 320;

template <typename... Args>
std::wstring Format(const wchar_t* format, Args... args) {
  wchar_t text[1024];
  const int length = std::swprintf(text, 1024, format, args...);
  return length < 0 ? std::wstring() : std::wstring(text, static_cast<std::size_t>(length));
}

void Output(const std::wstring& text) { os::OutputDebugString(text.c_str()); }

std::wstring Blanks(std::ptrdiff_t count) {
  return std::wstring(count > 0 ? static_cast<std::size_t>(count) : 0, L' ');
}

std::wstring RightAligned(const std::wstring& field, std::ptrdiff_t width) {
  return Blanks(width - static_cast<std::ptrdiff_t>(field.size())) + field;
}

void ReportProcessors() {
  for (int n = 0;; ++n) {
    const std::wstring path =
        L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\" + std::to_wstring(n);
    os::Handle key{};
    if (os::RegOpenKey(os::HKEY_LOCAL_MACHINE, path.c_str(), os::KEY_READ, &key) != 0) return;
    Output(Format(L"Processor #%i:\n", n));
    for (const wchar_t* name : {L"VendorIdentifier", L"ProcessorNameString", L"Identifier"}) {
      wchar_t value[kLineSize] = {};
      uint32_t size = sizeof(value) - sizeof(wchar_t);
      uint32_t type = 0;
      if (os::RegQueryValue(key, name, &type, value, &size) == 0 && type == os::REG_SZ) {
        Output(Format(L"\t%ls\n", value));
      }
    }
    uint32_t mhz = 0;
    uint32_t size = sizeof(mhz);
    uint32_t type = 0;
    if (os::RegQueryValue(key, L"~MHz", &type, &mhz, &size) == 0 && type == os::REG_DWORD) {
      Output(Format(L"\tCpu frequency (MHz): %i\n", static_cast<int>(mhz)));
    }
    Output(L"\n");
    os::RegCloseKey(key);
  }
}

// One line of the opcode table; a line that would not fit is cut to the
// 255 characters of the line buffer.
std::wstring ReportLine(const OpcodeTiming& timing, const wchar_t* name, double frequency) {
  std::wstring line = RightAligned(Format(L"%lld", static_cast<long long>(timing.calls)), 10);
  line += L"  ";
  const std::wstring nameField = name;
  line += nameField + Blanks(20 - static_cast<std::ptrdiff_t>(nameField.size()));
  const double average =
      static_cast<double>(timing.totalTicks) / frequency / static_cast<double>(timing.calls);
  line += RightAligned(Format(L"%.9f", average), 20);
  line += RightAligned(Format(L"%.9f", static_cast<double>(timing.minimumTicks) / frequency), 20);
  line += RightAligned(Format(L"%.9f", static_cast<double>(timing.maximumTicks) / frequency), 20);
  if (line.size() > kLineSize - 1) line.resize(kLineSize - 1);
  return line;
}

}  // namespace

void QDDeviceDriver::PrintPerformanceReport(double ticksPerSecond, int64_t sleepTicks) {
  const uint64_t now = GetTimeStamp();
  Output(Format(L"\n\nZor%ls.dll Performance Report:\n\n", L"DravionLyn"));
  ReportProcessors();
  Output(
      L"     Count  Function called      Average Time (Sec.)     Min Time (Sec.)     Max Time "
      L"(Sec.)\n");
  int64_t cumulated = 0;
  for (int group = 0; group < 128; ++group) {
    bool wrote = false;
    for (int function = 0; function < 512; ++function) {
      const auto opcode = static_cast<uint16_t>(group << 9 | function);
      const OpcodeTiming timing = GetOpcodeTiming(opcode);
      if (timing.calls <= 0) continue;
      wchar_t name[kHostNameSize] = {};
      HostInternalInquire(opcode, Q_OPCODE_FUNCTION_NAME, name);
      name[kHostNameSize - 1] = L'\0';
      if (name[0] == L'\0') continue;
      cumulated += timing.totalTicks;
      Output(ReportLine(timing, name, ticksPerSecond) + L"\n");
      wrote = true;
    }
    if (wrote) Output(L"\n");
  }
  const double sample = static_cast<double>(now - StartTimeStamp()) / ticksPerSecond;
  const double sleep = static_cast<double>(sleepTicks) / ticksPerSecond;
  const double busy = static_cast<double>(cumulated) / ticksPerSecond;
  Output(Format(L"Total sample time:     %.3f\n", sample));
  Output(Format(L"Total sleep time:      %.3f\n", sleep));
  Output(Format(L"Total cumulated time:  %.3f\n", busy));
  Output(Format(L"Total CPU utilization: %.2f%%\n", (busy - sleep) * 100.0 / sample));
  Output(L"\n");
}

}  // namespace zor::frame
