#include "platform/genapi/nodes/textconvert.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "platform/genapi/base/exceptions.h"
#include "platform/genapi/nodes/nodebase.h"

namespace GenApi {
namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<int64_t> ParseDotted(const std::string& text, char separator, int parts, int base) {
  uint64_t value = 0;
  size_t pos = 0;
  for (int i = 0; i < parts; ++i) {
    char* end = nullptr;
    const unsigned long part = std::strtoul(text.c_str() + pos, &end, base);
    const size_t used = static_cast<size_t>(end - (text.c_str() + pos));
    if (used == 0 || part > 255) return std::nullopt;
    value = (value << 8) | part;
    pos += used;
    if (i + 1 < parts) {
      if (pos >= text.size() || text[pos] != separator) return std::nullopt;
      ++pos;
    }
  }
  if (pos != text.size()) return std::nullopt;
  return static_cast<int64_t>(value);
}

}  // namespace

std::optional<int64_t> TryParseInteger(const std::string& raw) {
  const std::string text = Trim(raw);
  if (text.empty()) return std::nullopt;
  const char* s = text.c_str();
  bool negative = false;
  if (*s == '-' || *s == '+') {
    negative = *s == '-';
    ++s;
  }
  int base = 10;
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s += 2;
  }
  if (*s == '\0' || *s == '-' || *s == '+') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long magnitude = std::strtoull(s, &end, base);
  if (*end != '\0' || errno == ERANGE) return std::nullopt;
  // Decimal text must name an int64 value; hexadecimal text is a register's bit pattern.
  const uint64_t largest = negative ? uint64_t{1} << 63 : uint64_t{INT64_MAX};
  if (base == 10 && magnitude > largest) return std::nullopt;
  const uint64_t bits = negative ? 0 - static_cast<uint64_t>(magnitude) : magnitude;
  return static_cast<int64_t>(bits);
}

std::optional<double> TryParseFloat(const std::string& raw) {
  const std::string text = Trim(raw);
  if (text.empty()) return std::nullopt;
  if (auto asInt = TryParseInteger(text); asInt && text.find("0x") != std::string::npos) {
    return static_cast<double>(*asInt);
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0') return std::nullopt;
  return value;
}

int64_t ParseInteger(const std::string& text, const NodeBase& node) {
  if (auto value = TryParseInteger(text)) return *value;
  throw RUNTIME_EXCEPTION("Node '%s': '%s' is not an integer", node.Name().c_str(), text.c_str());
}

double ParseFloat(const std::string& text, const NodeBase& node) {
  if (auto value = TryParseFloat(text)) return *value;
  throw RUNTIME_EXCEPTION("Node '%s': '%s' is not a number", node.Name().c_str(), text.c_str());
}

std::string IntegerToString(int64_t value, ERepresentation representation) {
  char text[64];
  const auto bits = static_cast<uint64_t>(value);
  switch (representation) {
    case HexNumber:
      std::snprintf(text, sizeof text, "0x%" PRIX64, bits);
      break;
    case IPV4Address:
      std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned((bits >> 24) & 0xFF),
                    unsigned((bits >> 16) & 0xFF), unsigned((bits >> 8) & 0xFF),
                    unsigned(bits & 0xFF));
      break;
    case MACAddress:
      std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X",
                    unsigned((bits >> 40) & 0xFF), unsigned((bits >> 32) & 0xFF),
                    unsigned((bits >> 24) & 0xFF), unsigned((bits >> 16) & 0xFF),
                    unsigned((bits >> 8) & 0xFF), unsigned(bits & 0xFF));
      break;
    default:
      std::snprintf(text, sizeof text, "%" PRId64, value);
  }
  return text;
}

std::optional<int64_t> StringToInteger(const std::string& raw, ERepresentation representation) {
  const std::string text = Trim(raw);
  if (representation == IPV4Address && text.find('.') != std::string::npos) {
    return ParseDotted(text, '.', 4, 10);
  }
  if (representation == MACAddress && text.find(':') != std::string::npos) {
    return ParseDotted(text, ':', 6, 16);
  }
  return TryParseInteger(text);
}

std::string FloatToString(double value, EDisplayNotation notation, int64_t precision) {
  const int digits = static_cast<int>(precision < 0 ? 6 : precision > 30 ? 30 : precision);
  char text[512];
  const char* format = notation == fnFixed ? "%.*f" : notation == fnScientific ? "%.*e" : "%.*g";
  std::snprintf(text, sizeof text, format, digits, value);
  return text;
}

ERepresentation ParseRepresentation(const std::string& text) {
  if (text == "Linear") return Linear;
  if (text == "Logarithmic") return Logarithmic;
  if (text == "Boolean") return Boolean;
  if (text == "PureNumber") return PureNumber;
  if (text == "HexNumber") return HexNumber;
  if (text == "IPV4Address") return IPV4Address;
  if (text == "MACAddress") return MACAddress;
  return _UndefinedRepresentation;
}

}  // namespace GenApi
