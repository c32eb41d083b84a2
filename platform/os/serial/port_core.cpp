#include "platform/os/serial/port_core.h"

#include <errno.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/os/core/error.h"
#include "platform/os/serial/line_settings.h"

namespace os::detail {
namespace {

constexpr uint32_t kMaxTimeout = 0xFFFFFFFF;
// The port's input queue, as a driver would size it.
constexpr size_t kInputQueue = 4096;

using Completion = std::pair<std::shared_ptr<IoRequest>, std::pair<uint32_t, uint32_t>>;

void CompleteAll(std::vector<Completion>& completions) {
  for (auto& [request, result] : completions) request->Complete(result.first, result.second);
  completions.clear();
}

// Beyond a year a time-out is as good as none; the clock could not hold the sum of larger ones.
constexpr uint64_t kLongestTimeoutMs = 365ull * 24 * 3600 * 1000;

// Products of 32-bit factors plus a 32-bit constant fit 64 bits.
PortCore::Clock::time_point Deadline(uint64_t multiplier, uint64_t constant, uint32_t size) {
  const uint64_t total = multiplier * size + constant;
  if (total == 0 || total > kLongestTimeoutMs) return PortCore::Clock::time_point::max();
  return PortCore::Clock::now() + std::chrono::milliseconds(total);
}

void StoreMask(IoRequest& request, uint32_t events) {
  std::memcpy(request.buffer(), &events, sizeof(events));
}

}  // namespace

PortCore::PortCore(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}

PortCore::~PortCore() {
  ReleaseLine();
  close(wakeFd_);
}

void PortCore::ReleaseLine() {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

uint32_t PortCore::LoadState() {
  std::lock_guard lock(mutex_);
  return ReadLineSettings(fd_, &dcb_);
}

void PortCore::Wake() {
  const uint64_t one = 1;
  (void)!write(wakeFd_, &one, sizeof(one));
}

void PortCore::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  Wake();
}

void PortCore::Run() {
  std::vector<Completion> done;
  for (;;) {
    Clock::time_point next;
    pollfd fds[2] = {{fd_, 0, 0}, {wakeFd_, POLLIN, 0}};
    {
      std::lock_guard lock(mutex_);
      if (stopped_) {
        for (auto* queue : {&reads_, &writes_}) {
          for (Transfer& transfer : *queue)
            done.push_back({transfer.request, {ERROR_OPERATION_ABORTED, 0}});
          queue->clear();
        }
        if (eventWait_) done.push_back({std::move(eventWait_), {ERROR_OPERATION_ABORTED, 0}});
        eventWait_.reset();
        break;
      }
      next = Serve(done);
      if (input_.size() < kInputQueue) fds[0].events |= POLLIN;
      if (!writes_.empty()) fds[0].events |= POLLOUT;
      // A hung-up line reports itself on every poll; stop asking it.
      if (hungUp_) fds[0].fd = -1;
    }
    CompleteAll(done);
    int timeout = -1;
    if (next != Clock::time_point::max()) {
      auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
      timeout = static_cast<int>(std::clamp<int64_t>(wait, 0, 60000));
    }
    if (poll(fds, 2, timeout) <= 0) continue;
    if ((fds[1].revents & POLLIN) != 0) {
      uint64_t count = 0;
      (void)!read(wakeFd_, &count, sizeof(count));
    }
    std::lock_guard lock(mutex_);
    if ((fds[0].revents & POLLIN) != 0) {
      Fill();
    } else if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      hungUp_ = true;
    }
  }
  CompleteAll(done);
}

void PortCore::Fill() {
  unsigned char chunk[kInputQueue];
  const size_t room = kInputQueue - input_.size();
  const ssize_t count = read(fd_, chunk, room);
  if (count > 0) {
    input_.insert(input_.end(), chunk, chunk + count);
    if ((mask_ & EV_RXCHAR) != 0) events_ |= EV_RXCHAR;
  } else if (count == 0 || errno == EIO) {
    // Readable yet empty: the other side hung up.
    hungUp_ = true;
  }
}

