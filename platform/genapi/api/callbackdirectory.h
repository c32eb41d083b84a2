#pragma once

#include "platform/genapi/api/ibase.h"

namespace GenApi {

// Process-wide table from callback handle to the node holding it, so that a
// stale handle is recognised instead of being dereferenced.
class CallbackDirectory {
 public:
  static CallbackHandleType Add(INode* node);
  static void Remove(CallbackHandleType handle);
  static INode* Find(CallbackHandleType handle);
};

}  // namespace GenApi
