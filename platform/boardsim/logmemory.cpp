#include "platform/boardsim/logmemory.h"

#include <cstring>

namespace boardsim {

LogMemory::LogMemory() : memory_(new uint64_t[(kSize + 7) / 8]()) {
  auto* bytes = reinterpret_cast<uint8_t*>(memory_.get());
  const uint32_t writeOffset = kHeaderSize;
  const uint32_t total = kSize;
  const uint32_t ringSize = kSize;  // 88 plus a whole number of records
  std::memcpy(bytes + 0, &writeOffset, 4);
  std::memcpy(bytes + 4, &total, 4);
  std::memcpy(bytes + 20, &ringSize, 4);
}

}  // namespace boardsim
