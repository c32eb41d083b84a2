// What a request waits for among the frames being written outside the board's lock:
// the frames of the channels it stops or asks about, and those written into memory it
// reads or frees. The other channels' frames go on meanwhile.
#include <algorithm>

#include "platform/boardsim/board.h"

namespace boardsim {

namespace {
constexpr uint64_t kHalt = 1810;

// Each plane's bytes from its first row to the end of its last, whole rows.
bool Overlaps(const FrameTarget& a, const FrameTarget& b) {
  for (int i = 0; i < a.bands; ++i) {
    for (int j = 0; j < b.bands; ++j) {
      const uint8_t* aEnd = a.planes[i] + a.height * a.pitchBytes;
      const uint8_t* bEnd = b.planes[j] + b.height * b.pitchBytes;
      if (a.planes[i] < bEnd && b.planes[j] < aEnd) return true;
    }
  }
  return false;
}

bool Overlaps(const FrameTargets& a, const FrameTargets& b) {
  if (a.Empty() || b.Empty()) return false;
  if (a.anyMemory || b.anyMemory) return true;
  for (size_t i = 0; i < a.count; ++i) {
    for (size_t j = 0; j < b.count; ++j) {
      if (Overlaps(a.items[i], b.items[j])) return true;
    }
  }
  return false;
}

bool Conflict(const WriteConflicts& conflicts, const WriteRound& round) {
  return (conflicts.channels >> round.channel & 1) != 0 ||
         Overlaps(conflicts.targets, round.targets);
}
}  // namespace

void Board::AddSystemChannels(uint64_t systemId, WriteConflicts& conflicts) const {
  for (const auto& [id, dig] : digitizers_) {
    if (dig.systemId == systemId) conflicts.AddChannel(dig.channel);
  }
}

// The digitizers whose grabs a halt of the object ends.
void Board::AddObjectChannels(uint64_t objectId, WriteConflicts& conflicts) const {
  for (const auto& [id, dig] : digitizers_) {
    const bool grabs = std::any_of(dig.grabs.begin(), dig.grabs.end(),
                                   [&](const SingleGrab& g) { return g.job.objectId == objectId; });
    if (grabs || dig.processObject == objectId) conflicts.AddChannel(dig.channel);
  }
}

void Board::AddBuffer(uint64_t handle, WriteConflicts& conflicts) {
  if (const BoardBuffer* buffer = FindBuffer(handle)) conflicts.AddTarget(buffer->Target());
}

void Board::AddHostBuffer(const zor::kernel::KernelBufferDescriptor& desc,
                          WriteConflicts& conflicts) const {
  FrameTarget target;
  if (PlaneTarget(desc, target)) conflicts.AddTarget(target);
}

WriteConflicts Board::ConflictsOf(const Call& call) {
  using namespace zor::kernel;
  WriteConflicts conflicts;
  auto digitizer = [&](const DigChannelRecord& record) {
    if (const Digitizer* dig = FindDigitizer(record)) conflicts.AddChannel(dig->channel);
  };
  auto digitizerById = [&](uint64_t id) {
    auto it = digitizers_.find(id);
    if (it != digitizers_.end()) conflicts.AddChannel(it->second.channel);
  };
  switch (call.function) {
    // Grabs stop: nothing of them is written once the request returns.
    case kDigFree:
    case kDigStopGrab:
      digitizer(call.As<DigRecordRequest>().record);
      break;
    case kDigControl:
      if ((call.As<DigChannelRequest>().type & ~kForceBoardBit) == kGrabAbort) {
        digitizer(call.As<DigChannelRequest>().record);
      }
      break;
    case kDigProcessStop:
      digitizerById(call.As<DigProcessRequest>().kernelDigitizer);
      break;
    case kSysClose:
      AddSystemChannels(call.Header().systemId, conflicts);
      break;
    case kSysControl:
      if (call.As<SysControlRequest>().type == kHalt) {
        AddSystemChannels(call.Header().systemId, conflicts);
      }
      break;
    case kKernelObjectControl:
      if (call.As<ObjectValueRequest>().type == kObjectHalt) {
        AddObjectChannels(call.Header().objectId, conflicts);
      }
      break;
    // Grabs that the answer tells are done are written.
    case kDigGrabWait:
      digitizer(call.As<GrabWaitRequest>().record);
      break;
    case kDigInquireValue:
      if (call.Header().objectId != 0) {
        digitizerById(call.Header().objectId);
      } else {
        AddSystemChannels(call.Header().systemId, conflicts);
      }
      break;
    // Memory that the request frees, reads or writes.
    case kBufFree:
    case kFreeOnBoardBuffer:
      AddBuffer(call.As<BufHandleRequest>().kernelHandle, conflicts);
      break;
    case kBufTransfer: {
      const auto& r = call.As<BufTransferRequest>();
      AddBuffer(r.deviceHandle, conflicts);
      AddHostBuffer(r.other, conflicts);
      break;
    }
    case kBufQueueGrab: {
      const auto& r = call.As<BufQueueGrabRequest>();
      AddBuffer(r.kernelHandle, conflicts);
      auto host = hostBuffers_.find(r.hostBuffer);
      if (host != hostBuffers_.end()) AddHostBuffer(host->second, conflicts);
      break;
    }
    case kBufTripleTransfer: {
      const auto& r = call.As<BufTripleTransferRequest>();
      AddBuffer(r.firstHandle, conflicts);
      AddBuffer(r.destHandle, conflicts);
      if (r.thirdHandle != 0) AddBuffer(r.thirdHandle, conflicts);
      break;
    }
    default:
      break;
  }
  return conflicts;
}

void Board::WaitForWrites(Call& call) {
  if (writing_.empty()) return;
  const WriteConflicts conflicts = ConflictsOf(call);
  if (!conflicts.Any()) return;
  // The channels waited for start no new round until the request is served, so that a
  // channel that writes frame after frame cannot keep it waiting.
  uint32_t held = 0;
  for (;;) {
    uint32_t busy = 0;
    for (const WriteRound& round : writing_) {
      if (Conflict(conflicts, round)) busy |= 1u << round.channel;
    }
    if (busy == 0) break;
    for (uint64_t channel = 0; channel < kMaxChannels; ++channel) {
      if ((busy & ~held) >> channel & 1) ++held_[channel];
    }
    held |= busy;
    changed_.wait(*call.lock);
  }
  if (held == 0) return;
  for (uint64_t channel = 0; channel < kMaxChannels; ++channel) {
    if ((held >> channel & 1) != 0 && --held_[channel] == 0) clocks_[channel].wake.notify_all();
  }
  changed_.notify_all();  // a requester's frame may wait for its channel
}

}  // namespace boardsim
