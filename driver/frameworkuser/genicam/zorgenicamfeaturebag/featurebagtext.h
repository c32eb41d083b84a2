// The listing that digitizer control 7712 keeps of a feature bag: each
// feature of the persistence text tagged with its data type.
#pragma once

#include <string>

#include "platform/genapi/genapi.h"

namespace zor::genicam {

// Lines of six spaces, the tag and name, a tab, the value (strings between
// double quotes) and a line feed. Types are those of the map's nodes; a name
// the map does not hold gets no tag.
std::wstring MakeFeatureBagText(const std::string& persistenceText, GenApi::INodeMap& nodeMap);

}  // namespace zor::genicam
