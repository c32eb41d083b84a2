// The arguments of one system operation, converted from a command's slots.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "driver/frameworkuser/command/commandwrapper.h"

namespace zor::frame {

class OperationArgs {
 public:
  static constexpr std::size_t kCapacity = 16;

  void Push(int64_t word) { Push({word, 0}); }
  void PushDouble(double value) { Push({std::bit_cast<int64_t>(value), kValueDouble}); }
  void Push(ValueRecord record) {
    if (count_ < kCapacity) args_[count_++] = record;
  }

  std::size_t Count() const { return count_; }
  // Arguments beyond the count read as 0.
  int64_t Int(std::size_t i) const { return i < count_ ? args_[i].value : 0; }
  double Double(std::size_t i) const { return std::bit_cast<double>(Int(i)); }
// GCC 12 at -O2, having lost track of the count, warns of a read past the array here
// although the count never passes the capacity.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  ValueRecord Value(std::size_t i) const { return i < count_ ? args_[i] : ValueRecord{0, 0}; }
#pragma GCC diagnostic pop
  template <typename T>
  T* Pointer(std::size_t i) const {
    return reinterpret_cast<T*>(static_cast<intptr_t>(Int(i)));
  }

  bool operator==(const OperationArgs& other) const {
    if (count_ != other.count_) return false;
    for (std::size_t i = 0; i < count_; ++i) {
      if (args_[i].value != other.args_[i].value || args_[i].kind != other.args_[i].kind) {
        return false;
      }
    }
    return true;
  }

 private:
  // Only the first count_ entries are ever read.
  std::array<ValueRecord, kCapacity> args_;
  std::size_t count_ = 0;
};

}  // namespace zor::frame
