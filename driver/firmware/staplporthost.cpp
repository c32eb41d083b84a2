// CStaplPortHost: the program bytes from memory and the TAP pins of a JTAG port.
#include "driver/firmware/staplporthost.h"

#include "driver/firmware/busywaittimer.h"
#include "driver/firmware/stapl/textscan.h"
#include "driver/foundation/asciitext.h"
#include "interfaces/jtag/jtagpins.h"

namespace zor::firmware {

namespace {

bool VectorBit(const int64_t* vector, int index) {
  return (vector[index / 32] >> (index % 32)) & 1;
}

}  // namespace

CStaplPortHost::CStaplPortHost(const char* script, int32_t length, CJtagProgrammer& port)
    : script_(script), length_(length), port_(port), signals_{{"**TCK**", 0}, {"**TMS**", 1},
                                                              {"**TDI**", 6}, {"**TDO**", 7},
                                                              {"TCK", 0},     {"TMS", 1},
                                                              {"TDI", 6},     {"TDO", 7},
                                                              {"DCLK", 0},    {"NCONFIG", 1},
                                                              {"DATA", 6},    {"CONF_DONE", 7},
                                                              {"NSTATUS", 4}} {}

int CStaplPortHost::StaplGetChar() {
  if (position_ >= length_) return -1;
  // Unsigned: a 0xFF byte is data, not the end of the program.
  return static_cast<unsigned char>(script_[position_++]);
}

int CStaplPortHost::StaplSeek(int32_t offset) {
  if (offset < 0 || offset >= length_) return -1;
  position_ = offset;
  return 0;
}

int CStaplPortHost::StaplJtagIo(int tms, int tdi, int readTdo) {
  pins_ &= ~(jtag::kPinTms | jtag::kPinTck | jtag::kPinTdi);
  if (tms) pins_ |= jtag::kPinTms;
  if (tdi) pins_ |= jtag::kPinTdi;
  port_.WritePins(pins_);
  int tdo = 0;
  if (readTdo) {
    port_.ReadPins(&pins_);
    tdo = pins_ & jtag::kPinTdo;
  }
  pins_ |= jtag::kPinTck;
  port_.WritePins(pins_);
  return tdo;
}

void CStaplPortHost::StaplDelay(int64_t microseconds) {
  // A wait is a minimum time: never round it down.
  if (microseconds > 0) ProcessBusyWaitTimer().WaitMicroseconds(static_cast<double>(microseconds));
}

int CStaplPortHost::StaplVectorMap(int count, const char* const* names) {
  for (Signal& signal : signals_) signal.index = -1;
  int assigned = 0;
  for (int i = 0; i < count; ++i) {
    for (Signal& signal : signals_) {
      if (signal.index == -1 && foundation::EqualsIgnoreCase(signal.name, names[i])) {
        signal.index = i;
        ++assigned;
        break;
      }
    }
  }
  return assigned;
}

int CStaplPortHost::StaplVectorIo(int count, const int64_t* direction, const int64_t* data,
                                  int64_t* capture) {
  uint32_t mapped = 0, outputs = 0;
  int processed = 0;
  for (const Signal& signal : signals_) {
    if (signal.index < 0 || signal.index >= count) continue;
    ++processed;
    mapped |= 1u << signal.bit;
    if (VectorBit(direction, signal.index)) outputs |= 1u << signal.bit;
  }
  if (outputs == mapped || capture == nullptr) return processed;
  // No pin is driven here: an input reads back what the data vector holds for it.
  for (const Signal& signal : signals_) {
    if (signal.index < 0 || signal.index >= count || VectorBit(direction, signal.index)) continue;
    const int64_t bit = int64_t{1} << (signal.index % 32);
    if (VectorBit(data, signal.index)) {
      capture[signal.index / 32] |= bit;
    } else {
      capture[signal.index / 32] &= ~bit;
    }
  }
  return processed;
}

int CStaplPortHost::StaplSetFrequency(int64_t) { return 0; }

}  // namespace zor::firmware
