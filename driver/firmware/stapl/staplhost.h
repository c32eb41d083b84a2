// IStaplHost: what the STAPL interpreter needs of its host.
#pragma once

#include <cstdint>

namespace zor::firmware {

// What the interpreter needs of its host: the program text, the JTAG pins, time and messages.
class IStaplHost {
 public:
  virtual ~IStaplHost() = default;

  // Next program byte (0..255) and advance; -1 at the end.
  virtual int StaplGetChar() = 0;
  // Sets the read position; 0, or -1 when it lies outside the program.
  virtual int StaplSeek(int32_t offset) = 0;
  // One TCK cycle; returns TDO when readTdo is set, else 0.
  virtual int StaplJtagIo(int tms, int tdi, int readTdo) = 0;
  virtual void StaplMessage(const char* text) = 0;
  virtual void StaplExport(const char* key, int64_t value) = 0;
  // A Boolean array range: count bits, 32 to a word, the range's low end at bit 0.
  virtual void StaplExportBits(const char* key, const uint32_t* bits, int64_t count) = 0;
  // Waits at least this long.
  virtual void StaplDelay(int64_t microseconds) = 0;
  // Returns how many of the names it knows.
  virtual int StaplVectorMap(int count, const char* const* names) = 0;
  // Vectors hold 32 signal bits per 64-bit word; capture may be null. Returns the number of
  // signals processed.
  virtual int StaplVectorIo(int count, const int64_t* direction, const int64_t* data,
                            int64_t* capture) = 0;
  // Non-zero when the frequency cannot be set.
  virtual int StaplSetFrequency(int64_t hertz) = 0;
};

}  // namespace zor::firmware
