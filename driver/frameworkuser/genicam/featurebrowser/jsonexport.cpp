// Writes a node map's schema and state as JSON files, named after the device model.
#include "driver/frameworkuser/genicam/featurebrowser/jsonexport.h"

#include "driver/frameworkuser/genicam/featurebrowser/nodemapjsonwriter.h"
#include "platform/os/process/regular_file.h"

namespace zor::genicam {

std::string ExportFileStem(const std::string& modelName) {
  std::string stem = modelName;
  for (char& c : stem) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || std::string("/\\:*?\"<>|").find(c) != std::string::npos) {
      c = '_';
    }
  }
  // "." and ".." name folders; a leading dot would also hide the file.
  for (char& c : stem) {
    if (c != '.') break;
    c = '_';
  }
  return stem.empty() ? "_" : stem;
}

void ExportNodeMapJson(GenApi::INodeMap& nodeMap, const std::string& folder,
                       const std::string& stem, const std::string& deviceName) {
  const std::string base = folder + "/" + ExportFileStem(stem);
  {
    NodeMapJsonWriter writer;
    writer.SetMode(NodeMapJsonWriter::kSchemaDocument);
    writer.SetDeviceName(deviceName);
    GenApi::CCategoryPtr root(nodeMap.GetNode("Root"));
    GenApi::FeatureList_t features;
    if (root.IsValid()) root->GetFeatures(features);
    GenApi::node_vector children;
    for (GenApi::IValue* feature : features) children.push_back(feature->GetNode());
    os::WriteRegularFile(base + "_schema.json", writer.WriteNodeList(children, true));
  }
  NodeMapJsonWriter writer;
  writer.SetMode(NodeMapJsonWriter::kStateDocument);
  writer.SetDeviceName(deviceName);
  GenApi::NodeList_t nodes;
  nodeMap.GetNodes(nodes);
  os::WriteRegularFile(base + "_data.json", writer.WriteNodeList(nodes, true));
}

}  // namespace zor::genicam
