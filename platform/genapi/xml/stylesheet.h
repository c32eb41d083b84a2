#pragma once

#include <string>

namespace GenApi {

// Applies an XSL style sheet file to XML text and returns the result text.
std::string ApplyXslt(const std::string& xml, const std::string& styleSheetPath);

}  // namespace GenApi
