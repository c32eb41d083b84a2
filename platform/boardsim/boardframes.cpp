// The board's clocks, one per channel: produce the frames of the digitizers that
// have grabs to serve, write them and raise the frame and grab events; and the
// frame that a single grab's own thread writes.
#include <pthread.h>
#include <sys/prctl.h>

#include <algorithm>
#include <string>
#include <thread>

#include "platform/boardsim/board.h"

namespace boardsim {

namespace {
constexpr uint64_t kFieldOne = 0x10010000;
constexpr uint64_t kFieldTwo = 0x10020000;
constexpr uint64_t kGrabStart = 0x10070000;
constexpr uint64_t kGrabEnd = 0x10080000;
constexpr uint64_t kFrameStart = 0x10090000;
constexpr uint64_t kFrameEnd = 0x100A0000;
constexpr uint64_t kTriggerState = 4200;
constexpr uint64_t kTriggerEnabled = static_cast<uint64_t>(-9997);
// The board's counter runs in microseconds.
constexpr uint64_t kMicrosecondsPerSecond = 1000000;
constexpr auto kPeriod60Hz = std::chrono::microseconds(33367);
constexpr auto kPeriod50Hz = std::chrono::microseconds(40000);
constexpr auto kShortestSleep = std::chrono::microseconds(50);
// The most frames a late clock writes at once to come back to its frames' times.
constexpr int kFramesOwed = 16;
// What a grab's frame queues to run outside the lock (its writes, the wait for its last line,
// the grab's end, the events waited for), in room made once.
constexpr size_t kFrameActions = 8;
}  // namespace

bool Board::HasWork(const Digitizer& dig) const {
  return dig.continuous || !dig.grabs.empty() || !dig.nextFrameWaiters.empty() ||
         (dig.processing && !dig.processQueue.empty());
}

bool Board::TriggerOn(const Digitizer& dig) {
  const auto trigger = dig.controls.find(kTriggerState);
  return trigger != dig.controls.end() && trigger->second == kTriggerEnabled;
}

bool Board::FrameWaitsForTrigger(const Digitizer& dig) {
  // A processing grab keeps the trigger state it was queued under: a driver that toggles the
  // trigger between its grabs decides which of them wait, however late its toggles come.
  if (dig.processing && !dig.processQueue.empty() && !dig.continuous && dig.grabs.empty()) {
    return dig.processGrabs.at(dig.processQueue.front()).waitsForTrigger;
  }
  return TriggerOn(dig);
}

Clock::duration Board::FramePeriod(const Digitizer& dig) {
  if (frameTimeUs_ != 0) return std::chrono::microseconds(frameTimeUs_);
  return channels_[dig.channel].decoder.Is50Hz() ? Clock::duration(kPeriod50Hz)
                                                 : Clock::duration(kPeriod60Hz);
}

void Board::StartClock(uint64_t channel) {
  ChannelClock& clock = clocks_[channel];
  if (clock.thread.joinable()) return;
  clock.thread = std::thread([this, channel] {
    // Frames may be microseconds apart: the clock wakes when asked, not up to the
    // default 50 us later.
    prctl(PR_SET_TIMERSLACK, 1UL);
    const std::string name = kClockThreadName + (" " + std::to_string(channel));
    pthread_setname_np(pthread_self(), name.c_str());
    ClockLoop(channel);
  });
}

void Board::Wake(const Digitizer& dig) {
  // A digitizer whose next frame is set is in the clock's wait already.
  if (dig.nextFrame == Clock::time_point{}) clocks_[dig.channel].wake.notify_all();
  changed_.notify_all();
}

void Board::WakeAll() {
  for (ChannelClock& clock : clocks_) clock.wake.notify_all();
  changed_.notify_all();
}

void Board::ClockLoop(uint64_t channel) {
  std::condition_variable& wake = clocks_[channel].wake;
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (held_[channel] > 0) {
      wake.wait(lock);
      continue;
    }
    const auto now = Clock::now();
    auto next = Clock::time_point::max();
    Deferred out;
    // The events of this round's frames tell of pixels written only after the lock is left.
    WriteRound round;
    round.id = ++round_;
    round.channel = channel;
    events_.SetRound(round.id);
    for (auto& [id, dig] : digitizers_) {
      if (dig.channel != channel || dig.frameOnRequester) continue;
      if (!HasWork(dig)) {
        dig.nextFrame = {};
        continue;
      }
      const auto period = FramePeriod(dig);
      if (dig.nextFrame == Clock::time_point{}) dig.nextFrame = now + period;
      if (dig.nextFrame <= now) {
        ProduceFrame(dig, round, out);
        // The camera's frames keep their times: a clock that woke late writes the frames
        // it owes one after the other, unless it fell too far behind to catch up.
        dig.nextFrame += period;
        if (now - dig.nextFrame > period * kFramesOwed) dig.nextFrame = now;
      }
      next = std::min(next, dig.nextFrame);
    }
    events_.SetRound(0);
    if (!out.empty() || round.processObject != 0) {
      WriteOutsideLock(lock, round, out);
      continue;
    }
    if (next == Clock::time_point::max()) {
      wake.wait(lock);
    } else if (next - now < kShortestSleep) {
      // Frames microseconds apart: a sleep would end late, so the clock waits awake.
      lock.unlock();
      while (Clock::now() < next) std::this_thread::yield();
      lock.lock();
    } else {
      wake.wait_until(lock, next);
    }
  }
}

