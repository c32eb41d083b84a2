#pragma once

#include <string>

#include "platform/genapi/nodes/nodebase.h"

namespace GenApi {

// Stands for a node that a reference names but the file does not define.
// Real device files have such references in corners nobody uses, so the
// file still loads; using the reference raises an exception naming both.
class MissingNode : public NodeBase {
 public:
  MissingNode(NodeMap& map, const std::string& missing, const std::string& referrer,
              const std::string& link);

  EAccessMode AccessMode() const override { Fail(); }
  Number ReadNumber(bool, bool) override { Fail(); }
  void WriteNumber(const Number&, bool) override { Fail(); }
  Number MinNumber() override { Fail(); }
  Number MaxNumber() override { Fail(); }
  Number IncNumber() override { Fail(); }
  EInterfaceType GetPrincipalInterfaceType() const override { return intfIBase; }

 private:
  [[noreturn]] void Fail() const;

  std::string referrer_;
  std::string link_;
};

}  // namespace GenApi
