// Page-aligned memory for copies that serve as a reference: some processors
// copy many times slower when the destination lies a few bytes past the source
// within a page, which two heap blocks one after the other can do.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zorbench {

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};
using Pages = std::unique_ptr<uint8_t, FreeDeleter>;

inline Pages PageAligned(size_t bytes, uint8_t fill) {
  const size_t rounded = (bytes + 4095) / 4096 * 4096;
  Pages pages(static_cast<uint8_t*>(std::aligned_alloc(4096, rounded)));
  std::memset(pages.get(), fill, rounded);
  return pages;
}

}  // namespace zorbench
