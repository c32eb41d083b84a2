// The values of a node map's streamable features under every selector setting, written as
// GenApi persistence text.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/genapi/genapi.h"

namespace zor::genicam {

class CZorFeatureBag {
 public:
  CZorFeatureBag() = default;
  virtual ~CZorFeatureBag() = default;

  // Sets the device description and appends the values; GenICam exceptions pass to the
  // caller with the values stored so far kept and the selectors put back.
  void StoreFromNodeMap(GenApi::INodeMap* nodeMap);
  // Appends the value's node name and its value text.
  void StoreValue(GenApi::IValue* value);

  static std::ostream& WritePersistenceFile(std::ostream& out, const CZorFeatureBag& bag);

  const std::vector<std::string>& Names() const { return names_; }
  const std::vector<std::string>& Values() const { return values_; }
  const std::string& Info() const { return info_; }

 private:
  void StoreSelectors(GenApi::CSelectorSet& selectors);
  void StoreSettings(GenApi::INode* node, GenApi::CSelectorSet& selectors);

  std::vector<std::string> names_;
  std::vector<std::string> values_;
  std::string info_;
};

}  // namespace zor::genicam
