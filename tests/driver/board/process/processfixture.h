// A board system with a digitizer and a ring of grab buffers, and a
// processing function that records what it sees.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "tests/driver/board/digitizer/digitizerfixture.h"

namespace zor::board {

// QdigProcess operations and flags, and the digitizer words the tests read.
inline constexpr QINT64 kWait = 1;
inline constexpr QINT64 kContinuous = 2;
inline constexpr QINT64 kStop = 4;
inline constexpr QINT64 kSequence = 8;
inline constexpr QINT64 kSynchronous = 1;
inline constexpr QINT64 kAsynchronous = 2;
inline constexpr QINT64 kTriggerForFirstGrab = 16;
inline constexpr QINT64 kInProgress = 5337;
inline constexpr QINT64 kTriggerState = 4200;
inline constexpr QINT64 kEnabled = -9997;

// A sequence of so many frames.
inline QINT64 SequenceOf(QINT64 frames) { return kSequence + (frames << 5); }

// What one call of the processing function saw.
struct Seen {
  QID buffer;
  QINT64 position;  // in the processing list
  int64_t frame;    // drawn by the simulator into the buffer
};

struct Recorder {
  std::mutex lock;
  std::vector<Seen> seen;
  std::atomic<int64_t> calls{0};
  // Called with the number of calls so far; may stop the run.
  std::function<void(int64_t)> onCall;

  std::vector<Seen> Copy() {
    std::lock_guard guard(lock);
    return seen;
  }
};

// Each frame once, in order, in the buffer the ring gives it.
void ExpectRingOrder(const std::vector<Seen>& seen, const std::vector<QID>& ring);
// The same, whatever order the processing function saw the frames in.
void ExpectFilledInRingOrder(std::vector<Seen> seen, const std::vector<QID>& ring);
// Every call named a buffer of the ring at its position: one run at a time.
void ExpectRingPositions(const std::vector<Seen>& seen, const std::vector<QID>& ring);

class ProcessFixture : public DigitizerFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::vector<QID> Ring(QID system, size_t count);
  static QINT64 Process(QINT64 flags, QID event, void* user);
  // Waits (without asserting on time) until the recorder has seen so many calls.
  static bool WaitForCalls(const Recorder& recorder, int64_t calls);
  // Waits until no call came for a while.
  static int64_t Settled(const Recorder& recorder);
  // Waits until the board has made so many more frames on channel 0.
  static void LetFramesGo(uint64_t frames);
  static int64_t FrameNumber(QID buffer);
  // A synchronous sequence of so many frames over the whole ring works: it sees each frame once
  // in the ring's order, of its calls or, with several hook threads, of its frames.
  static void ExpectSequence(QID digitizer, const std::vector<QID>& ring, int64_t frames,
                             bool callsInOrder = true);
  // A waiting stop on a thread of its own; one that does not return within a minute fails the
  // test and is released by a stop that does not wait. Returns the waiting stop's error code.
  static QINT64 StopWaiting(QID digitizer, const std::vector<QID>& ring, Recorder& recorder);
  // Stops the digitizer's run with a waiting stop, which must succeed and leave no run in
  // progress; returns the calls once they settled.
  static int64_t StopRun(QID digitizer, const std::vector<QID>& ring, Recorder& recorder);

  QID digitizer_ = 0;
  std::vector<QID> buffers_;
};

}  // namespace zor::board
