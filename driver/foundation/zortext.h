// CZORText: the storage and editing shared by the driver's wide and narrow strings.
#pragma once

#include <cstdint>
#include <string>

#include "driver/foundation/table1d.h"

namespace zor::foundation {

// What CZORString and CZORStringAscii share, written once for both character types: the size
// counts the terminating NUL (the empty text has size 1) and capacity grows in steps of 32
// characters. Every operation accepts text that lies in the string's own buffer.
template <typename Char>
class CZORText : protected CTable1D<Char> {
  using Table = CTable1D<Char>;
  using Traits = std::char_traits<Char>;

 public:
  const Char* CStr() const { return Table::Data(); }
  Char* CStr() { return Table::Data(); }
  int64_t Length() const { return Table::Size() - 1; }
  using Table::Allocated;
  using Table::Size;

 protected:
  static constexpr int64_t kStep = 32;

  CZORText() {
    Table::SetGrowStep(kStep);
    SetEmpty();
  }
  CZORText(const CZORText& other) : CZORText() { AssignRange(other.CStr(), other.Length()); }
  CZORText& operator=(const CZORText& other) {
    if (this != &other) AssignRange(other.CStr(), other.Length());
    return *this;
  }
  ~CZORText() override = default;

  void SetEmpty() {
    Table::Grow(1, true);
    Table::Data()[0] = Char();
  }

  void AssignRange(const Char* text, int64_t length) {
    if (Owns(text)) {
      Traits::move(Table::Data(), text, static_cast<size_t>(length));  // shrinks: no growth
      Table::Grow(length + 1, true);
    } else {
      Table::Grow(length + 1, true);
      Traits::copy(Table::Data(), text, static_cast<size_t>(length));
    }
    Table::Data()[length] = Char();
  }

  void AppendRange(const Char* text, int64_t length) {
    if (Owns(text)) {
      const std::basic_string<Char> copy(text, static_cast<size_t>(length));  // moves on growth
      AppendRange(copy.data(), length);
      return;
    }
    const int64_t old = Length();
    Table::Grow(old + length + 1, true);
    Traits::copy(Table::Data() + old, text, static_cast<size_t>(length));
    Table::Data()[old + length] = Char();
  }

  // The length becomes n (never below 0); new characters take the fill.
  void ResizeTo(int64_t length, Char fill) {
    if (length < 0) length = 0;
    if (length == INT64_MAX) FatalMemoryError(Table::kOutOfMemoryText);  // no room for the NUL
    const int64_t old = Length();
    Table::Grow(length + 1, true);
    for (int64_t i = old; i < length; ++i) Table::Data()[i] = fill;
    Table::Data()[length] = Char();
  }

  // Drops the last count characters; the length never drops below 0.
  void DropLast(int64_t count) {
    if (count <= 0) return;
    const int64_t length = Length();
    ResizeTo(count < length ? length - count : 0, Char());
  }

 private:
  bool Owns(const Char* text) const {
    const Char* const data = Table::Data();
    return data != nullptr && text >= data && text < data + Table::Allocated();
  }
};

}  // namespace zor::foundation
