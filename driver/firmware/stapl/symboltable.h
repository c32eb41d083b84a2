// CStaplSymbolTable: the symbols of one STAPL run, their kinds and array storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/firmware/stapl/bitarray.h"

namespace zor::firmware {

enum class StaplKind : int32_t {
  kLabel = 1,
  kInteger = 2,
  kBoolean = 3,
  kIntegerArray = 4,
  kBooleanArray = 5,
  kIntegerArrayInit = 6,
  kBooleanArrayInit = 7,
  kDataBlock = 8,
  kProcedure = 9,
};

inline bool IsArrayKind(StaplKind kind) {
  return kind >= StaplKind::kIntegerArray && kind <= StaplKind::kBooleanArrayInit;
}
inline bool IsBooleanArrayKind(StaplKind kind) {
  return kind == StaplKind::kBooleanArray || kind == StaplKind::kBooleanArrayInit;
}

// Storage of an array.
struct StaplArray {
  int64_t dimension = 0;
  std::vector<int64_t> integers;  // integer arrays
  StaplBits bits;                 // Boolean arrays
};

struct StaplSymbol {
  std::string name;
  StaplKind kind = StaplKind::kLabel;
  // Integer or Boolean value; the initialised flag of a data block.
  int64_t value = 0;
  int32_t position = 0;
  StaplSymbol* owner = nullptr;
  std::unique_ptr<StaplArray> array;
  // The USES list of a procedure.
  bool hasUses = false;
  std::vector<std::string> uses;
  StaplSymbol* next = nullptr;  // in the same bucket; the table owns both
};

// Bucket of a name: the first 32 characters hashed as h = 2h + (c & 31) in 32 bits.
uint32_t StaplSymbolBucket(std::string_view name);

bool IsValidStaplName(std::string_view name);

// Symbols of one run, in 1021 buckets.
class CStaplSymbolTable {
 public:
  static constexpr int kBuckets = 1021;
  static constexpr size_t kMaxName = 32;

  CStaplSymbolTable();
  CStaplSymbolTable(const CStaplSymbolTable&) = delete;
  CStaplSymbolTable& operator=(const CStaplSymbolTable&) = delete;

  StaplSymbol* Find(std::string_view name) const;
  // A new record; the caller has checked that the name is valid and not yet present.
  StaplSymbol* Add(std::string_view name, StaplKind kind, int64_t value, int32_t position,
                   StaplSymbol* owner);

 private:
  std::vector<std::unique_ptr<StaplSymbol>> symbols_;
  std::vector<StaplSymbol*> buckets_;  // first symbol of each bucket's chain
};

}  // namespace zor::firmware
