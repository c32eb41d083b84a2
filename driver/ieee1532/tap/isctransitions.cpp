// The queue of pin transitions, grown on demand and played to the port.
#include "driver/ieee1532/tap/isctransitions.h"

#include <algorithm>

#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/iscpins.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

// Room for one more cycle: four transitions at most.
[[gnu::noinline]] void Grow(TapQueue& queue) {
  queue.transitions.resize(std::max(2 * queue.transitions.size(), queue.count + 4));
}

// Data with the clock low, the TDO read, the clock high, the clock low again.
void QueueCycle(TapQueue& queue, bool readTdo, int tms, int tdi) {
  if (queue.transitions.size() - queue.count < 4) [[unlikely]]
    Grow(queue);
  const auto low = static_cast<uint8_t>((queue.state & ~(kTapStateTms | kTapStateTdi)) |
                                        (tms ? kTapStateTms : 0) | (tdi ? kTapStateTdi : 0));
  TapTransition* entry = queue.transitions.data() + queue.count;
  entry->kind = kTapTransitionWrite;
  entry->state = low;
  if (readTdo) {
    ++entry;
    entry->kind = kTapTransitionRead;
    entry->state = low;
    queue.readsQueued = true;
  }
  entry[1].kind = kTapTransitionWrite;
  entry[1].state = static_cast<uint8_t>(low | kTapStateTck);
  entry[2].kind = kTapTransitionWrite;
  entry[2].state = static_cast<uint8_t>(low & ~kTapStateTck);
  queue.count = static_cast<size_t>(entry + 3 - queue.transitions.data());
  queue.state = entry[2].state;
  if (queue.count >= kTapFlushThreshold) {
    // The TDO bits of a capture must fit in one buffer; playing now would lose them.
    if (queue.readsQueued) IscReportf(kIscError, false, nullptr, "iReadTdo = 1");
    TapPlayBuffer(queue.transitions.data(), queue.count);
    queue.count = 0;
  }
}

// The TDO bit of every read entry, packed least significant bit first.
void CollectTdo(const TapQueue& queue, bool checkBurst, std::vector<uint8_t>& tdoBytes,
                int64_t& tdoBits) {
  const auto bits = static_cast<int64_t>(queue.count / 4);
  if (checkBurst && bits % 8 != 0) {
    IscReportf(kIscError, false, nullptr, "DataBurst != multiple of 8\n");
  }
  tdoBytes.assign(static_cast<size_t>((bits + 7) / 8), 0);
  for (int64_t bit = 0; bit < bits; ++bit) {
    if (queue.transitions[static_cast<size_t>(bit * 4 + 1)].state & kTapStateTdo) {
      tdoBytes[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(1u << (bit % 8));
    }
  }
  tdoBits = bits;
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
    QueueCycle(queue, readTdo, tms, tdi);
    return 0;
  }
  if (queue.count > 0) TapPlayBuffer(queue.transitions.data(), queue.count);
  if (readTdo && queue.readsQueued) CollectTdo(queue, checkBurst, *tdoBytes, *tdoBits);
  queue.count = 0;
  queue.readsQueued = false;
  return 1;
}

}  // namespace zor::isc
