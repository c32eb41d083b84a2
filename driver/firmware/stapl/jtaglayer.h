// CStaplJtag: the STAPL interpreter's JTAG layer.
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

  explicit CStaplJtag(IStaplHost& host) : host_(host) {}

  jtag::TapState State() const { return state_; }
  // One clock with TDI low.
  void Clock(bool tms);
  // Walks to the target; 0 or 10.
  int GotoState(jtag::TapState target);
  // Walks there only when the state differs (no extra clock in a stable state).
  int GotoStateIfDifferent(jtag::TapState target);
  // Resets through five TMS-high clocks and one low when the state is known.
  void Release();

  void SetDrStop(jtag::TapState s) { drStop_ = s; }
  void SetIrStop(jtag::TapState s) { irStop_ = s; }
  // Negative counts change nothing.
  void SetPreDr(int64_t count, Bits data) { SetAmble(preDr_, count, data); }
  void SetPostDr(int64_t count, Bits data) { SetAmble(postDr_, count, data); }
  void SetPreIr(int64_t count, Bits data) { SetAmble(preIr_, count, data); }
  void SetPostIr(int64_t count, Bits data) { SetAmble(postIr_, count, data); }

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

  IStaplHost& host_;
  jtag::TapState state_ = jtag::TapState::kUnknown;
  jtag::TapState drStop_ = jtag::TapState::kIdle;
  jtag::TapState irStop_ = jtag::TapState::kIdle;
  Amble preDr_, postDr_, preIr_, postIr_;
  std::vector<uint8_t> drBuffer_, irBuffer_;  // one byte per bit
};

}  // namespace zor::firmware
