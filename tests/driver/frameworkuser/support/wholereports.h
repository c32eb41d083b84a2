// The errors reported to the application while a WholeReports lives, from whichever thread, each
// whole as the application's error hook reads it: "code function | sub-code text | ...".
#pragma once

#include <string>

#include "platform/host/hostservices.h"
#include "tests/support/errorreports.h"

namespace zortest {

inline std::wstring WholeReport() {
  QINT64 code = 0;
  HostGetError(0, Q_CURRENT, &code);
  wchar_t text[Q_ERROR_TEXT_SIZE] = {};
  HostGetError(0, Q_CURRENT_FCT, text);
  std::wstring report = std::to_wstring(code) + L" " + text;
  QINT64 count = 0;
  HostGetError(0, Q_CURRENT_SUB_NB, &count);
  const QINT64 subTypes[] = {Q_CURRENT_SUB_1, Q_CURRENT_SUB_2, Q_CURRENT_SUB_3};
  for (QINT64 i = 0; i < count && i < 3; ++i) {
    QINT64 sub = 0;
    HostGetError(0, subTypes[i], &sub);
    text[0] = L'\0';
    HostGetError(0, Q_ERROR_TEXT | subTypes[i], text);
    report += L" | " + std::to_wstring(sub) + L" " + text;
  }
  return report;
}

class WholeReports : public ErrorReports {
 public:
  WholeReports() : ErrorReports(&WholeReport) {}
};

}  // namespace zortest
