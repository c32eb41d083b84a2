// Runs a register access with the host's error printing off and the calling
// thread's host error state saved; everything is restored on the way out,
// also when the access throws.
#pragma once

#include <cstdint>

namespace zor::genicam {

class QuietHostBracket {
 public:
  QuietHostBracket();
  ~QuietHostBracket();
  QuietHostBracket(const QuietHostBracket&) = delete;
  QuietHostBracket& operator=(const QuietHostBracket&) = delete;

 private:
  int64_t context_ = 0;
  int64_t savedPrintMode_ = 0;
  int64_t savedSetting_ = 0;
};

}  // namespace zor::genicam
