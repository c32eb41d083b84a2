#include "driver/ieee1532/tap/isctransitions.h"

#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/iscpins.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

void Append(TapQueue& queue, uint32_t kind) {
  TapTransition& entry = queue.transitions[queue.count++];
  entry.kind = kind;
  entry.state = queue.state;
}

}  // namespace

void TapAllocateTransitions() {
  TapQueue& queue = IscState().queue;
  queue.transitions.assign(kTapTransitionCount, TapTransition{});
  queue.count = 0;
  queue.readsQueued = false;
}

void TapFreeTransitions() {
  TapQueue& queue = IscState().queue;
  queue.transitions.clear();
  queue.transitions.shrink_to_fit();
  queue.count = 0;
  queue.readsQueued = false;
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
  TapQueue& queue = IscState().queue;
  if (queue.transitions.empty()) TapAllocateTransitions();
  if (!flush) {
    queue.state = static_cast<uint8_t>((queue.state & ~(kTapStateTms | kTapStateTdi)) |
                                       (tms ? kTapStateTms : 0) | (tdi ? kTapStateTdi : 0));
    Append(queue, kTapTransitionWrite);
    if (readTdo) {
      Append(queue, kTapTransitionRead);
      queue.readsQueued = true;
    }
    queue.state |= kTapStateTck;
    Append(queue, kTapTransitionWrite);
    queue.state &= static_cast<uint8_t>(~kTapStateTck);
    Append(queue, kTapTransitionWrite);
    if (queue.count >= kTapFlushThreshold) {
      // The TDO bits of a capture must fit in one buffer; playing now would lose them.
      if (queue.readsQueued) IscReportf(kIscError, false, nullptr, "iReadTdo = 1");
      TapPlayBuffer(queue.transitions.data(), queue.count);
      queue.count = 0;
    }
    return 0;
  }
  if (queue.count > 0) TapPlayBuffer(queue.transitions.data(), queue.count);
  if (readTdo && queue.readsQueued) {
    int64_t bits = static_cast<int64_t>(queue.count / 4);
    if (checkBurst && bits % 8 != 0) {
      IscReportf(kIscError, false, nullptr, "DataBurst != multiple of 8\n");
    }
    tdoBytes->assign(static_cast<size_t>((bits + 7) / 8), 0);
    for (int64_t bit = 0; bit < bits; ++bit) {
      if (queue.transitions[static_cast<size_t>(bit * 4 + 1)].state & kTapStateTdo) {
        (*tdoBytes)[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(1u << (bit % 8));
      }
    }
    *tdoBits = bits;
  }
  queue.count = 0;
  queue.readsQueued = false;
  return 1;
}

}  // namespace zor::isc
