// The device lines of the chain description file that the programming flow reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zor::firmware {

// One option of a device line of the chain description file, in the order written.
struct DescriptionOption {
  // 'i' instruction register length, 'b' BSDL file, 'd' data option (a patch name or "*").
  char kind;
  std::string value;
};

// The IDCODE token of a description line: "[0x%08x]".
std::string IdCodeToken(uint32_t idcode);

// True when the line describes the device: it is no comment and its first token is the IDCODE
// token. The options are those before a lone "*"; unknown tokens are skipped. The line break
// belongs to no token.
bool MatchDescriptionLine(std::string_view line, std::string_view idToken,
                          std::vector<DescriptionOption>& options);

}  // namespace zor::firmware
