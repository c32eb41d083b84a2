// Told of a feature that a browser client has just written, so that the user hooks of that
// feature run.
#pragma once

#include "platform/genapi/genapi.h"

namespace zor::genicam {

class FeatureEventSink {
 public:
  virtual ~FeatureEventSink() = default;
  virtual void OnEvent(GenApi::INode* node) = 0;
};

}  // namespace zor::genicam
