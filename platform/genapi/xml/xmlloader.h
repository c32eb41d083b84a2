#pragma once

#include <memory>
#include <string>

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {

// Builds a node map from GenICam XML text; bad XML raises a GenICam
// exception that says what is wrong and, where it can, which node.
std::unique_ptr<NodeMap> LoadNodeMap(const std::string& xml, const gcstring& deviceName);

}  // namespace GenApi
