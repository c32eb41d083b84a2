// CError: keeps an operation's first error and hands it on.
#include "driver/foundation/error.h"

#include "driver/foundation/log.h"
#include "driver/foundation/logtag.h"

namespace zor::foundation {

namespace {

constexpr uint32_t kErrorRecord = 2;

}  // namespace

CError::CError() : CLogProvider(0, 1, 119, 0) {}

CError::CError(uint64_t code, uint64_t subCode) : CError() { SetError(code, subCode); }

void CError::SetError(uint64_t newCode, uint64_t newSubCode) {
  if (errorSet != 0 || newCode == 0) return;
  if (noLog == 0) {
    CLog* log = CLog::Instance();
    if (log->IsCategoryEnabled(kErrorLogCategory)) {
      log->Write(*this, kErrorRecord, LogTag("ERRC"), newCode, LogTag("ESUB"), newSubCode,
                 kEmptyLogTag, 0);
    }
  }
  code = newCode;
  subCode = newSubCode;
  errorSet = 1;
}

}  // namespace zor::foundation