void Board::WriteOutsideLock(std::unique_lock<std::mutex>& lock, const WriteRound& round,
                             Deferred& out) {
  // Frames are written without the lock, so that the driver's next requests are
  // not held up by the pixels.
  writing_.push_back(round);
  lock.unlock();
  for (auto& action : out) action();
  lock.lock();
  writing_.erase(std::find_if(writing_.begin(), writing_.end(),
                              [&](const WriteRound& w) { return w.id == round.id; }));
  if (round.processObject != 0) {
    auto object = objects_.find(round.processObject);
    if (object != objects_.end()) --object->second.pendingGrabs;
  }
  RoundWritten(round.id).notify_all();
  changed_.notify_all();
}

bool Board::Writing(uint64_t round) const {
  return std::any_of(writing_.begin(), writing_.end(),
                     [&](const WriteRound& w) { return w.id == round; });
}

bool Board::ChannelWriting(uint64_t channel) const {
  return std::any_of(writing_.begin(), writing_.end(),
                     [&](const WriteRound& w) { return w.channel == channel; });
}

bool Board::FrameOnRequester(Digitizer& dig) {
  if (HasWork(dig) || dig.frameOnRequester) return false;
  const auto period = FramePeriod(dig);
  if (period >= kShortestSleep) return false;
  dig.frameOnRequester = true;
  dig.nextFrame = Clock::now() + period;
  return true;
}

// The requesting thread writes the frame as the clock would, and finds its grab done when it
// returns. It writes the pixels while the frame comes in, as a DMA engine writes each line as it
// arrives; what tells of the frame's end waits for its last line.
bool Board::WriteFrameOnRequester(uint64_t digitizerId) {
  std::unique_lock lock(mutex_);
  auto it = digitizers_.find(digitizerId);
  if (it == digitizers_.end()) return false;
  // The channel's frames follow one another: the one its clock is still writing ends first.
  const uint64_t channel = it->second.channel;
  changed_.wait(lock, [&] { return held_[channel] == 0 && !ChannelWriting(channel); });
  it = digitizers_.find(digitizerId);
  if (it == digitizers_.end() || !it->second.frameOnRequester) return false;
  Digitizer& dig = it->second;
  dig.frameOnRequester = false;
  Deferred out;
  out.reserve(kFrameActions);
  WriteRound round;
  round.id = ++round_;
  round.channel = channel;
  events_.SetRound(round.id);
  ProduceFrame(dig, round, out, dig.nextFrame);
  events_.SetRound(0);
  // The frame went to the oldest grab, the requester's: it is over unless grabs are still
  // queued (no video, a trigger to come, another thread's grab behind it).
  const bool served = dig.grabs.empty();
  // What the frame did not serve (no video, a trigger still to come) is the clock's.
  if (HasWork(dig)) {
    dig.nextFrame = std::max(dig.nextFrame + FramePeriod(dig), Clock::now());
    clocks_[dig.channel].wake.notify_all();
  } else {
    dig.nextFrame = {};
  }
  if (!out.empty() || round.processObject != 0) WriteOutsideLock(lock, round, out);
  return served;
}