PortCore::Clock::time_point PortCore::Serve(std::vector<Completion>& done) {
  const Clock::time_point now = Clock::now();
  Clock::time_point next = Clock::time_point::max();
  const uint32_t interval = timeouts_.ReadIntervalTimeout;
  while (!reads_.empty()) {
    Transfer& read = reads_.front();
    IoRequest& request = *read.request;
    if (request.IsDone()) {
      reads_.pop_front();
      continue;
    }
    const uint32_t take =
        static_cast<uint32_t>(std::min<size_t>(request.outputSize() - read.done, input_.size()));
    auto* target = static_cast<unsigned char*>(request.buffer()) + read.done;
    std::copy_n(input_.begin(), take, target);
    input_.erase(input_.begin(), input_.begin() + take);
    read.done += take;
    if (take > 0) read.lastByte = now;
    const bool immediate = interval == kMaxTimeout && timeouts_.ReadTotalTimeoutMultiplier == 0 &&
                           timeouts_.ReadTotalTimeoutConstant == 0;
    const bool anyByte = interval == kMaxTimeout &&
                         timeouts_.ReadTotalTimeoutMultiplier == kMaxTimeout && read.done > 0;
    const bool gap = interval != 0 && interval != kMaxTimeout && read.done > 0 &&
                     now >= read.lastByte + std::chrono::milliseconds(interval);
    // Nothing more arrives on a line that hung up: a read that got nothing fails.
    const bool ended = hungUp_ && input_.empty();
    if (read.done == request.outputSize() || immediate || anyByte || gap || now >= read.deadline ||
        ended) {
      const bool failed = ended && read.done == 0 && !immediate;
      done.push_back(
          {read.request, {failed ? ERROR_DEVICE_NOT_CONNECTED : ERROR_SUCCESS, read.done}});
      reads_.pop_front();
      continue;
    }
    next = std::min(next, read.deadline);
    if (interval != 0 && interval != kMaxTimeout && read.done > 0) {
      next = std::min(next, read.lastByte + std::chrono::milliseconds(interval));
    }
    break;
  }
  while (!writes_.empty()) {
    Transfer& write = writes_.front();
    IoRequest& request = *write.request;
    if (request.IsDone()) {
      writes_.pop_front();
      continue;
    }
    const auto* source = static_cast<const unsigned char*>(request.buffer()) + write.done;
    const ssize_t count = ::write(fd_, source, request.inputSize() - write.done);
    if (count > 0) write.done += static_cast<uint32_t>(count);
    const bool failed = count < 0 && errno != EAGAIN && errno != EINTR;
    if (failed || write.done == request.inputSize() || now >= write.deadline) {
      done.push_back({write.request, {failed ? ERROR_GEN_FAILURE : ERROR_SUCCESS, write.done}});
      writes_.pop_front();
      continue;
    }
    next = std::min(next, write.deadline);
    break;
  }
  if (eventWait_ && (events_ & mask_) != 0) {
    StoreMask(*eventWait_, events_ & mask_);
    events_ = 0;
    done.push_back({std::move(eventWait_), {ERROR_SUCCESS, sizeof(uint32_t)}});
    eventWait_.reset();
  }
  return next;
}

PortCore::Clock::time_point PortCore::ReadDeadline(uint32_t size) const {
  uint64_t multiplier = timeouts_.ReadTotalTimeoutMultiplier;
  if (multiplier == kMaxTimeout && timeouts_.ReadIntervalTimeout == kMaxTimeout) multiplier = 0;
  return Deadline(multiplier, timeouts_.ReadTotalTimeoutConstant, size);
}

PortCore::Clock::time_point PortCore::WriteDeadline(uint32_t size) const {
  return Deadline(timeouts_.WriteTotalTimeoutMultiplier, timeouts_.WriteTotalTimeoutConstant, size);
}

void PortCore::AddRead(std::shared_ptr<IoRequest> request) {
  std::vector<Completion> done;
  {
    std::lock_guard lock(mutex_);
    const uint32_t size = request->outputSize();
    reads_.push_back({std::move(request), 0, ReadDeadline(size), Clock::time_point::max()});
    Serve(done);
  }
  CompleteAll(done);
  Wake();
}

void PortCore::AddWrite(std::shared_ptr<IoRequest> request) {
  {
    std::lock_guard lock(mutex_);
    const uint32_t size = request->inputSize();
    writes_.push_back({std::move(request), 0, WriteDeadline(size)});  // no interval between bytes
  }
  Wake();
}

