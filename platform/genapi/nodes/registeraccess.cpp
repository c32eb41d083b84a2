#include "platform/genapi/nodes/registeraccess.h"

#include "platform/genapi/base/log.h"
#include "platform/genapi/nodemap/nodemap.h"
#include "platform/genapi/nodes/portnode.h"
#include "platform/genapi/nodes/textconvert.h"

namespace GenApi {
namespace {

// A text the schema does not allow must not grant write access.
EAccessMode ParseAccess(const std::string& text, const NodeBase& owner) {
  if (text == "RO") return RO;
  if (text == "WO") return WO;
  if (text == "RW") return RW;
  GenICam::LogWarning("Node '%s': AccessMode '%s' is not RO, WO or RW; taken as RO",
                      owner.Name().c_str(), text.c_str());
  return RO;
}

}  // namespace

void RegisterAccess::Configure(NodeBase& owner) {
  owner_ = &owner;
  for (const XmlProperty* p : owner.Properties("Address")) {
    // Addresses wrap like the port's 64-bit address space.
    constantAddress_ += static_cast<uint64_t>(ParseInteger(p->text, owner));
  }
  for (const XmlProperty* p : owner.Properties("pAddress")) {
    addressNodes_.push_back(owner.Resolve(*p));
  }
  for (const XmlProperty* p : owner.Properties("pIndex")) {
    Index index{owner.Resolve(*p), std::nullopt, nullptr};
    if (const std::string* offset = p->Attribute("Offset")) {
      index.offset = ParseInteger(*offset, owner);
    }
    if (const std::string* offsetNode = p->Attribute("pOffset")) {
      XmlProperty reference{"pOffset", *offsetNode, {}};
      index.offsetNode = owner.Resolve(reference);
    }
    indexes_.push_back(index);
  }
  if (const XmlProperty* p = owner.Property("Length")) length_ = ParseInteger(p->text, owner);
  lengthNode_ = owner.ResolveOptional("pLength");
  if (const XmlProperty* p = owner.Property("AccessMode")) access_ = ParseAccess(p->text, owner);
  if (const XmlProperty* p = owner.Property("pPort")) {
    port_ = dynamic_cast<PortNode*>(owner.Resolve(*p));
    if (port_ == nullptr) {
      throw RUNTIME_EXCEPTION("Node '%s': pPort '%s' is not a port", owner.Name().c_str(),
                              p->text.c_str());
    }
  }
  if (const XmlProperty* p = owner.Property("Cachable")) {
    caching_ = p->text == "NoCache"       ? NoCache
               : p->text == "WriteAround" ? WriteAround
                                          : WriteThrough;
  }
  if (const XmlProperty* p = owner.Property("Endianess")) {
    endianess_ = p->text == "BigEndian" ? BigEndian : LittleEndian;
  }
  if (lengthNode_ == nullptr && length_ <= 0) {
    throw RUNTIME_EXCEPTION("Node '%s' has no valid Length", owner.Name().c_str());
  }
}

int64_t RegisterAccess::Address() {
  uint64_t address = constantAddress_;
  for (NodeBase* node : addressNodes_) {
    address += static_cast<uint64_t>(node->ReadNumber(false, false).AsInt());
  }
  for (const Index& index : indexes_) {
    const int64_t offset = index.offsetNode ? index.offsetNode->ReadNumber(false, false).AsInt()
                           : index.offset   ? *index.offset
                                            : Length();
    address += static_cast<uint64_t>(index.node->ReadNumber(false, false).AsInt()) *
               static_cast<uint64_t>(offset);
  }
  return static_cast<int64_t>(address);
}

int64_t RegisterAccess::Length() {
  const int64_t length = lengthNode_ ? lengthNode_->ReadNumber(false, false).AsInt() : length_;
  if (length <= 0 || length > (1 << 24)) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': bad register length %lld", owner_->Name().c_str(),
                                 static_cast<long long>(length));
  }
  return length;
}

EAccessMode RegisterAccess::AccessMode() const {
  return port_ ? Combine(access_, port_->AccessMode()) : NA;
}

IPort& RegisterAccess::Port() const {
  if (port_ == nullptr) throw ACCESS_EXCEPTION("Node '%s' has no pPort", owner_->Name().c_str());
  return port_->Connected();
}

const std::vector<uint8_t>& RegisterAccess::Read(bool ignoreCache) {
  const int64_t address = Address();
  const int64_t length = Length();
  if (caching_ != NoCache && cacheValid_ && !ignoreCache && cacheAddress_ == address &&
      static_cast<int64_t>(cache_.size()) == length) {
    return cache_;
  }
  cacheValid_ = false;
  cache_.resize(static_cast<size_t>(length));
  Port().Read(cache_.data(), address, length);
  cacheAddress_ = address;
  cacheValid_ = caching_ != NoCache;
  // A fresh value may be a flag's new one: access modes computed from the old
  // one no longer hold.
  if (cacheValid_) {
    owner_->Map().NewAccessEpoch();
  } else {
    owner_->Map().NoteUncachedRead();
  }
  return cache_;
}

void RegisterAccess::Write(const uint8_t* bytes, size_t length) {
  const int64_t address = Address();
  Port().Write(bytes, address, static_cast<int64_t>(length));
  cacheValid_ = caching_ == WriteThrough;
  if (cacheValid_) {
    cache_.assign(bytes, bytes + length);
    cacheAddress_ = address;
  }
  owner_->Map().NodeChanged(*owner_);
}

uint64_t BytesToUnsigned(const std::vector<uint8_t>& bytes, EEndianess endianess) {
  uint64_t value = 0;
  const size_t n = bytes.size() < 8 ? bytes.size() : 8;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t byte = endianess == BigEndian ? bytes[bytes.size() - n + i] : bytes[n - 1 - i];
    value = (value << 8) | byte;
  }
  return value;
}

void UnsignedToBytes(uint64_t value, uint8_t* bytes, size_t length, EEndianess endianess) {
  for (size_t i = 0; i < length; ++i) {
    const uint8_t byte = i < 8 ? static_cast<uint8_t>(value >> (8 * i)) : 0;
    bytes[endianess == BigEndian ? length - 1 - i : i] = byte;
  }
}

}  // namespace GenApi
