// The state of one open serial port, shared by its handle and its I/O thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/os/device/device.h"
#include "platform/os/serial/serial.h"

namespace os::detail {

class PortCore {
 public:
  using Clock = std::chrono::steady_clock;

  PortCore(int fd, int wakeFd);
  ~PortCore();
  PortCore(const PortCore&) = delete;
  PortCore& operator=(const PortCore&) = delete;

  // The I/O thread's loop; returns once Stop was called.
  void Run();
  void Stop();
  // Once the I/O thread has ended: closes the line, so that the next opener may have it; again
  // does nothing.
  void ReleaseLine();

  void AddRead(std::shared_ptr<IoRequest> request);
  void AddWrite(std::shared_ptr<IoRequest> request);
  void Control(std::shared_ptr<IoRequest> request);
  void Forget(const IoRequest& request);

  uint32_t GetState(DCB* dcb);
  uint32_t SetState(const DCB& dcb);
  COMMTIMEOUTS GetTimeouts();
  void SetTimeouts(const COMMTIMEOUTS& timeouts);
  uint32_t Purge(uint32_t flags);
  uint32_t TakeErrors(COMSTAT* status);
  void SetMask(uint32_t mask);
  void InjectErrors(uint32_t errors);
  uint32_t LoadState();

 private:
  struct Transfer {
    std::shared_ptr<IoRequest> request;
    uint32_t done = 0;
    Clock::time_point deadline = Clock::time_point::max();
    Clock::time_point lastByte = Clock::time_point::max();
  };
  using Completion = std::pair<std::shared_ptr<IoRequest>, std::pair<uint32_t, uint32_t>>;

  void Wake();
  uint32_t InputBytes();
  // Under mutex_: moves what can move; collects completions; the next time
  // the loop must look again.
  Clock::time_point Serve(std::vector<Completion>& done);
  void Fill();
  Clock::time_point ReadDeadline(uint32_t size) const;
  Clock::time_point WriteDeadline(uint32_t size) const;

  // -1 once released; changed only under mutex_ after the I/O thread ended.
  int fd_;
  const int wakeFd_;
  std::mutex mutex_;
  bool stopped_ = false;
  bool hungUp_ = false;
  DCB dcb_;
  COMMTIMEOUTS timeouts_;
  uint32_t mask_ = 0;
  uint32_t events_ = 0;
  uint32_t errors_ = 0;
  std::deque<unsigned char> input_;
  std::deque<Transfer> reads_;
  std::deque<Transfer> writes_;
  std::shared_ptr<IoRequest> eventWait_;
};

}  // namespace os::detail
