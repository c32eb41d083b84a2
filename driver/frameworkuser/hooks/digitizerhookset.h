// A digitizer's hook elements: one single element per digitizer hook type and the
// two grab-line elements, in the order the board's hook table counts them.
#pragma once

#include <array>
#include <cstdint>

#include "driver/frameworkuser/hooks/grablinehook.h"
#include "driver/frameworkuser/hooks/hookelement.h"

namespace zor::frame {

class DigitizerHookSet {
 public:
  static constexpr size_t kSingles = 16;
  // Single elements 1 to 16 (the four before the grab-line elements, then twelve).
  static constexpr std::array<int64_t, kSingles> kHookTypes = {4,  3,  13, 5, 14, 15,   16, 20,
                                                               21, 22, 8,  6, 7,  5315, 9,  5300};

  DigitizerHookSet();
  DigitizerHookSet(const DigitizerHookSet&) = delete;
  // Copies functions, user data and hook types element by element.
  DigitizerHookSet& operator=(const DigitizerHookSet& other);

  // Single element n (1 to 16), or null.
  CSingleHook* Single(size_t n);
  // The single element of a host hook type, or null.
  CSingleHook* ForHookType(int64_t hookType);
  CGrabLineHook& GrabLine() { return grabLine_; }
  CGrabLineEndHook& GrabLineEnd() { return grabLineEnd_; }

 private:
  std::array<CSingleHook, kSingles> singles_;
  CGrabLineHook grabLine_;
  CGrabLineEndHook grabLineEnd_;
};

}  // namespace zor::frame
