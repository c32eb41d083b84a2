// CStaplJtag: walks the TAP state machine and shifts the registers with their pre- and postambles.
#include "driver/firmware/stapl/jtaglayer.h"

#include "driver/firmware/stapl/bitarray.h"
#include "driver/firmware/stapl/staplhost.h"
#include "driver/firmware/stapl/staplresult.h"

namespace zor::firmware {

namespace {

using S = zor::jtag::TapState;

struct TapRow {
  S next1;
  S next0;
  uint16_t path;  // bit t: the first step toward state t takes TMS = 1
};

constexpr TapRow kTap[16] = {
    {S::kReset, S::kIdle, 0x0001},         {S::kDrSelect, S::kIdle, 0xFFFD},
    {S::kIrSelect, S::kDrCapture, 0xFE01}, {S::kDrExit1, S::kDrShift, 0xFFE7},
    {S::kDrExit1, S::kDrShift, 0xFFEF},    {S::kDrUpdate, S::kDrPause, 0xFF0F},
    {S::kDrExit2, S::kDrPause, 0xFFBF},    {S::kDrUpdate, S::kDrShift, 0xFF0F},
    {S::kDrSelect, S::kIdle, 0xFEFD},      {S::kReset, S::kIrCapture, 0x0001},
    {S::kIrExit1, S::kIrShift, 0xF3FF},    {S::kIrExit1, S::kIrShift, 0xF7FF},
    {S::kIrUpdate, S::kIrPause, 0x87FF},   {S::kIrExit2, S::kIrPause, 0xDFFF},
    {S::kIrUpdate, S::kIrShift, 0x87FF},   {S::kDrSelect, S::kIdle, 0x7FFD},
};

constexpr std::string_view kNames[16] = {
    "RESET",    "IDLE",     "DRSELECT",  "DRCAPTURE", "DRSHIFT", "DREXIT1", "DRPAUSE", "DREXIT2",
    "DRUPDATE", "IRSELECT", "IRCAPTURE", "IRSHIFT",   "IREXIT1", "IRPAUSE", "IREXIT2", "IRUPDATE",
};

const TapRow& Row(S s) { return kTap[static_cast<int>(s)]; }

}  // namespace

jtag::TapState StaplTapStateByName(std::string_view name) {
  for (int i = 0; i < 16; ++i) {
    if (kNames[i] == name) return static_cast<S>(i);
  }
  return S::kUnknown;
}

bool CStaplJtag::ClockBit(bool tms, bool tdi, bool readTdo) {
  const int tdo = host_.StaplJtagIo(tms, tdi, readTdo);
  if (state_ != S::kUnknown) state_ = tms ? Row(state_).next1 : Row(state_).next0;
  return tdo != 0;
}

void CStaplJtag::Clock(bool tms) { ClockBit(tms, false, false); }

int CStaplJtag::Walk(jtag::TapState target) {
  for (int step = 0; step < 9 && state_ != target; ++step) {
    Clock((Row(state_).path >> static_cast<int>(target)) & 1);
  }
  return state_ == target ? kStaplSuccess : kStaplInternalError;
}

int CStaplJtag::GotoState(jtag::TapState target) {
  if (state_ == S::kUnknown) {
    state_ = S::kReset;
    for (int i = 0; i < 5; ++i) Clock(true);
    Clock(false);
  } else if (state_ == target) {
    // Stable states take one clock that keeps them.
    if (target == S::kReset) {
      Clock(true);
    } else if (target == S::kIdle || target == S::kDrShift || target == S::kDrPause ||
               target == S::kIrShift || target == S::kIrPause) {
      Clock(false);
    }
    return kStaplSuccess;
  }
  return Walk(target);
}

int CStaplJtag::GotoStateIfDifferent(jtag::TapState target) {
  return state_ == target ? kStaplSuccess : GotoState(target);
}

void CStaplJtag::Release() {
  if (state_ == S::kUnknown) return;
  for (int i = 0; i < 5; ++i) Clock(true);
  Clock(false);
}

void CStaplJtag::SetAmble(Amble& amble, int64_t count, Bits data) {
  if (count < 0) return;
  amble.count = count;
  amble.bits.resize(count);
  for (int64_t i = 0; i < count; ++i) {
    amble.bits[i] = data.words == nullptr ? 1 : GetStaplBit(data.words, data.start + i);
  }
}

int CStaplJtag::ScanDr(int64_t count, Bits data, uint32_t* capture, int64_t captureStart) {
  return Scan(false, count, data, capture, captureStart);
}

int CStaplJtag::ScanIr(int64_t count, Bits data, uint32_t* capture, int64_t captureStart) {
  return Scan(true, count, data, capture, captureStart);
}

int CStaplJtag::Scan(bool ir, int64_t count, Bits data, uint32_t* capture, int64_t captureStart) {
  const Amble& pre = ir ? preIr_ : preDr_;
  const Amble& post = ir ? postIr_ : postDr_;
  std::vector<uint8_t>& buffer = ir ? irBuffer_ : drBuffer_;
  const S pause = ir ? S::kIrPause : S::kDrPause;
  const S stop = ir ? irStop_ : drStop_;

  int start;  // 0 from IDLE, 1 from DRPAUSE, 2 from IRPAUSE
  int rc;
  if (state_ == S::kUnknown || state_ == S::kReset || state_ == S::kIdle) {
    start = 0;
    rc = GotoState(S::kIdle);
  } else if (state_ <= S::kDrUpdate) {
    start = 1;
    rc = GotoState(S::kDrPause);
  } else {
    start = 2;
    rc = GotoState(S::kIrPause);
  }
  if (rc != kStaplSuccess) return rc;

  const int64_t total = pre.count + count + post.count;
  buffer.resize(total);
  uint8_t* bit = buffer.data();
  for (int64_t i = 0; i < pre.count; ++i) *bit++ = pre.bits[i];
  for (int64_t i = 0; i < count; ++i) *bit++ = GetStaplBit(data.words, data.start + i);
  for (int64_t i = 0; i < post.count; ++i) *bit++ = post.bits[i];

  // TMS of each clock into the shift state, the first clock's in bit 0.
  static constexpr unsigned kDrEntry[3] = {0b001, 0b01, 0b00111};
  static constexpr int kDrEntryLength[3] = {3, 2, 5};
  static constexpr unsigned kIrEntry[3] = {0b0011, 0b001111, 0b01};
  static constexpr int kIrEntryLength[3] = {4, 6, 2};
  const unsigned entry = ir ? kIrEntry[start] : kDrEntry[start];
  const int entryLength = ir ? kIrEntryLength[start] : kDrEntryLength[start];
  for (int i = 0; i < entryLength; ++i) Clock(((entry >> i) & 1) != 0);

  const bool read = capture != nullptr;
  for (int64_t i = 0; i < total; ++i) {
    const bool tdo = ClockBit(i == total - 1, buffer[i] != 0, read);
    if (read) buffer[i] = tdo;
  }
  Clock(false);
  if (stop != pause) {
    rc = GotoState(stop);
    if (rc != kStaplSuccess) return rc;
  }
  if (read) {
    for (int64_t i = 0; i < count; ++i) {
      SetStaplBit(capture, captureStart + i, buffer[pre.count + i] != 0);
    }
  }
  return kStaplSuccess;
}

}  // namespace zor::firmware
