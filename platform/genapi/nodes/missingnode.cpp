#include "platform/genapi/nodes/missingnode.h"

namespace GenApi {

MissingNode::MissingNode(NodeMap& map, const std::string& missing, const std::string& referrer,
                         const std::string& link)
    : NodeBase(map, std::make_shared<const NodeXml>(NodeXml{"Missing", missing, "", {}})),
      referrer_(referrer),
      link_(link) {}

void MissingNode::Fail() const {
  throw RUNTIME_EXCEPTION("Node '%s': %s references the unknown node '%s'", referrer_.c_str(),
                          link_.c_str(), Name().c_str());
}

}  // namespace GenApi
