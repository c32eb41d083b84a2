// Node maps of the host library's own objects, built from the XML resources
// the driver carries, each connected to a transport-layer port of its object
// and registered under (object id, module name).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "driver/frameworkuser/genicam/genicamcontrol/genicamcontrol.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/czortransportlayer.h"
#include "driver/frameworkuser/genicam/genicamzortransportlayer/genicamxmlresources.h"
#include "driver/frameworkuser/genicam/ownnodemaps/nodemapregistry.h"

namespace zor::genicam {

using TransportLayers = std::vector<std::shared_ptr<CZorTransportLayerBase>>;
using TransportLayerFactory =
    std::function<TransportLayers(int64_t objectId, const XmlResourceRecord& record)>;

// The port of the object for the resource's kind: one, or none for kinds
// without a module.
TransportLayers CreateTransportLayers(int64_t objectId, const XmlResourceRecord& record);

// Builds and registers the node maps of one host object; a GenICam exception
// on one resource is recorded on the sink and the next resource is tried.
void CreateOwnNodeMaps(NodeMapRegistry& registry, const GenICamSystemFacts& system,
                       int64_t objectId, ErrorSink* sink,
                       const TransportLayerFactory& createTransportLayers = CreateTransportLayers,
                       const std::vector<GenICamXmlResource>* resources = nullptr);

}  // namespace zor::genicam
