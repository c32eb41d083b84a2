#include "platform/genapi/nodes/floatregnode.h"

#include <bit>
#include <cfloat>
#include <cmath>

#include "platform/genapi/nodemap/nodemap.h"

namespace GenApi {

void FloatRegNode::Link() {
  RegisterBacked::Link();
  const int64_t length = register_.Length();
  if (length != 4 && length != 8) {
    throw RUNTIME_EXCEPTION("Node '%s': a float register is 4 or 8 bytes long, not %lld",
                            Name().c_str(), static_cast<long long>(length));
  }
}

double FloatRegNode::Largest() { return register_.Length() == 4 ? FLT_MAX : DBL_MAX; }

double FloatRegNode::DefaultMin() { return -Largest(); }
double FloatRegNode::DefaultMax() { return Largest(); }

double FloatRegNode::RawRead(bool, bool ignoreCache) {
  const std::vector<uint8_t>& bytes = register_.Read(ignoreCache);
  const uint64_t bits = BytesToUnsigned(bytes, register_.Endianess());
  if (bytes.size() == 4) return std::bit_cast<float>(static_cast<uint32_t>(bits));
  return std::bit_cast<double>(bits);
}

void FloatRegNode::RawWrite(double value, bool) {
  const size_t length = static_cast<size_t>(register_.Length());
  // A finite double beyond the single range has no float; converting it is
  // undefined, so it is refused even when the caller skips verification.
  if (length == 4 && std::isfinite(value) && std::fabs(value) > FLT_MAX) {
    throw OUT_OF_RANGE_EXCEPTION("Node '%s': %g does not fit a 4-byte float register",
                                 Name().c_str(), value);
  }
  const uint64_t bits = length == 4 ? std::bit_cast<uint32_t>(static_cast<float>(value))
                                    : std::bit_cast<uint64_t>(value);
  RegisterBytes bytes(length);
  UnsignedToBytes(bits, bytes.data(), length, register_.Endianess());
  register_.Write(bytes.data(), length);
}

}  // namespace GenApi
