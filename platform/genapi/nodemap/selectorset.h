#pragma once

#include <string>
#include <vector>

#include "platform/genapi/api/ivalues.h"

namespace GenApi {

// The selectors that decide which value of a feature is seen, directly or
// through other selectors, walked like an odometer over all their values.
class CSelectorSet {
 public:
  explicit CSelectorSet(IBase* pBase);

  bool IsEmpty() const { return selectors_.empty(); }
  // Every selector to its first value.
  void SetFirst();
  // The next combination; false once every combination was visited.
  bool SetNext(bool Tick = true);
  // The selector values from before SetFirst.
  void Restore();
  gcstring ToString();
  // The selectors, outermost first; incremental: only those whose value
  // changed since the previous call.
  void GetSelectorList(FeatureList_t& SelectorList, bool Incremental = false);

 private:
  void Collect(IBase* base);
  static bool First(IValue* selector);
  static bool Next(IValue* selector);

  std::vector<IValue*> selectors_;
  std::vector<gcstring> saved_;
  std::vector<gcstring> listed_;
};

}  // namespace GenApi
