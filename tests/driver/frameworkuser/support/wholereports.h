// The errors reported to the application while a WholeReports lives, from whichever thread, each
// whole as the application's error hook reads it: "code function | sub-code text | ...".
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/hostservices.h"

namespace zortest {

class WholeReports {
 public:
  WholeReports() { HostAppHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, &Capture, this); }
  ~WholeReports() { HostAppHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, &Capture, this); }
  WholeReports(const WholeReports&) = delete;
  WholeReports& operator=(const WholeReports&) = delete;

  // The reports so far, in their order; the next call starts afresh.
  std::vector<std::wstring> Take() {
    std::lock_guard guard(lock_);
    return std::exchange(seen_, {});
  }

 private:
  static QINT64 Capture(QINT64, QID, void* user) {
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
    auto* self = static_cast<WholeReports*>(user);
    std::lock_guard guard(self->lock_);
    self->seen_.push_back(report);
    return 0;
  }

  std::mutex lock_;
  std::vector<std::wstring> seen_;
};

}  // namespace zortest
