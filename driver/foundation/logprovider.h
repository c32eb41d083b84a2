// CLogProvider: the source identity and sequence number each driver-log record carries.
#pragma once

#include <cstdint>

namespace zor::foundation {

// Identity that every driver-log record carries: a packed source id and a sequence number
// drawn from one process-wide counter.
class CLogProvider {
 public:
  // bits 0-5 a, 6-11 b, 12-21 c, 22-31 d
  constexpr CLogProvider(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
      : sourceId_((a & 63) | (b & 63) << 6 | ((c & 0x3FF) | d << 10) << 12) {}
  CLogProvider(const CLogProvider&) = default;
  CLogProvider& operator=(const CLogProvider&) = default;
  virtual ~CLogProvider() = default;

  // Takes the next number of the process-wide counter; the stored sequence (its low 20 bits)
  // is never 0. Returns the counter after the increment.
  virtual uint32_t NextSequence();

  uint32_t SourceId() const { return sourceId_; }
  uint32_t Sequence() const { return sequence_; }
  uint32_t Word3() const { return word3_; }
  uint32_t Word4() const { return word4_; }

 private:
  uint32_t sourceId_;
  uint32_t sequence_ = 0;
  uint32_t word3_ = 0;
  uint32_t word4_ = 0;
};

// Stands for the driver itself in records that no object owns (source id 4224).
// Constant-initialised: a thread may log before the library's initialisers have run.
extern constinit CLogProvider g_DriverLogProvider;

}  // namespace zor::foundation
