// The words of the feature-browser JSON for GenApi enumeration values.
#pragma once

#include <cstdint>

namespace zor::genicam {

// Each takes the GenApi value and gives a constant word; a value outside the table gives
// the empty string, except IncrementModeToString, which gives "None".
const char* AccessModeToString(int32_t value);
const char* CachingModeToString(int32_t value);
const char* DisplayNotationToString(int32_t value);
const char* IncrementModeToString(int32_t value);
const char* InterfaceTypeToString(int32_t value);
const char* NameSpaceToString(int32_t value);
const char* RepresentationToString(int32_t value);
const char* VisibilityToString(int32_t value);

}  // namespace zor::genicam
