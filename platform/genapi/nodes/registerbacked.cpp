#include "platform/genapi/nodes/registerbacked.h"

#include <cstring>

#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/floatbase.h"
#include "platform/genapi/nodes/integerbase.h"
#include "platform/genapi/nodes/valuenode.h"

namespace GenApi {

template <class Base>
void RegisterBacked<Base>::Link() {
  Base::Link();
  register_.Configure(*this);
}

template <class Base>
void RegisterBacked<Base>::CheckBuffer(const uint8_t* pBuffer, int64_t Length) const {
  if (pBuffer == nullptr && Length != 0) {
    throw INVALID_ARGUMENT_EXCEPTION("Node '%s': no buffer for %lld bytes", this->Name().c_str(),
                                     static_cast<long long>(Length));
  }
}

template <class Base>
void RegisterBacked<Base>::Set(const uint8_t* pBuffer, int64_t Length, bool) {
  NodeMap::Guard guard(this->Map());
  this->CheckWritable();
  CheckBuffer(pBuffer, Length);
  if (Length != register_.Length()) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': %lld bytes given for a %lld-byte register",
                                 this->Name().c_str(), static_cast<long long>(Length),
                                 static_cast<long long>(register_.Length()));
  }
  register_.Write(pBuffer, static_cast<size_t>(Length));
}

template <class Base>
void RegisterBacked<Base>::Get(uint8_t* pBuffer, int64_t Length, bool, bool IgnoreCache) {
  NodeMap::Guard guard(this->Map());
  this->CheckReadable();
  CheckBuffer(pBuffer, Length);
  const std::vector<uint8_t>& bytes = register_.Read(IgnoreCache);
  if (Length != static_cast<int64_t>(bytes.size())) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': %lld bytes asked of a %zu-byte register",
                                 this->Name().c_str(), static_cast<long long>(Length),
                                 bytes.size());
  }
  std::memcpy(pBuffer, bytes.data(), bytes.size());
}

template <class Base>
int64_t RegisterBacked<Base>::GetLength() {
  NodeMap::Guard guard(this->Map());
  return register_.Length();
}

template <class Base>
int64_t RegisterBacked<Base>::GetAddress() {
  NodeMap::Guard guard(this->Map());
  return register_.Address();
}

template class RegisterBacked<ValueNode>;
template class RegisterBacked<IntegerBase>;
template class RegisterBacked<FloatBase>;

}  // namespace GenApi