bool Board::PlaneTarget(const zor::kernel::KernelBufferDescriptor& desc,
                        FrameTarget& target) const {
  if (desc.sizeX == 0 || desc.sizeY == 0 || desc.pitch < desc.sizeX) return false;
  int bytes = 0;
  int planes = static_cast<int>(desc.bandCount);
  switch (desc.bitsPerPixel) {
    case 8:
      bytes = 1;
      break;
    case 16:
      bytes = 2;
      break;
    case 24:
      bytes = 3;
      planes = 1;
      break;
    case 32:
      bytes = 4;
      planes = 1;
      break;
    default:
      return false;
  }
  if (planes < 1 || planes > static_cast<int>(zor::kernel::kMaxBands)) return false;
  for (int b = 0; b < planes; ++b) {
    target.planes[b] = reinterpret_cast<uint8_t*>(desc.hostAddress[b]);
    if (target.planes[b] == nullptr) return false;
  }
  target.bands = planes;
  target.bytesPerPixel = bytes;
  target.width = desc.sizeX;
  target.height = desc.sizeY;
  target.pitchBytes = desc.pitch * bytes;
  return true;
}

bool Board::WriteJob(const GrabJob& job, uint64_t frame, const Adv7180& decoder, WrittenSize& size,
                     WriteRound& round, Deferred& out) {
  FrameTarget target;
  if (job.part.kernelHandle != 0) {
    const BoardBuffer* buffer = FindBuffer(job.part.kernelHandle);
    if (buffer == nullptr) return false;
    target = buffer->Target();
  } else if (!PlaneTarget(job.part.descriptor, target)) {
    return false;
  }
  size = FrameSize(job.window, target);
  round.targets.Add(target);
  // The decoder is copied: its registers may change while the frame is written.
  out.push_back([decoder, frame, window = job.window, target] {
    WriteFrame(decoder, frame, window, target);
  });
  return true;
}

void Board::RaiseBoardEvent(Digitizer& dig, uint64_t base, const GrabJob* job,
                            Clock::time_point lastLine, Deferred& out) {
  const uint64_t type = base | dig.channel;
  const uint64_t sequence = ++eventSequence_;
  // A type nobody waits for is not delivered: nothing of the event is needed.
  if (!events_.Watched(type)) return;
  zor::kernel::BoardEventPayload payload{};
  payload.size = zor::kernel::kBoardEventSize;
  // A frame still coming in tells of its events as of its end, as the clock's frames do.
  const Clock::time_point at = lastLine != Clock::time_point{} ? lastLine : Clock::now();
  payload.timeStamp = static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(at - started_).count());
  payload.hostBuffer = job ? job->part.descriptor.hostBufferId : 0;
  payload.bufferIndex = job && job->part.value >= 0 ? job->part.value : -1;
  payload.frameCount = channels_[dig.channel].frames;
  payload.field = base == kFieldOne ? 1 : base == kFieldTwo ? 2 : 0;
  payload.channel = dig.channel;
  payload.grabCount = dig.grabsDone;
  payload.eventType = type;
  payload.hostDigitizer = static_cast<uint64_t>(dig.hostDigitizer);
  payload.sequence = sequence;
  events_.Raise(type, DeviceEvent::Of(type, payload), out);
}

void Board::AwaitLastLine(Clock::time_point lastLine, Deferred& out) {
  if (lastLine == Clock::time_point{}) return;
  // Less than a clock's awake wait: yielding could give the processor away for far longer.
  out.push_back([lastLine] {
    while (Clock::now() < lastLine) {
    }
  });
}

// Waiters are told in order with the frame's writes, once its pixels are there.
void Board::SetAfterWrites(std::vector<EventRef>& waiters, Deferred& out) {
  if (waiters.empty()) return;
  out.push_back([events = std::move(waiters)] {
    for (const EventRef& event : events) event.Set();
  });
  waiters.clear();
}

