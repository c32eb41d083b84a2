// The decoder's view of a host command record: read in place, never copied.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>

#include "driver/foundation/integerchecks.h"
#include "interfaces/hostcommand/commandrecord.h"

namespace zor::frame {

inline constexpr int64_t kValueInteger = 1;
inline constexpr int64_t kValueDouble = 2;

using foundation::TruncateSaturated;

// A value with its kind, as the control operations take it.
struct ValueRecord {
  int64_t value;  // an integer, or the bits of a double
  int64_t kind;   // kValueInteger or kValueDouble

  // A double is truncated, saturating; NaN gives the lowest value: a value that the controls'
  // range checks refuse (0 would pass for Q_FALSE).
  int64_t AsInteger() const {
    if (kind != kValueDouble) return value;
    return TruncateSaturated(std::bit_cast<double>(value), std::numeric_limits<int64_t>::min());
  }
  double AsDouble() const {
    return kind == kValueDouble ? std::bit_cast<double>(value) : static_cast<double>(value);
  }
};

class QDCommandWrapper {
 public:
  // Reads and answers the host's record.
  explicit QDCommandWrapper(QDCommandRecord* record) : record_(record) {}
  QDCommandWrapper(const QDCommandWrapper&) = delete;
  QDCommandWrapper& operator=(const QDCommandWrapper&) = delete;

  QDCommandRecord& Record() const { return *record_; }
  uint16_t Opcode() const { return static_cast<uint16_t>(record_->operation & 0xFFFF); }
  int64_t SystemIndex() const { return record_->systemIndex; }
  uint32_t Flags() const { return record_->commandFlags; }
  int ParamCount() const { return record_->paramCount; }
  void SetStatus(uint16_t status) const { record_->status = status; }
  uint16_t Status() const { return record_->status; }

  // The masked host type code of slot i.
  uint32_t ArgType(int i) const;
  int64_t GetArgInteger(int i) const;
  double GetArgDouble(int i) const;
  int64_t GetArgPointer(int i) const;
  ValueRecord GetArgVariant(int i) const;
  // Counts a text's characters (terminator included) when the host left the
  // count pending; never reads past the slot's limit (see the source).
  int64_t CommandParamStringLength(int i) const;
  int64_t CommandParamByteSize(int i) const;

 private:
  QDCommandRecord* record_;
};

// Whether a masked type code is an 8-bit or a wide text.
bool IsTextType(uint32_t maskedType);
bool IsWideTextType(uint32_t maskedType);
// Size of one element of a masked type code; 0 for codes without data.
int64_t ElementSize(uint32_t maskedType);

}  // namespace zor::frame
