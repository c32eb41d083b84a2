#include "platform/genapi/nodes/bytesregister.h"

#include <cctype>
#include <cstring>

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {

gcstring RegisterNode::ToString(bool, bool IgnoreCache) {
  NodeMap::Guard guard(Map());
  CheckReadable();
  static const char kHex[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (uint8_t byte : register_.Read(IgnoreCache)) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
  return text;
}

void RegisterNode::FromString(const gcstring& ValueStr, bool Verify) {
  std::string hex = ValueStr.str();
  if (hex.rfind("0x", 0) == 0 || hex.rfind("0X", 0) == 0) hex = hex.substr(2);
  const int64_t length = GetLength();
  if (hex.size() != static_cast<size_t>(length) * 2) {
    throw INVALID_ARGUMENT_EXCEPTION("Node '%s': '%s' is not %lld hexadecimal bytes",
                                     Name().c_str(), ValueStr.c_str(),
                                     static_cast<long long>(length));
  }
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    if (!std::isxdigit(static_cast<unsigned char>(hex[i])) ||
        !std::isxdigit(static_cast<unsigned char>(hex[i + 1]))) {
      throw INVALID_ARGUMENT_EXCEPTION("Node '%s': '%s' is not hexadecimal", Name().c_str(),
                                       ValueStr.c_str());
    }
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  Set(bytes.data(), length, Verify);
}

void StringRegNode::SetValue(const gcstring& Value, bool) {
  NodeMap::Guard guard(Map());
  CheckWritable();
  const int64_t length = register_.Length();
  if (static_cast<int64_t>(Value.size()) > length) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': the text is longer than %lld bytes", Name().c_str(),
                                 static_cast<long long>(length));
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(length), 0);
  std::memcpy(bytes.data(), Value.c_str(), Value.size());
  register_.Write(bytes.data(), bytes.size());
}

gcstring StringRegNode::GetValue(bool, bool IgnoreCache) {
  NodeMap::Guard guard(Map());
  CheckReadable();
  const std::vector<uint8_t>& bytes = register_.Read(IgnoreCache);
  size_t end = 0;
  while (end < bytes.size() && bytes[end] != 0) ++end;
  return gcstring(reinterpret_cast<const char*>(bytes.data()), end);
}

gcstring StringRegNode::ToString(bool Verify, bool IgnoreCache) {
  return GetValue(Verify, IgnoreCache);
}

void StringRegNode::FromString(const gcstring& ValueStr, bool Verify) {
  SetValue(ValueStr, Verify);
}

}  // namespace GenApi
