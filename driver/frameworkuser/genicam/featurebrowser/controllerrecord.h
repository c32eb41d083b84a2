// The record the in-process browser hands its controller library, one per
// node map shown, and the entry points it looks up there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zor::genicam {

// The controller calls this with the record's user data when a feature event
// of the record's id happens.
using ControllerEventFunction = void (*)(void* userData, int64_t id, int64_t value);

struct ControllerRecord {
  uint32_t kind;  // 3 for a feature-style map, else 2
  uint32_t reserved;
  int64_t owner;
  int64_t id;
  int64_t zero;
  const char* name;
  void* userData;
  ControllerEventFunction callback;
  uint32_t four;
  uint32_t zeroWord;
  const char* title;
  const char* controlPrefix;
  const char* inquirePrefix;
  const char* fourthText;
};
static_assert(sizeof(ControllerRecord) == 96);
static_assert(offsetof(ControllerRecord, owner) == 8);
static_assert(offsetof(ControllerRecord, name) == 32);
static_assert(offsetof(ControllerRecord, callback) == 48);
static_assert(offsetof(ControllerRecord, four) == 56);
static_assert(offsetof(ControllerRecord, title) == 64);
static_assert(offsetof(ControllerRecord, fourthText) == 88);

// Runs the browser and returns when it ends.
using CreateControllerFunction = int64_t (*)(int64_t owner, int64_t zero, ControllerRecord* records,
                                             int64_t count, int64_t zero2, int64_t zero3,
                                             int64_t* handle);
using DeleteControllerFunction = int64_t (*)(int64_t handle, int64_t zero);

inline constexpr const char* kCreateControllerName = "CreateGenicamControllerV3";
inline constexpr const char* kDeleteControllerName = "DeleteGenicamControllerV3";

}  // namespace zor::genicam
