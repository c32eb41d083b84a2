// One hook thread: keeps a device-event request pending on the board for one hook
// type and calls its element for every event that completes it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "driver/frameworkuser/hooks/hookelement.h"
#include "interfaces/kernel/deviceevent.h"
#include "platform/os/core/handle.h"
#include "platform/os/device/overlapped.h"

namespace zor::frame {

class CUserHook;

class CHookThread {
 public:
  CHookThread(CUserHook& owner, uint64_t hookType, CBaseHook<HOOK_ELEMENT_INFO>* element,
              void* userData, QID hostObject);
  CHookThread(const CHookThread&) = delete;
  CHookThread& operator=(const CHookThread&) = delete;
  // Frees the host event and closes the thread's events; the thread has ended.
  ~CHookThread();

  // Whether the host event and both events were made.
  bool Created() const { return success_.load(); }
  // Starts the host thread; false when the host made none.
  [[nodiscard]] bool StartThread();
  // Waits until the first request is pending or the thread has given up; true when
  // it runs.
  [[nodiscard]] bool WaitStarted();
  void RequestStop();
  // Waits for the host thread to end and frees it.
  void Join();

  // Whether the thread procedure has returned (stopped, or ended by itself on a
  // failed request, a dropped event or a return from sleep).
  bool Ended() const { return ended_.load(); }
  uint64_t HookType() const { return hookType_; }
  uint32_t ThreadId() const { return threadId_.load(); }
  QID HostEvent() const { return hostEvent_; }
  const uint8_t* EventData() const { return eventData_.data(); }
  // A drain: AskIdle gives the round to wait for; IdleSince tells once the thread has, since
  // the ask, waited with nothing the board holds for it (or has ended).
  [[nodiscard]] uint64_t AskIdle();
  bool IdleSince(uint64_t round) const { return ended_.load() || idle_.load() >= round; }

 private:
  static QUINT32 Procedure(void* self);
  void Run();
  // Sends the first request and releases the starting thread; false when none is pending.
  [[nodiscard]] bool SendFirstRequest(kernel::DeviceEventRecord& request,
                                      os::Overlapped& overlapped);
  // Delivers the events until the thread stops or gives up; true on a return from sleep.
  bool DeliverEvents(kernel::DeviceEventRecord& request, os::Overlapped& overlapped);
  // Sends the device-event request for this thread's type; a pending request counts
  // as sent.
  bool Send(kernel::DeviceEventRecord& request, os::Overlapped& overlapped);
  void Deliver(const kernel::DeviceEventRecord& delivered);
  // Answers the drains asked for so far when the request still waits.
  void AnswerIdle(const os::Overlapped& overlapped);
  void ReportDroppedEvent() const;
  void ReportReturnFromSleep() const;

  CUserHook& owner_;
  std::array<uint8_t, kernel::kEventPayloadSize> eventData_{};
  QID hostEvent_ = 0;
  CBaseHook<HOOK_ELEMENT_INFO>* element_;
  void* userData_;
  uint64_t hookType_;
  QID hostThread_ = 0;
  std::atomic<uint32_t> threadId_{0};
  os::Handle stopEvent_{};
  os::Handle startedEvent_{};
  os::Handle askEvent_{};
  // Drain rounds asked for, and the last one answered.
  std::atomic<uint64_t> asked_{0};
  std::atomic<uint64_t> idle_{0};
  std::atomic<bool> success_{true};
  std::atomic<bool> ended_{false};
};

}  // namespace zor::frame
