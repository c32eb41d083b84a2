// The kernel driver's interrupt-timing statistics, printed when a system is
// freed with the timing statistics on.
#include <cwchar>
#include <string>

#include "driver/frameworkuser/devicesystem/qddevicesystem.h"
#include "platform/os/diag/debug_output.h"

namespace zor::frame {
namespace {

constexpr int kColumn = 25;

std::wstring Format(const wchar_t* format, double value) {
  wchar_t text[64];
  std::swprintf(text, 64, format, value);
  return text;
}

void Line(const std::wstring& text) { os::OutputDebugString(text.c_str()); }

// A label and two values, each right-aligned in its column.
void Row(const wchar_t* label, const std::wstring& with, const std::wstring& without) {
  wchar_t text[160];
  std::swprintf(text, 160, L"%-*ls%*ls%*ls\n", kColumn, label, kColumn, with.c_str(), kColumn,
                without.c_str());
  Line(text);
}

void TimeRow(const wchar_t* label, double with, double without) {
  Row(label, Format(L"%.9f", with), Format(L"%.9f", without));
}

void CountRow(const wchar_t* label, uint64_t count) {
  wchar_t text[96];
  std::swprintf(text, 96, L"%-*ls%*lld\n", kColumn, label, kColumn, static_cast<long long>(count));
  Line(text);
}

}  // namespace

void QDDeviceSystem::PrintDriverPerformanceReport(const kernel::KernelPerformanceRecord& r) {
  // Divided as they come: a count of 0 prints the platform's infinity or NaN.
  const auto f = static_cast<double>(r.frequency);
  const auto seconds = [f](uint64_t ticks) { return static_cast<double>(ticks) / f; };
  const auto average = [f](uint64_t total, uint64_t count) {
    return static_cast<double>(total) / f / static_cast<double>(count);
  };
  const double sample = static_cast<double>(r.sampleEnd - r.sampleStart) / f;
  const double driverWith = seconds(r.isrTotalWith + r.dpcTotalWith + r.passiveTotal);
  const double driverWithout = seconds(r.isrTotalWithout + r.dpcTotalWithout + r.passiveTotal);

  Line(L"\nPerformance Report:\n\n");
  wchar_t header[128];
  std::swprintf(header, 128, L"%*ls%*ls%*ls\n", kColumn, L"", kColumn, L"(With IntHndOb)", kColumn,
                L"(Without IntHndOb)");
  Line(header);
  Line(L"\n");
  TimeRow(L"Min ISR Time:", seconds(r.isrMinWith), seconds(r.isrMinWithout));
  TimeRow(L"Max ISR Time:", seconds(r.isrMaxWith), seconds(r.isrMaxWithout));
  TimeRow(L"Average ISR Time:", average(r.isrTotalWith, r.isrCount),
          average(r.isrTotalWithout, r.isrCount));
  Line(L"\n");
  TimeRow(L"Min DPC Time:", seconds(r.dpcMinWith), seconds(r.dpcMinWithout));
  TimeRow(L"Max DPC Time:", seconds(r.dpcMaxWith), seconds(r.dpcMaxWithout));
  TimeRow(L"Average DPC Time:", average(r.dpcTotalWith, r.dpcCount),
          average(r.dpcTotalWithout, r.dpcCount));
  Line(L"\n");
  const double passiveAverage = average(r.passiveTotal, r.passiveCount);
  TimeRow(L"Min Passive Time:", seconds(r.passiveMin), seconds(r.passiveMin));
  TimeRow(L"Max Passive Time:", seconds(r.passiveMax), seconds(r.passiveMax));
  TimeRow(L"Average Passive Time:", passiveAverage, passiveAverage);
  Line(L"\n");
  TimeRow(L"Total sample time:", sample, sample);
  TimeRow(L"Total driver time:", driverWith, driverWithout);
  Row(L"CPU utilization:", Format(L"%0.2f%%", driverWith * 100 / sample),
      Format(L"%0.2f%%", driverWithout * 100 / sample));
  Line(L"\n");
  CountRow(L"Number of ISR:", r.isrCount);
  CountRow(L"Number of DPC:", r.dpcCount);
  CountRow(L"Number of Passive calls:", r.passiveCount);
  Line(L"\n\n");
}

}  // namespace zor::frame
