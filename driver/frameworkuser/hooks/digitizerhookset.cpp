// DigitizerHookSet: a digitizer's hook elements, copied as one and found by hook type.
#include "driver/frameworkuser/hooks/digitizerhookset.h"

namespace zor::frame {

void CBaseGrabLineHook::CopyFrom(const CBaseGrabLineHook& other) {
  entries_ = other.entries_;
  count_ = other.count_;
  hookType_ = other.hookType_;
}

DigitizerHookSet::DigitizerHookSet()
    : singles_{
          CSingleHook(kHookTypes[0]),  CSingleHook(kHookTypes[1]),  CSingleHook(kHookTypes[2]),
          CSingleHook(kHookTypes[3]),  CSingleHook(kHookTypes[4]),  CSingleHook(kHookTypes[5]),
          CSingleHook(kHookTypes[6]),  CSingleHook(kHookTypes[7]),  CSingleHook(kHookTypes[8]),
          CSingleHook(kHookTypes[9]),  CSingleHook(kHookTypes[10]), CSingleHook(kHookTypes[11]),
          CSingleHook(kHookTypes[12]), CSingleHook(kHookTypes[13]), CSingleHook(kHookTypes[14]),
          CSingleHook(kHookTypes[15])} {}

DigitizerHookSet& DigitizerHookSet::operator=(const DigitizerHookSet& other) {
  if (&other == this) return *this;
  for (size_t i = 0; i < kSingles; ++i) singles_[i].CopyFrom(other.singles_[i]);
  grabLine_.CopyFrom(other.grabLine_);
  grabLineEnd_.CopyFrom(other.grabLineEnd_);
  return *this;
}

CSingleHook* DigitizerHookSet::Single(size_t n) {
  return n >= 1 && n <= kSingles ? &singles_[n - 1] : nullptr;
}

CSingleHook* DigitizerHookSet::ForHookType(int64_t hookType) {
  for (CSingleHook& element : singles_) {
    if (element.HookType() == hookType) return &element;
  }
  return nullptr;
}

}  // namespace zor::frame
