// CTable1D: the driver's growable array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "driver/foundation/messagebox.h"

namespace zor::foundation {

// A growable one-dimensional array. Capacity grows in multiples of the grow step;
// running out of memory ends the process, so no operation reports an allocation error.
template <typename T>
class CTable1D {
 public:
  CTable1D() = default;
  explicit CTable1D(int64_t n) {
    if (n >= 1) SetSize(n, false);
  }
  CTable1D(const CTable1D&) = delete;
  CTable1D& operator=(const CTable1D&) = delete;
  CTable1D(CTable1D&& other) noexcept { Swap(other); }
  CTable1D& operator=(CTable1D&& other) noexcept {
    if (this != &other) {
      CTable1D empty;
      Swap(empty);
      Swap(other);
    }
    return *this;
  }
  virtual ~CTable1D() = default;

  // The only place that allocates: exactly n elements, the first min(size, n) kept on request.
  virtual void SetSize(int64_t n, bool keep) {
    if (n == allocated_) {
      size_ = n;
      return;
    }
    if (n < 1) {
      data_.reset();
      size_ = 0;
      allocated_ = 0;
      return;
    }
    if (static_cast<uint64_t>(n) > PTRDIFF_MAX / sizeof(T)) FatalMemoryError(kOutOfMemoryText);
    std::unique_ptr<T[]> fresh(new (std::nothrow) T[static_cast<size_t>(n)]());
    if (fresh == nullptr) FatalMemoryError(kOutOfMemoryText);
    if (keep) {
      const int64_t kept = size_ < n ? size_ : n;
      for (int64_t i = 0; i < kept; ++i) fresh[i] = std::move(data_[i]);
    }
    data_ = std::move(fresh);
    size_ = n;
    allocated_ = n;
  }

  // Makes room for n elements by the growth rule; the size stays.
  void Reserve(int64_t n) {
    if (n <= allocated_) return;
    const int64_t size = size_;
    Grow(n, true);
    size_ = size;
  }

  // Taken by value: an element of the table itself is copied before the table grows.
  void Add(T element) {
    Grow(size_ + 1, true);
    data_[size_ - 1] = std::move(element);
  }

  int64_t Size() const { return size_; }
  int64_t Allocated() const { return allocated_; }
  T* Data() { return data_.get(); }
  const T* Data() const { return data_.get(); }
  T& operator[](int64_t i) { return data_[i]; }
  const T& operator[](int64_t i) const { return data_[i]; }

 protected:
  static constexpr const wchar_t* kOutOfMemoryText = L"Not enough heap memory to continue.";

  void SetGrowStep(int64_t step) { growStep_ = step; }

  // Sets a new size m; capacity rounds up to the grow step and is never reduced.
  void Grow(int64_t m, bool keep) {
    if (m > allocated_) {
      if (m > INT64_MAX - growStep_) FatalMemoryError(kOutOfMemoryText);
      const int64_t capacity = (m + growStep_ - 1) / growStep_ * growStep_;
      SetSize(capacity, keep);
    }
    size_ = m;
  }

 private:
  void Swap(CTable1D& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(allocated_, other.allocated_);
    std::swap(growStep_, other.growStep_);
  }

  std::unique_ptr<T[]> data_;
  int64_t size_ = 0;
  int64_t allocated_ = 0;
  int64_t growStep_ = 1;
};

}  // namespace zor::foundation
