// Nodes whose every property can be set or made to throw, for what real files rarely do.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "platform/genapi/genapi.h"

namespace genicamtest {

class FakeNode : public GenApi::INode {
 public:
  FakeNode(std::string name, GenApi::EInterfaceType type) : name_(std::move(name)), type_(type) {}

  // Makes the named read raise a GenICam exception whose description is "<what> failed".
  void Throw(const std::string& what) { throwing_.insert(what); }
  void Check(const char* what) const {
    if (throwing_.count(what) != 0) throw RUNTIME_EXCEPTION("%s failed", what);
  }

  GenApi::EAccessMode GetAccessMode() const override { return Check("AccessMode"), access_; }
  GenICam::gcstring GetName(bool = false) const override { return Check("Name"), name_; }
  GenApi::ENameSpace GetNameSpace() const override { return GenApi::Custom; }
  GenApi::EVisibility GetVisibility() const override { return Check("Visibility"), visibility_; }
  void InvalidateNode() override {}
  bool IsCachable() const override { return false; }
  GenApi::ECachingMode GetCachingMode() const override { return GenApi::NoCache; }
  int64_t GetPollingTime() const override { return -1; }
  GenICam::gcstring GetToolTip() const override { return Check("ToolTip"), toolTip_; }
  GenICam::gcstring GetDescription() const override { return Check("Description"), ""; }
  GenICam::gcstring GetDisplayName() const override { return Check("DisplayName"), displayName_; }
  GenICam::gcstring GetDeviceName() const override { return "Device"; }
  void GetChildren(GenApi::NodeList_t& children, GenApi::ELinkType) const override {
    children.clear();
  }
  void GetParents(GenApi::NodeList_t& parents, GenApi::ELinkType) const override {
    parents.clear();
  }
  GenApi::CallbackHandleType RegisterCallback(GenApi::CNodeCallback* callback) override {
    std::unique_ptr<GenApi::CNodeCallback> dropped(callback);
    return 0;
  }
  bool DeregisterCallback(GenApi::CallbackHandleType) override { return false; }
  GenApi::INodeMap* GetNodeMap() const override { return nullptr; }
  GenICam::gcstring GetEventID() const override { return ""; }
  bool IsStreamable() const override { return false; }
  void GetPropertyNames(GenICam::gcstring_vector& names) const override { names.clear(); }
  bool GetProperty(const GenICam::gcstring&, GenICam::gcstring&, GenICam::gcstring&) override {
    return false;
  }
  void ImposeAccessMode(GenApi::EAccessMode) override {}
  void ImposeVisibility(GenApi::EVisibility) override {}
  INode* GetAlias() const override { return nullptr; }
  INode* GetCastAlias() const override { return nullptr; }
  GenICam::gcstring GetDocuURL() const override { return Check("DocuURL"), ""; }
  bool IsDeprecated() const override { return false; }
  GenApi::EInterfaceType GetPrincipalInterfaceType() const override {
    return Check("InterfaceType"), type_;
  }
  bool IsFeature() const override { return true; }

  std::string name_;
  std::string displayName_;
  std::string toolTip_;
  GenApi::EInterfaceType type_;
  GenApi::EAccessMode access_ = GenApi::RW;
  GenApi::EVisibility visibility_ = GenApi::Beginner;
  std::set<std::string> throwing_;
};

template <class Interface>
class FakeValue : public FakeNode, public Interface {
 public:
  using FakeNode::FakeNode;
  GenApi::EAccessMode GetAccessMode() const override { return FakeNode::GetAccessMode(); }
  GenApi::INode* GetNode() override { return this; }
  GenICam::gcstring ToString(bool = false, bool = false) override { return ""; }
  void FromString(const GenICam::gcstring&, bool = true) override {}
  bool IsValueCacheValid() const override { return false; }
};

class FakeFloat : public FakeValue<GenApi::IFloat> {
 public:
  explicit FakeFloat(std::string name) : FakeValue(std::move(name), GenApi::intfIFloat) {}
  void SetValue(double v, bool = true) override { value_ = v; }
  double GetValue(bool = false, bool = false) override { return Check("Value"), value_; }
  double GetMin() override { return Check("Min"), min_; }
  double GetMax() override { return Check("Max"), max_; }
  bool HasInc() override { return Check("HasInc"), hasInc_; }
  GenApi::EIncMode GetIncMode() override { return Check("IncMode"), incMode_; }
  double GetInc() override { return Check("Inc"), inc_; }
  GenApi::double_autovector_t GetListOfValidValues(bool = true) override {
    return Check("List"), list_;
  }
  GenApi::ERepresentation GetRepresentation() override {
    return Check("Representation"), GenApi::Linear;
  }
  GenICam::gcstring GetUnit() const override { return Check("Unit"), "ms"; }
  GenApi::EDisplayNotation GetDisplayNotation() const override {
    return Check("DisplayNotation"), GenApi::fnAutomatic;
  }
  int64_t GetDisplayPrecision() const override { return Check("DisplayPrecision"), 6; }
  void ImposeMin(double) override {}
  void ImposeMax(double) override {}

  double value_ = 0, min_ = 0, max_ = 0, inc_ = 0;
  bool hasInc_ = false;
  GenApi::EIncMode incMode_ = GenApi::noIncrement;
  GenApi::double_autovector_t list_;
};

class FakeInteger : public FakeValue<GenApi::IInteger> {
 public:
  explicit FakeInteger(std::string name) : FakeValue(std::move(name), GenApi::intfIInteger) {}
  void SetValue(int64_t v, bool = true) override { value_ = v; }
  int64_t GetValue(bool = false, bool = false) override { return Check("Value"), value_; }
  int64_t GetMin() override { return Check("Min"), min_; }
  int64_t GetMax() override { return Check("Max"), max_; }
  GenApi::EIncMode GetIncMode() override { return Check("IncMode"), incMode_; }
  int64_t GetInc() override { return Check("Inc"), inc_; }
  GenApi::int64_autovector_t GetListOfValidValues(bool = true) override {
    return Check("List"), list_;
  }
  GenApi::ERepresentation GetRepresentation() override {
    return Check("Representation"), GenApi::HexNumber;
  }
  GenICam::gcstring GetUnit() const override { return Check("Unit"), ""; }
  void ImposeMin(int64_t) override {}
  void ImposeMax(int64_t) override {}

  int64_t value_ = 0, min_ = 0, max_ = 100, inc_ = 1;
  GenApi::EIncMode incMode_ = GenApi::fixedIncrement;
  GenApi::int64_autovector_t list_;
};

class FakeRegister : public FakeValue<GenApi::IRegister> {
 public:
  explicit FakeRegister(std::string name) : FakeValue(std::move(name), GenApi::intfIRegister) {}
  void Set(const uint8_t*, int64_t, bool = true) override {}
  void Get(uint8_t* buffer, int64_t length, bool = false, bool = false) override {
    Check("Get");
    for (int64_t i = 0; i < length; ++i) buffer[i] = bytes_[static_cast<size_t>(i)];
  }
  int64_t GetLength() override { return Check("Length"), static_cast<int64_t>(bytes_.size()); }
  int64_t GetAddress() override { return 0; }

  std::vector<uint8_t> bytes_;
};

}  // namespace genicamtest
