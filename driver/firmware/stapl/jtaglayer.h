#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "interfaces/jtag/tapstate.h"

namespace zor::firmware {

class IStaplHost;

// Parses a state name ("IDLE", "DRPAUSE", ...); kUnknown when it is none.
jtag::TapState StaplTapStateByName(std::string_view name);

// The interpreter's JTAG layer: tracks the TAP state, walks it with TMS and shifts the
// instruction and data registers with the pre- and postamble bits.
class CStaplJtag {
 public:
  // Source bits of a scan or a pre/postamble: 32 bits per word.
  struct Bits {
    const uint32_t* words = nullptr;  // null: all ones
    int64_t start = 0;
  };

  explicit CStaplJtag(IStaplHost& host) : m_host(host) {}

  jtag::TapState State() const { return m_state; }
  // One clock with TDI low.
  void Clock(bool tms);
  // Walks to the target; 0 or 10.
  int GotoState(jtag::TapState target);
  // Walks there only when the state differs (no extra clock in a stable state).
  int GotoStateIfDifferent(jtag::TapState target);
  // Resets through five TMS-high clocks and one low when the state is known.
  void Release();

  void SetDrStop(jtag::TapState s) { m_drStop = s; }
  void SetIrStop(jtag::TapState s) { m_irStop = s; }
  // Negative counts change nothing.
  void SetPreDr(int64_t count, Bits data) { SetAmble(m_preDr, count, data); }
  void SetPostDr(int64_t count, Bits data) { SetAmble(m_postDr, count, data); }
  void SetPreIr(int64_t count, Bits data) { SetAmble(m_preIr, count, data); }
  void SetPostIr(int64_t count, Bits data) { SetAmble(m_postIr, count, data); }

  // Scans count bits; with capture, the captured bits go to capture from captureStart on.
  int ScanDr(int64_t count, Bits data, uint32_t* capture, int64_t captureStart);
  int ScanIr(int64_t count, Bits data, uint32_t* capture, int64_t captureStart);

 private:
  struct Amble {
    int64_t count = 0;
    std::vector<uint8_t> bits;
  };
  static void SetAmble(Amble& amble, int64_t count, Bits data);
  int Scan(bool ir, int64_t count, Bits data, uint32_t* capture, int64_t captureStart);
  bool ClockBit(bool tms, bool tdi, bool readTdo);
  int Walk(jtag::TapState target);

  IStaplHost& m_host;
  jtag::TapState m_state = jtag::TapState::kUnknown;
  jtag::TapState m_drStop = jtag::TapState::kIdle;
  jtag::TapState m_irStop = jtag::TapState::kIdle;
  Amble m_preDr, m_postDr, m_preIr, m_postIr;
  std::vector<uint8_t> m_drBuffer, m_irBuffer;  // one byte per bit
};

}  // namespace zor::firmware
