#pragma once

#include <memory>
#include <string>

#include "platform/boardsim/jtag/simjtagchain.h"

namespace boardsim {

// Builds a chain from the JSON chain file format of README.md. Throws std::runtime_error with the
// reason when the file cannot be read or describes no valid chain.
std::unique_ptr<CSimJtagChain> LoadChainFile(const std::string& path);
std::unique_ptr<CSimJtagChain> ParseChainJson(const std::string& text);

}  // namespace boardsim
