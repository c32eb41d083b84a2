// What the simulated kernel driver keeps about the objects requests create.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "interfaces/kernel/digitizerrequests.h"
#include "platform/boardsim/adv7180.h"
#include "platform/boardsim/eventport.h"
#include "platform/boardsim/framewriter.h"

namespace boardsim {

using Clock = std::chrono::steady_clock;

struct KernelObject {
  int32_t kind = 0;
  int64_t timeoutMs = 20000;
  std::map<uint64_t, uint64_t> settings;
  int pendingGrabs = 0;
};

struct SystemState {
  std::map<uint64_t, uint64_t> controls;
};

// Memory of the board: device-memory and on-board buffers and their children.
struct BoardBuffer {
  std::shared_ptr<std::vector<uint8_t>> storage;
  size_t offset = 0;  // of band 0 in storage
  uint64_t sizeX = 0;
  uint64_t sizeY = 0;
  uint64_t pitchBytes = 0;
  uint64_t planeBytes = 0;  // distance between bands
  int bands = 1;
  int bytesPerPixel = 1;
  uint64_t physical = 0;
  bool onBoard = false;
  std::map<uint64_t, uint64_t> controls;

  uint8_t* Plane(int band) const { return storage->data() + offset + band * planeBytes; }
  FrameTarget Target() const {
    FrameTarget t;
    for (int b = 0; b < bands; ++b) t.planes[b] = Plane(b);
    t.width = sizeX;
    t.height = sizeY;
    t.pitchBytes = pitchBytes;
    t.bands = bands;
    t.bytesPerPixel = bytesPerPixel;
    return t;
  }
};

// A grab as the request described it: the window of the source and the buffer.
struct GrabJob {
  SourceWindow window;
  zor::kernel::GrabBufferPart part{};
  int64_t digitizerIndex = 0;
  uint64_t objectId = 0;  // the kernel object the grab runs under
  // A processing grab waits for a trigger when the trigger was on as it was queued.
  bool waitsForTrigger = false;
};

struct SingleGrab {
  GrabJob job;
  EventRef done;
};

// Memory that frames are written into, or that a request touches. Past its room it stands
// for any memory: a wait that is too wide is slower, one that is too narrow is unsafe.
struct FrameTargets {
  static constexpr size_t kRoom = 3;
  FrameTarget items[kRoom];
  size_t count = 0;
  bool anyMemory = false;

  void Add(const FrameTarget& target) {
    if (count == kRoom) {
      anyMemory = true;
    } else {
      items[count++] = target;
    }
  }
  bool Empty() const { return count == 0 && !anyMemory; }
};

// A frame being written outside the board's lock: its channel and where its pixels go (a
// digitizer's frame fills its continuous grab, one single grab and one processing grab).
struct WriteRound {
  uint64_t id = 0;
  uint64_t channel = 0;
  FrameTargets targets;
  // The kernel object of the processing grab it fills: the grab runs until its pixels are written.
  uint64_t processObject = 0;
};

// The writes a request must not overlap: every write of some channels (a bit each), and
// writes into the memory that it reads, writes or frees.
struct WriteConflicts {
  uint32_t channels = 0;
  FrameTargets targets;

  void AddChannel(uint64_t channel) { channels |= 1u << channel; }
  void AddTarget(const FrameTarget& target) { targets.Add(target); }
  bool Any() const { return channels != 0 || !targets.Empty(); }
};

// The video hardware of one channel.
struct ChannelState {
  Adv7180 decoder;
  uint64_t frames = 0;
  // The digitizer's firmware region: what runs, and what a reset will run.
  std::string firmware;
  std::string stagedFirmware;
  uint64_t identity = 0;
  std::optional<uint64_t> identityAfterReset;
  uint64_t allocations = 0;
};

struct Digitizer {
  uint64_t id = 0;     // kernel word 1
  uint64_t check = 0;  // kernel word 2
  uint64_t systemId = 0;
  uint64_t channel = 0;
  int64_t hostDigitizer = -1;
  uint64_t fullWidth = 640;
  uint64_t fullHeight = 480;
  std::map<uint64_t, uint64_t> controls;
  std::set<uint64_t> enabledHooks;
  uint64_t referenceLevels[4] = {};  // types 6655 to 6658
  uint64_t grabsDone = 0;
  uint64_t triggers = 0;  // received and not yet served by a frame
  std::optional<GrabJob> continuous;
  std::deque<SingleGrab> grabs;
  std::vector<EventRef> endWaiters;        // signalled when no grab is left
  std::vector<EventRef> nextFrameWaiters;  // signalled after the next frame
  // Grab processing: queued grabs by record id, the order they fill in.
  std::map<uint64_t, GrabJob> processGrabs;
  std::deque<uint64_t> processQueue;
  bool processing = false;
  uint64_t processObject = 0;
  bool frameOnRequester = false;  // a request's thread writes the next frame, not the clock
  Clock::time_point nextFrame{};
  // The processing run's count for its measured rate: the frames that filled its grabs and the
  // start of the first of them, so that frames and time cover the same stretch.
  uint64_t runFrames = 0;
  Clock::time_point runSince{};
};

}  // namespace boardsim
