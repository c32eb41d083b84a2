// Feature headers of the GenApi XML resources: for each resource a header of
// typed feature pointers and one of feature names, made by the style sheets
// that the GenICam runtime installs.
#pragma once

#include <string>
#include <vector>

#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"

namespace zor::genicam {

// The runtime's root: "ZOR_GENICAM_PATH" followed by "v3_1" ("v3_1" alone
// when the variable is missing).
std::wstring GenICamRootFolder();

// Writes <name>Header.h and <name>Params.h of each resource into the current
// folder. A resource whose XML or style sheets fail is skipped quietly.
void GenerateFeatureHeaders(const std::vector<GenICamXmlResource>& resources,
                            const std::wstring& genicamRoot);

}  // namespace zor::genicam
