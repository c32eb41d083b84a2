#pragma once

#include "platform/genapi/api/types.h"

namespace GenApi {

class INodeMap;
class CNodeCallback;

class IBase {
 public:
  virtual EAccessMode GetAccessMode() const = 0;

 protected:
  virtual ~IBase() = default;
};

class INode : virtual public IBase {
 public:
  virtual gcstring GetName(bool FullQualified = false) const = 0;
  virtual ENameSpace GetNameSpace() const = 0;
  virtual EVisibility GetVisibility() const = 0;
  virtual void InvalidateNode() = 0;
  virtual bool IsCachable() const = 0;
  virtual ECachingMode GetCachingMode() const = 0;
  virtual int64_t GetPollingTime() const = 0;
  virtual gcstring GetToolTip() const = 0;
  virtual gcstring GetDescription() const = 0;
  virtual gcstring GetDisplayName() const = 0;
  virtual gcstring GetDeviceName() const = 0;
  virtual void GetChildren(NodeList_t& Children, ELinkType LinkType = ctWritingChildren) const = 0;
  virtual void GetParents(NodeList_t& Parents, ELinkType LinkType = ctWritingChildren) const = 0;
  virtual CallbackHandleType RegisterCallback(CNodeCallback* pCallback) = 0;
  virtual bool DeregisterCallback(CallbackHandleType hCallback) = 0;
  virtual INodeMap* GetNodeMap() const = 0;
  virtual gcstring GetEventID() const = 0;
  virtual bool IsStreamable() const = 0;
  virtual void GetPropertyNames(gcstring_vector& PropertyNames) const = 0;
  virtual bool GetProperty(const gcstring& PropertyName, gcstring& ValueStr,
                           gcstring& AttributeStr) = 0;
  virtual void ImposeAccessMode(EAccessMode AccessMode) = 0;
  virtual void ImposeVisibility(EVisibility Visibility) = 0;
  virtual INode* GetAlias() const = 0;
  virtual INode* GetCastAlias() const = 0;
  virtual gcstring GetDocuURL() const = 0;
  virtual bool IsDeprecated() const = 0;
  virtual EInterfaceType GetPrincipalInterfaceType() const = 0;
  virtual bool IsFeature() const = 0;
};

class IValue : virtual public IBase {
 public:
  virtual INode* GetNode() = 0;
  virtual gcstring ToString(bool Verify = false, bool IgnoreCache = false) = 0;
  virtual void FromString(const gcstring& ValueStr, bool Verify = true) = 0;
  virtual bool IsValueCacheValid() const = 0;
};

class ISelector : virtual public IBase {
 public:
  virtual bool IsSelector() const = 0;
  virtual void GetSelectedFeatures(FeatureList_t& Features) const = 0;
  virtual void GetSelectingFeatures(FeatureList_t& Features) const = 0;
};

class ICategory : virtual public IValue {
 public:
  virtual void GetFeatures(FeatureList_t& Features) const = 0;
};

class IPort : virtual public IBase {
 public:
  virtual void Read(void* pBuffer, int64_t Address, int64_t Length) = 0;
  virtual void Write(const void* pBuffer, int64_t Address, int64_t Length) = 0;
};

}  // namespace GenApi
