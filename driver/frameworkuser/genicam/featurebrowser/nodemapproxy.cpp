// NodeMapProxy: a published node map, its node look-up and its change reporter.
#include "driver/frameworkuser/genicam/featurebrowser/nodemapproxy.h"

#include <new>

namespace zor::genicam {

NodeMapProxy::NodeMapProxy(std::string mapName, std::string deviceName,
                           const FeatureCodePrefixes& prefixes, int64_t objectType,
                           std::shared_ptr<GenApi::CNodeMapRef> nodeMap,
                           std::shared_ptr<FeatureHookController> hooks, int64_t flushDelayMs)
    : mapName(std::move(mapName)),
      deviceName(std::move(deviceName)),
      prefixes(prefixes),
      objectType(objectType),
      hooks(std::move(hooks)),
      nodeMap_(std::move(nodeMap)) {
  GenApi::node_vector nodes;
  if (GenApi::INodeMap* map = Map()) map->GetNodes(nodes);
  reporter_ = GenICamEventReporter::Create(this->mapName, nodes, flushDelayMs);
  if (reporter_ == nullptr) throw std::bad_alloc();
}

GenApi::INode* NodeMapProxy::Node(const std::string& name) const {
  GenApi::INodeMap* map = Map();
  return map != nullptr ? map->GetNode(name.c_str()) : nullptr;
}

}  // namespace zor::genicam
