// TAP reset, bypass and register shifts, queued in batches and captured.
#include "driver/ieee1532/tap/isctap.h"

#include <vector>

#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/tap/iscpins.h"
#include "driver/ieee1532/tap/isctransitions.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

// Bits captured in one batch at most, so that a capture never fills the transition buffer.
constexpr int64_t kCaptureBatch = 65534;

void Queue(int tms, int tdi, bool readTdo) {
  TapQueueShift(false, false, readTdo, tms, tdi, nullptr, nullptr);
}

void Flush() { TapQueueShift(true, false, false, 0, 0, nullptr, nullptr); }

// Collects the queued TDO bits into the capture, filling it from position `filled` backwards.
void Collect(std::string* capture, int64_t length, int64_t& filled) {
  std::vector<uint8_t> bytes;
  int64_t bits = 0;
  TapQueueShift(true, false, true, 0, 0, &bytes, &bits);
  for (int64_t bit = 0; bit < bits && filled < length; ++bit, ++filled) {
    bool one = (bytes[static_cast<size_t>(bit / 8)] >> (bit % 8)) & 1;
    (*capture)[static_cast<size_t>(length - 1 - filled)] = one ? '1' : '0';
  }
}

}  // namespace

TapBypassCounts& TapBypass() { return IscState().bypass; }

void TapReset(bool toIdle) {
  for (int i = 0; i < 5; ++i) Queue(1, 0, false);
  if (toIdle) Queue(0, 0, false);
  Flush();
}

void TapShiftBypass(bool trailer, int reg) {
  bool isIr = reg == kTapInstructionRegister;
  const TapBypassCounts& bypass = TapBypass();
  int64_t count = trailer ? (isIr ? bypass.irTrailer : bypass.drTrailer)
                          : (isIr ? bypass.irHeader : bypass.drHeader);
  for (int64_t i = 0; i < count; ++i) Queue(trailer && i == count - 1 ? 1 : 0, 1, false);
  Flush();
}

void TapShiftString(int reg, int64_t length, const char* tdiText, std::string* tdoText,
                    bool readTdo, bool stayInUpdate) {
  bool isIr = reg == kTapInstructionRegister;
  // From Run-Test/Idle or an Update state to Shift, queued with the shift: one rising and one
  // falling edge per step instead of setting each pin on its own.
  if (isIr) Queue(1, 0, false);
  Queue(1, 0, false);
  Queue(0, 0, false);
  Queue(0, 0, false);
  TapShiftBypass(false, reg);
  int64_t trailer = isIr ? TapBypass().irTrailer : TapBypass().drTrailer;
  bool capturing = readTdo && tdoText != nullptr;
  if (capturing) tdoText->assign(static_cast<size_t>(length), '0');
  int64_t filled = 0;
  for (int64_t i = length - 1; i >= 0; --i) {
    int tdi = tdiText == nullptr || tdiText[i] == '1' ? 1 : 0;
    Queue(i == 0 && trailer == 0 ? 1 : 0, tdi, capturing);
    if (capturing && (length - i) % kCaptureBatch == 0) Collect(tdoText, length, filled);
  }
  if (capturing) {
    Collect(tdoText, length, filled);
    if (filled == 0 && length > 0) IscReportf(kIscError, false, nullptr, "rBTA-0");
  } else {
    Flush();
  }
  TapShiftBypass(true, reg);
  Queue(1, 0, false);
  if (!stayInUpdate) Queue(0, 0, false);
  Flush();
}

}  // namespace zor::isc
