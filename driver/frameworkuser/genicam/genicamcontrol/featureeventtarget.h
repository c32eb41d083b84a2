// Told of feature events that the browsers report for a control's map.
#pragma once

#include <cstdint>

namespace zor::genicam {

class FeatureEventTarget {
 public:
  virtual ~FeatureEventTarget() = default;
  virtual void OnEvent(int64_t value) = 0;
};

}  // namespace zor::genicam