void PortCore::Control(std::shared_ptr<IoRequest> request) {
  switch (request->code()) {
    case IOCTL_SERIAL_GET_COMMSTATUS: {
      if (request->outputSize() < sizeof(SERIAL_STATUS)) {
        request->Complete(ERROR_INSUFFICIENT_BUFFER, 0);
        return;
      }
      SERIAL_STATUS status;
      {
        std::lock_guard lock(mutex_);
        // The errors stay for ClearCommError: asking for the queue must not lose them.
        status.Errors = errors_;
        status.AmountInInQueue = InputBytes();
        int queued = 0;
        if (ioctl(fd_, TIOCOUTQ, &queued) == 0)
          status.AmountInOutQueue = static_cast<uint32_t>(queued);
      }
      std::memcpy(request->buffer(), &status, sizeof(status));
      request->Complete(ERROR_SUCCESS, sizeof(status));
      return;
    }
    case IOCTL_SERIAL_SET_WAIT_MASK: {
      uint32_t mask = 0;
      if (request->inputSize() < sizeof(mask)) {
        request->Complete(ERROR_INVALID_PARAMETER, 0);
        return;
      }
      std::memcpy(&mask, request->buffer(), sizeof(mask));
      SetMask(mask);
      request->Complete(ERROR_SUCCESS, 0);
      return;
    }
    case IOCTL_SERIAL_WAIT_ON_MASK: {
      if (request->outputSize() < sizeof(uint32_t)) {
        request->Complete(ERROR_INSUFFICIENT_BUFFER, 0);
        return;
      }
      std::unique_lock lock(mutex_);
      if (eventWait_ || mask_ == 0) {
        lock.unlock();
        request->Complete(ERROR_INVALID_PARAMETER, 0);
        return;
      }
      eventWait_ = std::move(request);
      Wake();
      return;
    }
    default:
      request->Complete(ERROR_INVALID_FUNCTION, 0);
  }
}

void PortCore::Forget(const IoRequest& request) {
  std::lock_guard lock(mutex_);
  for (auto* queue : {&reads_, &writes_}) {
    std::erase_if(*queue, [&](const Transfer& t) { return t.request.get() == &request; });
  }
  if (eventWait_.get() == &request) eventWait_.reset();
}

uint32_t PortCore::InputBytes() {
  int waiting = 0;
  if (!hungUp_ && ioctl(fd_, FIONREAD, &waiting) != 0) waiting = 0;
  return static_cast<uint32_t>(input_.size() + static_cast<size_t>(std::max(waiting, 0)));
}

uint32_t PortCore::GetState(DCB* dcb) {
  std::lock_guard lock(mutex_);
  *dcb = dcb_;
  return ERROR_SUCCESS;
}

uint32_t PortCore::SetState(const DCB& dcb) {
  std::lock_guard lock(mutex_);
  uint32_t result = ApplyLineSettings(fd_, dcb);
  if (result == ERROR_SUCCESS) dcb_ = dcb;
  return result;
}

COMMTIMEOUTS PortCore::GetTimeouts() {
  std::lock_guard lock(mutex_);
  return timeouts_;
}

void PortCore::SetTimeouts(const COMMTIMEOUTS& timeouts) {
  std::lock_guard lock(mutex_);
  timeouts_ = timeouts;
}

uint32_t PortCore::Purge(uint32_t flags) {
  if ((flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) != 0) {
    return ERROR_INVALID_PARAMETER;
  }
  std::vector<Completion> done;
  {
    std::lock_guard lock(mutex_);
    auto abort = [&done](std::deque<Transfer>& queue) {
      for (Transfer& transfer : queue)
        done.push_back({transfer.request, {ERROR_OPERATION_ABORTED, 0}});
      queue.clear();
    };
    if ((flags & PURGE_RXABORT) != 0) abort(reads_);
    if ((flags & PURGE_TXABORT) != 0) abort(writes_);
    if ((flags & PURGE_RXCLEAR) != 0) {
      input_.clear();
      tcflush(fd_, TCIFLUSH);
    }
    if ((flags & PURGE_TXCLEAR) != 0) tcflush(fd_, TCOFLUSH);
  }
  CompleteAll(done);
  return ERROR_SUCCESS;
}

uint32_t PortCore::TakeErrors(COMSTAT* status) {
  std::lock_guard lock(mutex_);
  const uint32_t errors = errors_;
  errors_ = 0;
  if (status != nullptr) {
    *status = COMSTAT();
    status->cbInQue = InputBytes();
    int queued = 0;
    if (ioctl(fd_, TIOCOUTQ, &queued) == 0) status->cbOutQue = static_cast<uint32_t>(queued);
  }
  return errors;
}

void PortCore::SetMask(uint32_t mask) {
  std::shared_ptr<IoRequest> waiting;
  {
    std::lock_guard lock(mutex_);
    mask_ = mask;
    events_ = 0;
    waiting = std::move(eventWait_);
    eventWait_.reset();
  }
  // A new mask ends the running wait with no events, as Windows does.
  if (waiting) {
    StoreMask(*waiting, 0);
    waiting->Complete(ERROR_SUCCESS, sizeof(uint32_t));
  }
}

void PortCore::InjectErrors(uint32_t errors) {
  std::lock_guard lock(mutex_);
  errors_ |= errors;
}

}  // namespace os::detail
