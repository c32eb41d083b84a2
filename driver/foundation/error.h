// CError: the error record an operation fills and its caller passes on.
#pragma once

#include <cstdint>

#include "driver/foundation/logprovider.h"

namespace zor::foundation {

// An operation's error record. Code, sub-code, extra and the three flag bytes have the order
// and widths of a kernel request's error triple, which is copied in field by field. A record
// handed back is the caller's to look at: dropping one unread is a compile error.
class [[nodiscard]] CError : public CLogProvider {
 public:
  CError();
  CError(uint64_t code, uint64_t subCode);
  CError(const CError&) = default;
  CError& operator=(const CError&) = default;

  // The first error wins; code 0 is not an error and is ignored.
  void SetError(uint64_t code, uint64_t subCode);

  // Hands a held error to the sink's SetError(code, subCode, 0, 0).
  template <typename Sink>
  void Report(Sink& sink) const {
    if (errorSet != 0) sink.SetError(code, subCode, 0, 0);
  }

  uint64_t code = 0;
  uint64_t subCode = 0;
  uint64_t extra = 0;
  uint8_t errorSet = 0;
  uint8_t extraSet = 0;
  uint8_t noLog = 0;
};

}  // namespace zor::foundation
