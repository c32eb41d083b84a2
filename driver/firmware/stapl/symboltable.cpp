// CStaplSymbolTable: name hashing, name checks, look-up and insertion.
#include "driver/firmware/stapl/symboltable.h"

#include <cctype>

namespace zor::firmware {

uint32_t StaplSymbolBucket(std::string_view name) {
  // Unsigned arithmetic: a hash of 0x80000000 has no positive absolute value in 32 bits.
  uint32_t h = 0;
  for (size_t i = 0; i < name.size() && i < CStaplSymbolTable::kMaxName; ++i) {
    h = 2 * h + (static_cast<uint8_t>(name[i]) & 31);
  }
  return h % CStaplSymbolTable::kBuckets;
}

bool IsValidStaplName(std::string_view name) {
  if (name.empty() || name.size() > CStaplSymbolTable::kMaxName) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

CStaplSymbolTable::CStaplSymbolTable() : buckets_(kBuckets, nullptr) {}

StaplSymbol* CStaplSymbolTable::Find(std::string_view name) const {
  for (StaplSymbol* s = buckets_[StaplSymbolBucket(name)]; s != nullptr; s = s->next) {
    if (s->name == name) return s;
  }
  return nullptr;
}

StaplSymbol* CStaplSymbolTable::Add(std::string_view name, StaplKind kind, int64_t value,
                                    int32_t position, StaplSymbol* owner) {
  StaplSymbol* symbol = symbols_.emplace_back(std::make_unique<StaplSymbol>()).get();
  symbol->name = std::string(name);
  symbol->kind = kind;
  symbol->value = value;
  symbol->position = position;
  symbol->owner = owner;
  StaplSymbol*& head = buckets_[StaplSymbolBucket(name)];
  symbol->next = head;
  head = symbol;
  return symbol;
}

}  // namespace zor::firmware
