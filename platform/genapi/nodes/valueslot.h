#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/genapi/nodes/nodebase.h"

namespace GenApi {

// Where a node's number lives: an inline Value, a pValue, or a table chosen
// by a pIndex (ValueIndexed / pValueIndexed with a default).
class ValueSlot {
 public:
  void Configure(NodeBase& owner, bool isFloat);
  Number Read(bool verify, bool ignoreCache);
  void Write(const Number& value, bool verify);
  EAccessMode AccessMode() const;
  // The node behind the value right now, or null for an inline value.
  NodeBase* Target();
  bool CacheValid();

 private:
  struct Entry {
    Number constant;
    NodeBase* node = nullptr;
  };
  Entry& Current();
  Number Convert(const Number& value) const;
  Entry Parse(NodeBase& owner, const XmlProperty& property, bool isNode) const;

  NodeBase* owner_ = nullptr;
  bool isFloat_ = false;
  Entry direct_;
  NodeBase* index_ = nullptr;
  std::vector<std::pair<int64_t, Entry>> indexed_;
  std::optional<Entry> default_;
};

// An optional limit: an inline value (Min, Max, Inc) or a node (pMin, ...).
class LimitRef {
 public:
  void Configure(NodeBase& owner, const char* inlineName, const char* nodeName, bool isFloat);
  bool IsSet() const { return node_ != nullptr || constant_.has_value(); }
  Number Get() const;

 private:
  std::optional<Number> constant_;
  NodeBase* node_ = nullptr;
};

}  // namespace GenApi
