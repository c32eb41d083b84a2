#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/genapi/nodes/nodebase.h"

namespace GenApi {

class PortNode;

// The register part of IntReg, MaskedIntReg, FloatReg, StringReg and
// Register nodes: address, length, port, access, byte order and the cache.
class RegisterAccess {
 public:
  void Configure(NodeBase& owner);

  int64_t Address();
  int64_t Length();
  EAccessMode AccessMode() const;
  EEndianess Endianess() const { return endianess_; }
  ECachingMode Caching() const { return caching_; }
  bool CacheValid() const { return cacheValid_; }
  void Invalidate() { cacheValid_ = false; }

  // Reads the whole register; serves it from the cache when allowed. The
  // bytes stay valid until the next access of this register.
  const std::vector<uint8_t>& Read(bool ignoreCache);
  void Write(const uint8_t* bytes, size_t length);

 private:
  // The application's port behind pPort.
  IPort& Port() const;

  NodeBase* owner_ = nullptr;
  uint64_t constantAddress_ = 0;
  std::vector<NodeBase*> addressNodes_;
  // Each pIndex adds its index times its offset; without an Offset or
  // pOffset the offset is the register's length.
  struct Index {
    NodeBase* node;
    std::optional<int64_t> offset;
    NodeBase* offsetNode;
  };
  std::vector<Index> indexes_;
  int64_t length_ = 0;
  NodeBase* lengthNode_ = nullptr;
  EAccessMode access_ = RW;
  PortNode* port_ = nullptr;
  ECachingMode caching_ = WriteThrough;
  EEndianess endianess_ = LittleEndian;
  std::vector<uint8_t> cache_;  // also holds the last read when nothing is cached
  int64_t cacheAddress_ = 0;
  bool cacheValid_ = false;
};

// Register bytes to and from an unsigned number in the register's byte order.
uint64_t BytesToUnsigned(const std::vector<uint8_t>& bytes, EEndianess endianess);
void UnsignedToBytes(uint64_t value, uint8_t* bytes, size_t length, EEndianess endianess);

// Room for a register's bytes: on the stack for the usual 8 bytes or fewer.
class RegisterBytes {
 public:
  explicit RegisterBytes(size_t length) : length_(length) {
    if (length > sizeof small_) large_.resize(length);
  }
  uint8_t* data() { return length_ > sizeof small_ ? large_.data() : small_; }
  size_t size() const { return length_; }

 private:
  size_t length_;
  uint8_t small_[8] = {};
  std::vector<uint8_t> large_;
};

}  // namespace GenApi
