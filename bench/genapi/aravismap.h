#pragma once

#include <cstdint>
#include <string>

#include "bench/genapi/sparsememory.h"

struct _ArvGc;
struct _ArvDevice;

namespace genapibench {

// The same XML in aravis's own evaluator (ArvGc), over a device whose
// memory is a SparseMemory, with aravis's register cache on.
class AravisMap {
 public:
  AravisMap(const std::string& xml, SparseMemory& memory);
  ~AravisMap();
  AravisMap(const AravisMap&) = delete;
  AravisMap& operator=(const AravisMap&) = delete;

  // Both raise std::runtime_error with aravis's message on failure.
  void SetInteger(const char* feature, int64_t value);
  int64_t GetInteger(const char* feature);

 private:
  _ArvDevice* device_;
  _ArvGc* gc_;
};

}  // namespace genapibench
