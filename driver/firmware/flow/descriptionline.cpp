// Matches a device line of the chain description file by IDCODE and reads its options.
#include "driver/firmware/flow/descriptionline.h"

#include <cstdio>

namespace zor::firmware {
namespace {

std::vector<std::string_view> SplitAtSpaces(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  std::vector<std::string_view> tokens;
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = line.find(' ', start);
    if (end == std::string_view::npos) end = line.size();
    if (end > start) tokens.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return tokens;
}

}  // namespace

std::string IdCodeToken(uint32_t idcode) {
  char text[16];
  std::snprintf(text, sizeof text, "[0x%08x]", idcode);
  return text;
}

bool MatchDescriptionLine(std::string_view line, std::string_view idToken,
                          std::vector<DescriptionOption>& options) {
  if (!line.empty() && line.front() == '*') return false;
  const std::vector<std::string_view> tokens = SplitAtSpaces(line);
  if (tokens.empty() || tokens.front() != idToken) return false;
  options.clear();
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string_view token = tokens[i];
    if (token == "*") break;
    if ((token == "-i" || token == "-b" || token == "-d") && i + 1 < tokens.size()) {
      options.push_back({token[1], std::string(tokens[++i])});
    }
  }
  return true;
}

}  // namespace zor::firmware
