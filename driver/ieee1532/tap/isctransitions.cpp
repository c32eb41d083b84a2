#include "driver/ieee1532/tap/isctransitions.h"

#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/iscpins.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

std::vector<TapTransition> g_transitions;
size_t g_count = 0;
bool g_readsQueued = false;
uint8_t g_state = 0;

void Append(uint32_t kind) {
  TapTransition& entry = g_transitions[g_count++];
  entry.kind = kind;
  entry.state = g_state;
}

}  // namespace

void TapAllocateTransitions() {
  g_transitions.assign(kTapTransitionCount, TapTransition{});
  g_count = 0;
  g_readsQueued = false;
}

void TapFreeTransitions() {
  g_transitions.clear();
  g_transitions.shrink_to_fit();
  g_count = 0;
  g_readsQueued = false;
}

void TapPlayBuffer(TapTransition* entries, size_t count) {
  uint32_t word = TapPinWord();
  for (size_t i = 0; i < count; ++i) {
    TapTransition& entry = entries[i];
    uint32_t pins = (word & ~(jtag::kPinTms | jtag::kPinTdi)) | kIscPinEngine;
    if (entry.state & kTapStateTms) pins |= jtag::kPinTms;
    if (entry.state & kTapStateTdi) pins |= jtag::kPinTdi;
    // An unchanged word moves no pin; only changes go to the port.
    if (pins != word) TapWritePinWord(pins);
    uint32_t clocked = (entry.state & kTapStateTck) ? pins | jtag::kPinTck : pins & ~jtag::kPinTck;
    if (clocked != pins) TapWritePinWord(clocked);
    word = clocked;
    if (entry.kind == kTapTransitionRead) {
      word = TapReadPinWord();
      entry.state = static_cast<uint8_t>((entry.state & ~kTapStateTdo) |
                                         ((word & jtag::kPinTdo) ? kTapStateTdo : 0));
    }
  }
}

int TapQueueShift(bool flush, bool checkBurst, bool readTdo, int tms, int tdi,
                  std::vector<uint8_t>* tdoBytes, int64_t* tdoBits) {
  if (g_transitions.empty()) TapAllocateTransitions();
  if (!flush) {
    g_state = static_cast<uint8_t>((g_state & ~(kTapStateTms | kTapStateTdi)) |
                                   (tms ? kTapStateTms : 0) | (tdi ? kTapStateTdi : 0));
    Append(kTapTransitionWrite);
    if (readTdo) {
      Append(kTapTransitionRead);
      g_readsQueued = true;
    }
    g_state |= kTapStateTck;
    Append(kTapTransitionWrite);
    g_state &= static_cast<uint8_t>(~kTapStateTck);
    Append(kTapTransitionWrite);
    if (g_count >= kTapFlushThreshold) {
      // The TDO bits of a capture must fit in one buffer; playing now would lose them.
      if (g_readsQueued) IscReportf(kIscError, false, nullptr, "iReadTdo = 1");
      TapPlayBuffer(g_transitions.data(), g_count);
      g_count = 0;
    }
    return 0;
  }
  if (g_count > 0) TapPlayBuffer(g_transitions.data(), g_count);
  if (readTdo && g_readsQueued) {
    int64_t bits = static_cast<int64_t>(g_count / 4);
    if (checkBurst && bits % 8 != 0) {
      IscReportf(kIscError, false, nullptr, "DataBurst != multiple of 8\n");
    }
    tdoBytes->assign(static_cast<size_t>((bits + 7) / 8), 0);
    for (int64_t bit = 0; bit < bits; ++bit) {
      if (g_transitions[static_cast<size_t>(bit * 4 + 1)].state & kTapStateTdo) {
        (*tdoBytes)[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(1u << (bit % 8));
      }
    }
    *tdoBits = bits;
  }
  g_count = 0;
  g_readsQueued = false;
  return 1;
}

}  // namespace zor::isc
