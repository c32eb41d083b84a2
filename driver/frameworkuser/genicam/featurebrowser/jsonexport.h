// Node maps written as JSON files: the schema of the features under "Root"
// and the state of every node, each indented, in one folder.
#pragma once

#include <string>

#include "platform/genapi/genapi.h"

namespace zor::genicam {

// A file name made of a device's model name: characters a file name cannot
// hold, path separators and leading dots become '_', so the files stay in the
// folder whatever the device calls itself.
std::string ExportFileStem(const std::string& modelName);

// Writes <folder>/<stem>_schema.json and <folder>/<stem>_data.json; a file
// that cannot be opened, or is no regular file (a FIFO, a device), is skipped.
void ExportNodeMapJson(GenApi::INodeMap& nodeMap, const std::string& folder,
                       const std::string& stem, const std::string& deviceName);

}  // namespace zor::genicam