void Board::ProduceFrame(Digitizer& dig, WriteRound& round, Deferred& out,
                         Clock::time_point lastLine) {
  ChannelState& channel = channels_[dig.channel];
  Adv7180& decoder = channel.decoder;
  decoder.UpdateStatus();
  if (!decoder.ProducesFrames()) return;  // no video: nothing is written, nothing ends
  const uint64_t frame = ++channel.frames;
  ++interrupts_;
  RaiseBoardEvent(dig, kFrameStart, nullptr, lastLine, out);
  RaiseBoardEvent(dig, kFieldOne, nullptr, lastLine, out);
  WrittenSize size;
  const bool gated = FrameWaitsForTrigger(dig);
  if (gated && dig.triggers == 0) {
    AwaitLastLine(lastLine, out);
    RaiseBoardEvent(dig, kFieldTwo, nullptr, lastLine, out);
    SetAfterWrites(dig.nextFrameWaiters, out);
    RaiseBoardEvent(dig, kFrameEnd, nullptr, lastLine, out);
    return;
  }
  if (gated) --dig.triggers;
  if (dig.continuous) WriteJob(*dig.continuous, frame, decoder, size, round, out);
  // The oldest single grab takes the frame; it leaves the queue once its end is told.
  const bool grabbed = !dig.grabs.empty();
  if (grabbed) {
    const GrabJob& job = dig.grabs.front().job;
    RaiseBoardEvent(dig, kGrabStart, &job, lastLine, out);
    WriteJob(job, frame, decoder, size, round, out);
  }
  AwaitLastLine(lastLine, out);
  if (grabbed) {
    const SingleGrab& grab = dig.grabs.front();
    ++dig.grabsDone;
    // Ended once the board's lock is released, so that the woken caller's next request
    // does not wait for the rest of the frame; the object is idle only after that.
    out.push_back([this, done = grab.done, objectId = grab.job.objectId] {
      done.Set();
      std::lock_guard lock(mutex_);
      auto object = objects_.find(objectId);
      if (object != objects_.end()) --object->second.pendingGrabs;
      changed_.notify_all();
    });
    RaiseBoardEvent(dig, kGrabEnd, &grab.job, lastLine, out);
    dig.grabs.pop_front();
    if (dig.grabs.empty()) SetAfterWrites(dig.endWaiters, out);
  }
  if (dig.processing && !dig.processQueue.empty()) FinishGrab(dig, round, out);
  RaiseBoardEvent(dig, kFieldTwo, nullptr, lastLine, out);
  SetAfterWrites(dig.nextFrameWaiters, out);
  RaiseBoardEvent(dig, kFrameEnd, nullptr, lastLine, out);
  changed_.notify_all();
}

// Fills the oldest queued processing grab and tells the driver its buffer was modified.
void Board::FinishGrab(Digitizer& dig, WriteRound& round, Deferred& out) {
  const uint64_t id = dig.processQueue.front();
  dig.processQueue.pop_front();
  const GrabJob& job = dig.processGrabs[id];
  const uint64_t frame = channels_[dig.channel].frames;
  WrittenSize size;
  const bool written = WriteJob(job, frame, channels_[dig.channel].decoder, size, round, out);
  ++dig.grabsDone;
  round.processObject = job.objectId;
  zor::kernel::BufferModifiedPayload payload{};
  payload.hostObject = job.part.descriptor.hostBufferId;
  payload.count = size.columns;
  payload.further = size.lines;
  payload.digitizerIndex = static_cast<uint64_t>(job.digitizerIndex);
  payload.bufferIndex = job.part.value >= 0 ? static_cast<uint64_t>(job.part.value) : 0;
  payload.eventWord = zor::kernel::kGrabEndWord;
  if (!written) {
    payload.grabError = 1;
    payload.errorCode = 4327;
    payload.errorSubCode = 2;
  }
  // The frame ends at its time on the board's clock (nextFrame until the clock moves on); the
  // run's time runs from the start of its first frame, one period before that frame's end.
  if (dig.runFrames++ == 0) dig.runSince = dig.nextFrame - FramePeriod(dig);
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::microseconds>(dig.nextFrame - dig.runSince);
  payload.grabStatus[zor::kernel::kStatusFrameNumber] = frame;
  payload.grabStatus[zor::kernel::kStatusFramesCounted] = dig.runFrames;
  payload.grabStatus[zor::kernel::kStatusElapsedTicks] = static_cast<uint64_t>(elapsed.count());
  payload.grabStatus[zor::kernel::kStatusCounterFrequency] = kMicrosecondsPerSecond;
  payload.rateNumerator = dig.runFrames * kMicrosecondsPerSecond;
  payload.rateDenominator = static_cast<uint64_t>(elapsed.count());
  // The digitizer's own buffer-modified waits, else the system-wide ones.
  uint64_t code =
      zor::kernel::kHookDigitizerBufferModified | static_cast<uint64_t>(job.digitizerIndex);
  if (!events_.Watched(code)) code = zor::kernel::kHookBufferModified;
  events_.Raise(code, DeviceEvent::Of(code, payload), out);
}

}  // namespace boardsim
