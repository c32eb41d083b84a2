#pragma once

#include <cstddef>
#include <type_traits>

#include "platform/genapi/api/inodemap.h"
#include "platform/genapi/api/ivalues.h"
#include "platform/genapi/base/exceptions.h"

namespace GenApi {

// Smart pointer that casts a node to one of its interfaces; dereferencing an
// empty pointer raises instead of crashing.
template <class T, class B = IBase>
class CPointer {
 public:
  CPointer() = default;
  CPointer(B* pB) : m_pT(pB ? dynamic_cast<T*>(pB) : nullptr) {}
  // A pointer that already is a T needs no cast (a cast across the nodes'
  // virtual bases searches their whole class tree).
  template <class U, std::enable_if_t<std::is_same_v<U, T> && !std::is_same_v<T, B>, int> = 0>
  CPointer(U* pT) : m_pT(pT) {}
  template <class T2, class B2>
  CPointer(const CPointer<T2, B2>& other) : m_pT(CastFrom(other.m_pT)) {}
  CPointer(const CPointer&) = default;
  CPointer& operator=(const CPointer&) = default;
  CPointer& operator=(B* pB) {
    m_pT = pB ? dynamic_cast<T*>(pB) : nullptr;
    return *this;
  }

  operator T*() const { return Get(); }
  T* operator->() const { return Get(); }
  T& operator*() const { return *Get(); }
  explicit operator bool() const { return m_pT != nullptr; }
  bool IsValid() const { return m_pT != nullptr; }
  void Release() { m_pT = nullptr; }

  bool operator==(std::nullptr_t) const { return m_pT == nullptr; }
  bool operator!=(std::nullptr_t) const { return m_pT != nullptr; }
  bool operator==(const T* other) const { return m_pT == other; }
  bool operator!=(const T* other) const { return m_pT != other; }

  T* m_pT = nullptr;

 private:
  T* Get() const {
    if (m_pT == nullptr) throw LOGICAL_ERROR_EXCEPTION("NULL pointer dereferenced");
    return m_pT;
  }
  template <class U>
  static T* CastFrom(U* p) {
    return p ? dynamic_cast<T*>(p) : nullptr;
  }
};

using CBasePtr = CPointer<IBase>;
using CNodePtr = CPointer<INode>;
using CValuePtr = CPointer<IValue>;
using CCategoryPtr = CPointer<ICategory>;
using CBooleanPtr = CPointer<IBoolean>;
using CIntegerPtr = CPointer<IInteger>;
using CStringPtr = CPointer<IString>;
using CRegisterPtr = CPointer<IRegister>;
using CEnumerationPtr = CPointer<IEnumeration>;
using CEnumEntryPtr = CPointer<IEnumEntry>;
using CPortPtr = CPointer<IPort>;
using CCommandPtr = CPointer<ICommand>;
using CFloatPtr = CPointer<IFloat>;
using CSelectorPtr = CPointer<ISelector>;
using CNodeMapPtr = CPointer<INodeMap, INodeMap>;
using CDeviceInfoPtr = CPointer<IDeviceInfo, INodeMap>;

inline bool IsReadable(EAccessMode AccessMode) { return AccessMode == RO || AccessMode == RW; }
inline bool IsWritable(EAccessMode AccessMode) { return AccessMode == WO || AccessMode == RW; }
inline bool IsImplemented(EAccessMode AccessMode) { return AccessMode != NI; }
inline bool IsAvailable(EAccessMode AccessMode) {
  return AccessMode == WO || AccessMode == RO || AccessMode == RW;
}
inline bool IsReadable(const IBase* p) { return p && IsReadable(p->GetAccessMode()); }
inline bool IsWritable(const IBase* p) { return p && IsWritable(p->GetAccessMode()); }
inline bool IsImplemented(const IBase* p) { return p && IsImplemented(p->GetAccessMode()); }
inline bool IsAvailable(const IBase* p) { return p && IsAvailable(p->GetAccessMode()); }
template <class T, class B>
bool IsReadable(const CPointer<T, B>& p) {
  return p.IsValid() && IsReadable(p->GetAccessMode());
}
template <class T, class B>
bool IsWritable(const CPointer<T, B>& p) {
  return p.IsValid() && IsWritable(p->GetAccessMode());
}
template <class T, class B>
bool IsImplemented(const CPointer<T, B>& p) {
  return p.IsValid() && IsImplemented(p->GetAccessMode());
}
template <class T, class B>
bool IsAvailable(const CPointer<T, B>& p) {
  return p.IsValid() && IsAvailable(p->GetAccessMode());
}

// The stricter of two access modes, as when a node's own mode meets an imposed one.
EAccessMode Combine(EAccessMode First, EAccessMode Second);

}  // namespace GenApi
