#include "driver/ieee1532/tap/isctransitions.h"

#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/iscpins.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

[[gnu::noinline]] void Grow(TapQueue& queue) {
  queue.transitions.resize(2 * queue.transitions.size());
}

void Append(TapQueue& queue, uint32_t kind) {
  if (queue.count == queue.transitions.size()) [[unlikely]]
    Grow(queue);
  TapTransition& entry = queue.transitions[queue.count++];
  entry.kind = kind;
  entry.state = queue.state;
}

}  // namespace

void TapAllocateTransitions() {
  TapQueue& queue = IscState().queue;
  queue.transitions.assign(kTapFirstTransitions, TapTransition{});
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
  // The pins as last written or read, and as the entries so far leave them.
  uint32_t written = TapPinWord();
  uint32_t word = written;
  auto write = [&written](uint32_t pins) {
    TapWritePinWord(pins);
    written = pins | kIscPinEngine;
  };
  for (size_t i = 0; i < count; ++i) {
    TapTransition& entry = entries[i];
    uint32_t data = (word & ~(jtag::kPinTms | jtag::kPinTdi)) | kIscPinEngine;
    if (entry.state & kTapStateTms) data |= jtag::kPinTms;
    if (entry.state & kTapStateTdi) data |= jtag::kPinTdi;
    if (entry.state & kTapStateTck) {
      // TMS and TDI settle before the clock rises.
      if (data != written) write(data);
      if ((data | jtag::kPinTck) != data) write(data | jtag::kPinTck);
      word = data | jtag::kPinTck;
    } else {
      // Devices look at TMS and TDI on rising edges only: a low clock goes out together with
      // the next write that keeps it low, so a falling edge and the next bit's data take one
      // write. A read must see the pins as written.
      word = data & ~jtag::kPinTck;
      const bool deferred = i + 1 < count && entry.kind == kTapTransitionWrite &&
                            entries[i + 1].kind == kTapTransitionWrite &&
                            (entries[i + 1].state & kTapStateTck) == 0;
      if (!deferred && word != written) write(word);
    }
    if (entry.kind == kTapTransitionRead) {
      word = TapReadPinWord();
      written = word;
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
