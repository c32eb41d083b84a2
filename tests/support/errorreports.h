// What the application's error hook hears while an ErrorReports lives, from whichever thread: for
// each report its code, the failing function and its second detail text (an exception's
// description), as "code function description", or as a test describes it.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/zor.h"

namespace zortest {

// A report as "code function description".
inline std::wstring CodeFunctionDescription() {
  wchar_t function[Q_ERROR_TEXT_SIZE] = {};
  wchar_t description[Q_ERROR_TEXT_SIZE] = {};
  QappGetError(Q_DEFAULT, Q_CURRENT_FCT, function);
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_2_TEXT, description);
  const QINT64 code = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  return std::to_wstring(code) + L" " + function + L" " + description;
}

class ErrorReports {
 public:
  // Each report as `describe` reads it, in the hook, from the error just reported.
  explicit ErrorReports(std::wstring (*describe)() = &CodeFunctionDescription)
      : describe_(describe) {
    QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT, &Hook, this);
  }
  ~ErrorReports() { QappHookFunction(Q_DEFAULT, Q_ERROR_CURRENT + Q_UNHOOK, &Hook, this); }
  ErrorReports(const ErrorReports&) = delete;
  ErrorReports& operator=(const ErrorReports&) = delete;

  // The reports so far, in their order; the next call starts afresh.
  std::vector<std::wstring> Take() {
    std::lock_guard guard(lock_);
    return std::exchange(seen_, {});
  }
  bool Empty() {
    std::lock_guard guard(lock_);
    return seen_.empty();
  }

 private:
  static QINT64 Hook(QINT64, QID, void* user) {
    auto* self = static_cast<ErrorReports*>(user);
    std::wstring report = self->describe_();
    std::lock_guard guard(self->lock_);
    self->seen_.push_back(std::move(report));
    return 0;
  }

  std::wstring (*const describe_)();
  std::mutex lock_;
  std::vector<std::wstring> seen_;
};

}  // namespace zortest
