// Grabs: single and continuous grabs, grab waits, grab processing, aborts
// and halts.
#include <algorithm>

#include "platform/boardsim/board.h"
#include "platform/boardsim/reply.h"

namespace boardsim {

namespace {
constexpr uint32_t kGrabRecordIds = 7;
constexpr uint64_t kMaxSkip = 15;
}  // namespace

bool Board::MakeJob(const Call& call, const Digitizer& dig,
                    const zor::kernel::DigChannelRecord& record,
                    const zor::kernel::GrabBufferPart& part, GrabJob& job) {
  zor::kernel::RequestHeader& header = call.Header();
  const zor::kernel::DigPropertiesBlock& p = record.properties;
  SourceWindow& w = job.window;
  w.fullWidth = dig.fullWidth;
  w.fullHeight = dig.fullHeight;
  w.offsetX = p.sourceOffsetX;
  w.offsetY = p.sourceOffsetY;
  w.width = p.sourceWidth ? p.sourceWidth : dig.fullWidth;
  w.height = p.sourceHeight ? p.sourceHeight : dig.fullHeight;
  if (w.offsetX >= dig.fullWidth || w.offsetY >= dig.fullHeight ||
      w.width > dig.fullWidth - w.offsetX || w.height > dig.fullHeight - w.offsetY) {
    Fail(header, err::kSourceWindow, 4);
    return false;
  }
  if (part.skipX > kMaxSkip || part.skipY > kMaxSkip) {
    Fail(header, err::kBadArgument, 2);
    return false;
  }
  w.stepX = part.skipX + 1;
  w.stepY = (part.skipY + 1) * (part.bothFields ? 1 : 2);
  w.flipX = part.flipX != 0;
  w.flipY = part.flipY != 0;
  w.colour = part.oneBandPerPlane == 0;
  job.part = part;
  job.digitizerIndex = record.digitizerIndex;
  job.objectId = header.objectId;
  FrameTarget target;
  if (part.kernelHandle != 0) {
    if (FindBuffer(part.kernelHandle) == nullptr) {
      Fail(header, err::kBufferHandle, 2);
      return false;
    }
  } else if (!PlaneTarget(part.descriptor, target)) {
    Fail(header, err::kBufferAttribute, 1);
    return false;
  }
  if (part.descriptor.hostBufferId != 0)
    hostBuffers_[part.descriptor.hostBufferId] = part.descriptor;
  return true;
}

void Board::DigGrab(Call& call) {
  auto& r = call.As<zor::kernel::GrabRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  GrabJob job;
  if (!MakeJob(call, *dig, r.record, r.buffer, job)) return;
  r.waitInUserMode = 0;
  if (r.continuous != 0) {
    dig->continuous = job;
  } else {
    auto reg = registrations_.find(r.eventRegistration);
    if (reg == registrations_.end()) return Fail(r.header, err::kBadId, 3);
    // Reset now, under the lock, so that the completion cannot come first.
    reg->second.Reset();
    auto object = objects_.find(job.objectId);
    if (object != objects_.end()) ++object->second.pendingGrabs;
    if (FrameOnRequester(*dig)) call.frameDigitizer = dig->id;
    dig->grabs.push_back(SingleGrab{job, reg->second});
    r.waitInUserMode = 1;
    if (call.frameDigitizer != 0) return;
  }
  Wake(*dig);
}

void Board::DigGrabWait(Call& call) {
  auto& r = call.As<zor::kernel::GrabWaitRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  if (r.waitFlag != zor::kernel::kWaitGrabEnd && r.waitFlag != zor::kernel::kWaitNextFrame) {
    return Fail(r.header, err::kWaitFlag, 1);
  }
  if (r.waitFlag == zor::kernel::kWaitGrabEnd && dig->grabs.empty()) {
    r.waitFlag = 0;
    return;
  }
  auto reg = registrations_.find(r.eventRegistration);
  if (reg == registrations_.end()) return Fail(r.header, err::kBadId, 3);
  reg->second.Reset();
  (r.waitFlag == zor::kernel::kWaitGrabEnd ? dig->endWaiters : dig->nextFrameWaiters)
      .push_back(reg->second);
  r.waitFlag = 1;
  Wake(*dig);
}

void Board::DigStopGrab(Call& call) {
  auto& r = call.As<zor::kernel::DigRecordRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  dig->continuous.reset();
}

void Board::ProcessStart(Call& call) {
  auto& r = call.As<zor::kernel::GrabRequest>();
  Digitizer* dig = FindDigitizer(r.record);
  if (dig == nullptr) return Fail(r.header, err::kBadId, 3);
  GrabJob job;
  if (!MakeJob(call, *dig, r.record, r.buffer, job)) return;
  job.waitsForTrigger = TriggerOn(*dig);
  const uint64_t id = NewId(kGrabRecordIds);
  dig->processGrabs[id] = job;
  dig->processQueue.push_back(id);
  dig->processObject = r.header.objectId;
  auto object = objects_.find(job.objectId);
  if (object != objects_.end()) ++object->second.pendingGrabs;
  r.grabRecord = id;
  r.waitInUserMode = 0;
}

void Board::ProcessRequest(Call& call) {
  auto& r = call.As<zor::kernel::DigProcessRequest>();
  auto it = digitizers_.find(r.kernelDigitizer);
  if (it == digitizers_.end()) return Fail(r.header, err::kBadId, 3);
  Digitizer& dig = it->second;
  // A first start counts afresh; the watchdog's restart goes on with the run's count.
  if (r.word != 0) {
    dig.runFrames = 0;
    dig.runSince = {};
  }
  dig.processing = true;
  dig.processObject = r.processObject;
  Wake(dig);
}

void Board::ProcessContinue(Call& call) {
  auto& r = call.As<zor::kernel::DigContinueGrabRequest>();
  auto it = digitizers_.find(r.kernelDigitizer);
  if (it == digitizers_.end()) return Fail(r.header, err::kBadId, 3);
  Digitizer& dig = it->second;
  auto grab = dig.processGrabs.find(r.grabRecord);
  if (grab == dig.processGrabs.end()) return Fail(r.header, err::kBadId, 3);
  if (std::find(dig.processQueue.begin(), dig.processQueue.end(), r.grabRecord) ==
      dig.processQueue.end()) {
    dig.processQueue.push_back(r.grabRecord);
    grab->second.waitsForTrigger = TriggerOn(dig);
    auto object = objects_.find(grab->second.objectId);
    if (object != objects_.end()) ++object->second.pendingGrabs;
  }
  Wake(dig);
}

void Board::ProcessContinuePrepared(Call& call) {
  auto& r = call.As<zor::kernel::DigContinuePreparedRequest>();
  auto it = digitizers_.find(r.kernelDigitizer);
  if (it == digitizers_.end()) return Fail(r.header, err::kBadId, 3);
  auto grab = it->second.processGrabs.find(r.grabRecord);
  if (grab == it->second.processGrabs.end()) return Fail(r.header, err::kBadId, 3);
  FrameTarget target;
  const zor::kernel::GrabBufferPart& part = r.buffers[0];
  if (part.kernelHandle != 0 ? FindBuffer(part.kernelHandle) == nullptr
                             : !PlaneTarget(part.descriptor, target)) {
    return Fail(r.header, err::kBufferAttribute, 1);
  }
  grab->second.part = part;
  ProcessContinue(call);
}

void Board::ProcessStop(Call& call) {
  auto& r = call.As<zor::kernel::DigProcessRequest>();
  auto it = digitizers_.find(r.kernelDigitizer);
  if (it == digitizers_.end()) return Fail(r.header, err::kBadId, 3);
  Digitizer& dig = it->second;
  auto grab = dig.processGrabs.find(r.word);
  if (grab == dig.processGrabs.end()) return Fail(r.header, err::kBadId, 3);
  const size_t queued = std::erase(dig.processQueue, r.word);
  auto object = objects_.find(grab->second.objectId);
  if (object != objects_.end()) object->second.pendingGrabs -= static_cast<int>(queued);
  dig.processGrabs.erase(grab);
  // The run is over with its last grab: the next run's grabs wait for its request.
  if (dig.processGrabs.empty()) dig.processing = false;
  Wake(dig);
}

void Board::AbortGrabs(Digitizer& dig) {
  auto release = [&](uint64_t objectId) {
    auto object = objects_.find(objectId);
    if (object != objects_.end()) --object->second.pendingGrabs;
  };
  for (SingleGrab& grab : dig.grabs) {
    release(grab.job.objectId);
    grab.done.Set();
  }
  dig.grabs.clear();
  for (uint64_t id : dig.processQueue) release(dig.processGrabs[id].objectId);
  dig.processQueue.clear();
  dig.processing = false;
  dig.continuous.reset();
  for (auto* waiters : {&dig.endWaiters, &dig.nextFrameWaiters}) {
    for (const EventRef& event : *waiters) event.Set();
    waiters->clear();
  }
  Wake(dig);
}

void Board::HaltObject(uint64_t objectId) {
  for (auto& [id, dig] : digitizers_) {
    if (dig.processObject == objectId) {
      for (uint64_t grab : dig.processQueue) {
        auto object = objects_.find(dig.processGrabs[grab].objectId);
        if (object != objects_.end()) --object->second.pendingGrabs;
      }
      dig.processQueue.clear();
      dig.processing = false;
    }
    std::erase_if(dig.grabs, [&](const SingleGrab& grab) {
      if (grab.job.objectId != objectId) return false;
      --objects_[objectId].pendingGrabs;
      grab.done.Set();
      return true;
    });
  }
  WakeAll();
}

}  // namespace boardsim
