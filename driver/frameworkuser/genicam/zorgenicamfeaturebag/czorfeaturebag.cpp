// CZorFeatureBag: stores a node map's features under every selector setting as persistence text.
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/czorfeaturebag.h"

#include <algorithm>

#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/floattotext.h"
#include "driver/frameworkuser/genicam/zorgenicamfeaturebag/persistenceescape.h"

namespace zor::genicam {

namespace {

std::string VersionText(const GenApi::Version_t& version) {
  return std::to_string(version.Major) + "." + std::to_string(version.Minor) + "." +
         std::to_string(version.SubMinor);
}

}  // namespace

void CZorFeatureBag::StoreFromNodeMap(GenApi::INodeMap* nodeMap) {
  GenApi::CNodeMapPtr map(nodeMap);
  GenApi::CDeviceInfoPtr info(nodeMap);
  GenApi::Version_t deviceVersion{};
  info->GetDeviceVersion(deviceVersion);
  info_ = map->GetDeviceName().str() + " = " + info->GetVendorName().str() +
          "::" + info->GetModelName().str() + " -- " + info->GetToolTip().str() + " -- " +
          "Device version = " + VersionText(deviceVersion) +
          " -- Product GUID = " + info->GetProductGuid().str() +
          " -- Product version GUID = " + info->GetVersionGuid().str();

  GenApi::node_vector nodes;
  map->GetNodes(nodes);
  for (GenApi::INode* node : nodes) {
    if (node == nullptr || !node->IsStreamable()) continue;
    GenApi::CSelectorSet selectors(node);
    try {
      StoreSettings(node, selectors);
    } catch (...) {
      // The device keeps the selector values it had, even when a read fails half-way.
      try {
        selectors.Restore();
      } catch (...) {
        // The first failure is the one the caller hears of.
      }
      throw;
    }
  }
}

void CZorFeatureBag::StoreSettings(GenApi::INode* node, GenApi::CSelectorSet& selectors) {
  bool storedSelectors = false;
  selectors.SetFirst();
  do {
    GenApi::CValuePtr value(node);
    if (value.IsValid() && node->GetAccessMode() == GenApi::RW && node->IsFeature()) {
      GenApi::FeatureList_t list;
      selectors.GetSelectorList(list, true);
      if (!list.empty()) {
        storedSelectors = true;
        for (GenApi::IValue* selector : list) StoreValue(selector);
      }
      StoreValue(value);
    }
  } while (selectors.SetNext(true));
  selectors.Restore();
  if (storedSelectors) StoreSelectors(selectors);
}

void CZorFeatureBag::StoreSelectors(GenApi::CSelectorSet& selectors) {
  GenApi::FeatureList_t list;
  selectors.GetSelectorList(list, true);
  for (GenApi::IValue* selector : list) StoreValue(selector);
}

void CZorFeatureBag::StoreValue(GenApi::IValue* value) {
  GenApi::CValuePtr checked(value);
  GenApi::CNodePtr node(checked->GetNode());
  std::string name = node->GetName().str();
  // Read before storing either half, so that a failed read leaves no name without a value.
  std::string text = node->GetPrincipalInterfaceType() == GenApi::intfIFloat
                         ? FloatToText(GenApi::CFloatPtr(node)->GetValue())
                         : checked->ToString(false, false).str();
  names_.push_back(std::move(name));
  values_.push_back(std::move(text));
}

std::ostream& CZorFeatureBag::WritePersistenceFile(std::ostream& out, const CZorFeatureBag& bag) {
  out << "# {05D8C294-F295-4dfb-9D01-096BD04049F4}\n";
  out << "# GenApi persistence file (version " << 3 << "." << 1 << "." << 0 << ")\n";
  out << "# " << EscapePersistenceField(bag.info_) << "\n";
  const size_t lines = std::min(bag.names_.size(), bag.values_.size());
  for (size_t i = 0; i < lines; ++i) {
    out << EscapePersistenceField(bag.names_[i]) << '\t' << EscapePersistenceField(bag.values_[i])
        << '\n';
  }
  return out;
}

}  // namespace zor::genicam
