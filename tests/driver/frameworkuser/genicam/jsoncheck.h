// Reading the writer's JSON back: rapidjson's reader in every test, jq or Python where the
// machine has them.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace genicamtest {

// Parses strictly (UTF-8 checked); the error text is empty when the text is valid JSON.
inline std::string JsonError(const std::string& text, rapidjson::Document& document) {
  document.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str(), text.size());
  if (!document.HasParseError()) return "";
  return std::string(rapidjson::GetParseError_En(document.GetParseError())) + " at " +
         std::to_string(document.GetErrorOffset());
}

inline std::vector<std::string> MemberNames(const rapidjson::Value& object) {
  std::vector<std::string> names;
  for (const auto& member : object.GetObject()) names.emplace_back(member.name.GetString());
  return names;
}

// The command that checks JSON on standard input on this machine, or empty when there is none.
inline std::string ExternalJsonChecker() {
  if (std::system("command -v jq >/dev/null 2>&1") == 0) return "jq -e . >/dev/null 2>&1";
  if (std::system("command -v python3 >/dev/null 2>&1") == 0) {
    return "python3 -c 'import json,sys; json.load(sys.stdin)' >/dev/null 2>&1";
  }
  return "";
}

inline bool ExternalCheckAccepts(const std::string& command, const std::string& text) {
  FILE* pipe = popen(command.c_str(), "w");
  if (pipe == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), pipe) == text.size();
  return pclose(pipe) == 0 && written;
}

}  // namespace genicamtest
