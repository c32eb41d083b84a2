#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/genapi/api/types.h"

namespace GenApi {

class NodeBase;

// Integer text as XML files and users write it: decimal or 0x-hexadecimal.
std::optional<int64_t> TryParseInteger(const std::string& text);
std::optional<double> TryParseFloat(const std::string& text);
// The same, raising an exception that names the node when the text is bad.
int64_t ParseInteger(const std::string& text, const NodeBase& node);
double ParseFloat(const std::string& text, const NodeBase& node);

std::string IntegerToString(int64_t value, ERepresentation representation);
std::optional<int64_t> StringToInteger(const std::string& text, ERepresentation representation);
std::string FloatToString(double value, EDisplayNotation notation, int64_t precision);

ERepresentation ParseRepresentation(const std::string& text);

}  // namespace GenApi
