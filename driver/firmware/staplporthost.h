// CStaplPortHost: serves a STAPL program from memory over a JTAG port.
#pragma once

#include <cstdint>

#include "driver/firmware/jtagprogrammer.h"
#include "driver/firmware/stapl/staplhost.h"

namespace zor::firmware {

// Serves a STAPL program from memory and drives the pins of a JTAG port. What happens to the
// program's messages and exports is the derived class's choice.
class CStaplPortHost : public IStaplHost {
 public:
  CStaplPortHost(const char* script, int32_t length, CJtagProgrammer& port);

  int StaplGetChar() override;
  int StaplSeek(int32_t offset) override;
  int StaplJtagIo(int tms, int tdi, int readTdo) override;
  void StaplDelay(int64_t microseconds) override;
  int StaplVectorMap(int count, const char* const* names) override;
  int StaplVectorIo(int count, const int64_t* direction, const int64_t* data,
                    int64_t* capture) override;
  int StaplSetFrequency(int64_t hertz) override;

 private:
  struct Signal {
    const char* name;
    int bit;
    int index = -1;  // none until a vector map names the signal
  };
  static constexpr int kSignals = 13;

  const char* script_;
  int32_t length_;
  int32_t position_ = 0;
  CJtagProgrammer& port_;
  uint32_t pins_ = 0;
  Signal signals_[kSignals];
};

}  // namespace zor::firmware
