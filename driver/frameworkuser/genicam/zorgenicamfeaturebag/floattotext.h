// The shortest text of a double that reads back as the same value, for feature bags.
#pragma once

#include <string>

namespace zor::genicam {

// The shortest general-notation text (6 to 18 significant digits) that reads back as the
// same double.
std::string FloatToText(double value);

}  // namespace zor::genicam
