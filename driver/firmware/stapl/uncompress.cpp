// Unpacks compressed STAPL Boolean array data.
#include "driver/firmware/stapl/uncompress.h"

#include <cstring>

namespace zor::firmware {

namespace {

// Reads fields of 1 to 16 bits, least significant bit first; bits past the end read as ones.
class CBitReader {
 public:
  CBitReader(const uint8_t* in, int64_t length) : in_(in), length_(length) {}
  uint32_t Read(int bits) {
    uint32_t value = 0;
    for (int i = 0; i < bits; ++i) {
      const int64_t byte = bit_ >> 3;
      const uint32_t bit = byte < length_ ? (in_[byte] >> (bit_ & 7)) & 1 : 1;
      value |= bit << i;
      ++bit_;
    }
    return value;
  }

 private:
  const uint8_t* in_;
  int64_t length_;
  int64_t bit_ = 0;
};

int OffsetWidth(int64_t produced, int version) {
  const int64_t window = version == 2 ? 8191 : 8192;
  int64_t m = produced < window ? produced : window;
  int width = 0;
  while (m > 0) {
    ++width;
    m >>= 1;
  }
  return width == 0 ? 1 : width;
}

}  // namespace

int64_t StaplUncompress(const uint8_t* in, int64_t inLength, uint8_t* out, int64_t capacity,
                        int version) {
  if (capacity > 0) std::memset(out, 0, static_cast<size_t>(capacity));
  CBitReader reader(in, inLength);
  int64_t length = 0;
  for (int i = 0; i < 4; ++i) length |= static_cast<int64_t>(reader.Read(8)) << (8 * i);
  if (length > capacity) return -1;
  int64_t i = 0;
  while (i < length) {
    if (reader.Read(1) == 0) {
      for (int n = 0; n < 3 && i < length; ++n) out[i++] = static_cast<uint8_t>(reader.Read(8));
      continue;
    }
    const int64_t offset = reader.Read(OffsetWidth(i, version));
    const int64_t count = reader.Read(8);
    // Valid data never reach back before the output's start.
    if (offset == 0 || offset > i) return -1;
    for (int64_t n = 0; n < count && i < length; ++n, ++i) out[i] = out[i - offset];
  }
  return length;
}

}  // namespace zor::firmware
