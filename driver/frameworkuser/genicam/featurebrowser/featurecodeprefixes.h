// The names that example code uses for one published node map.
#pragma once

#include <array>
#include <string>

namespace zor::genicam {

struct FeatureCodePrefixes {
  std::string inquireFunction;    // "QsysInquire", "QdigInquire" or "QdigInquireFeature"
  std::string controlFunction;    // "QsysControl", "QdigControl" or "QdigControlFeature"
  std::string objectVariable;     // "ZorSystem" or "ZorDigitizer"
  std::string typePrefix;         // combined into the operation constant when not empty
  std::string featureNamePrefix;  // "<model>:" for maps other than the system and digitizer
  std::array<std::string, 6> gentlModules{"Q_GENTL_SYSTEM", "Q_GENTL_INTERFACE",
                                          "Q_GENTL_DEVICE", "Q_GENTL_REMOTE_DEVICE",
                                          "Q_GENTL_STREAM", "Q_GENTL_BUFFER"};
};

}  // namespace zor::genicam
