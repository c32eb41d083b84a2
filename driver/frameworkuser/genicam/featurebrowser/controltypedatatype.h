// The variable type that example code declares for a host control type of an object type.
#pragma once

#include <cstdint>
#include <string>

namespace zor::genicam {

// "ZOR_INT64", "ZOR_DOUBLE", "ZOR_ID", "ZOR_STRING", "ZOR_INT8*" or "ZOR_INT".
std::string ControlTypeDataType(int64_t objectType, int64_t controlType);

}  // namespace zor::genicam
