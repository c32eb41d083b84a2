// Grab-line elements: 32 line hooks each, kept for the digitizer's hook set. This
// board delivers no line events, so invoking them does nothing.
#pragma once

#include <array>
#include <cstdint>

#include "driver/frameworkuser/hooks/hookelement.h"

namespace zor::frame {

inline constexpr int64_t kNoLine = 0x7FFFFFFFFFFFFFFF;

class CBaseGrabLineHook : public CBaseHook<HOOK_ELEMENT_INFO> {
 public:
  struct Entry {
    QHOOK_FUNCTION function = nullptr;
    void* userData = nullptr;
    int64_t line = kNoLine;
    bool active = false;
  };
  static constexpr size_t kEntries = 32;

  explicit CBaseGrabLineHook(int64_t hookType) : hookType_(hookType) {}
  int64_t HookType() const { return hookType_; }
  void CopyFrom(const CBaseGrabLineHook& other);

 protected:
  std::array<Entry, kEntries> entries_{};
  int64_t count_ = 0;
  int64_t hookType_;
};

class CGrabLineHook : public CBaseGrabLineHook {
 public:
  CGrabLineHook() : CBaseGrabLineHook(0x100000) {}
  int64_t Invoke(void*, QID, const HOOK_ELEMENT_INFO&) override { return 0; }
};

class CGrabLineEndHook : public CBaseGrabLineHook {
 public:
  CGrabLineEndHook() : CBaseGrabLineHook(0x200000) {}
  int64_t Invoke(void*, QID, const HOOK_ELEMENT_INFO&) override { return 0; }
};

}  // namespace zor::frame
