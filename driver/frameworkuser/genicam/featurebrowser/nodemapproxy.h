// One published node map: its names, its node map, its hooks and its change reporter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "driver/frameworkuser/genicam/featurebrowser/featurecodeprefixes.h"
#include "driver/frameworkuser/genicam/featurebrowser/genicameventreporter.h"
#include "driver/frameworkuser/genicam/featurehooks/featurehookcontroller.h"
#include "platform/genapi/genapi.h"

namespace zor::genicam {

class NodeMapProxy {
 public:
  // Throws std::bad_alloc when the reporter cannot be had.
  NodeMapProxy(std::string mapName, std::string deviceName, const FeatureCodePrefixes& prefixes,
               int64_t objectType, std::shared_ptr<GenApi::CNodeMapRef> nodeMap,
               std::shared_ptr<FeatureHookController> hooks, int64_t flushDelayMs);
  NodeMapProxy(const NodeMapProxy&) = delete;
  NodeMapProxy& operator=(const NodeMapProxy&) = delete;

  GenApi::INodeMap* Map() const { return nodeMap_ != nullptr ? nodeMap_->_Ptr : nullptr; }
  const std::shared_ptr<GenApi::CNodeMapRef>& Holder() const { return nodeMap_; }
  GenApi::INode* Node(const std::string& name) const;

  const std::string mapName;
  const std::string deviceName;
  const FeatureCodePrefixes prefixes;
  const int64_t objectType;
  // Told of every feature a client writes; may be empty.
  const std::shared_ptr<FeatureHookController> hooks;

  GenICamEventReporter& Reporter() { return *reporter_; }

 private:
  std::shared_ptr<GenApi::CNodeMapRef> nodeMap_;
  // Last, so that its worker stops before the node map can go.
  std::unique_ptr<GenICamEventReporter> reporter_;
};

}  // namespace zor::genicam
