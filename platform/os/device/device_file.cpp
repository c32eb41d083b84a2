#include "platform/os/device/device_file.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/os/serial/serial_port.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/event_signal.h"

namespace os::detail {

void Request::Start(Kind kind, uint32_t code, const void* input, uint32_t inputSize, void* output,
                    uint32_t outputSize, Overlapped* overlapped,
                    const std::shared_ptr<DeviceFile>& file) {
  // The lock orders this use after every access of the previous one's completion.
  std::lock_guard lock(mutex_);
  kind_ = kind;
  code_ = code;
  inputSize_ = inputSize;
  outputSize_ = outputSize;
  // The buffer only grows: a small request between two large ones would have the next large
  // one zero its bytes twice, once by growing and once for its input.
  const size_t size = std::max(inputSize, outputSize);
  if (buffer_.size() < size) buffer_.resize(size);
  if (inputSize > 0) std::memcpy(buffer_.data(), input, inputSize);
  std::fill(buffer_.begin() + inputSize, buffer_.begin() + size, 0);
  output_ = output;
  overlapped_ = overlapped;
  event_ = overlapped != nullptr ? overlapped->hEvent : kNullHandle;
  // A thread's requests mostly go to one handle: the reference is kept then.
  if (file_.owner_before(file) || file.owner_before(file_)) file_ = file;
  issuer_ = std::this_thread::get_id();
  complete_.store(false, std::memory_order_relaxed);
  listed_ = false;
  eventReset_ = false;
  error_ = ERROR_IO_PENDING;
  bytes_ = 0;
  if (overlapped_ != nullptr) {
    // Release stores: a reader of the status word sees the byte count that went before it.
    std::atomic_ref(overlapped_->InternalHigh).store(0, std::memory_order_release);
    std::atomic_ref(overlapped_->Internal).store(STATUS_PENDING, std::memory_order_release);
  }
}

bool Request::Finish(uint32_t error, uint32_t bytes) {
  Handle event = kNullHandle;
  // Copied under the lock; locked only after the waiter is told, so that this thread does not
  // hold the handle's last reference any longer than it must.
  std::weak_ptr<DeviceFile> file;
  bool waited = false;
  {
    std::lock_guard lock(mutex_);
    if (complete_.load(std::memory_order_relaxed)) return false;
    error_ = error;
    // A device cannot report more than the caller's buffer holds.
    const uint32_t capacity = kind_ == Kind::kWrite ? inputSize_ : outputSize_;
    bytes_ = std::min(bytes, capacity);
    if (error == ERROR_SUCCESS && kind_ != Kind::kWrite && bytes_ > 0) {
      std::memcpy(output_, buffer_.data(), bytes_);
    }
    if (overlapped_ != nullptr) {
      std::atomic_ref(overlapped_->InternalHigh).store(bytes_, std::memory_order_release);
      std::atomic_ref(overlapped_->Internal).store(StatusOf(error), std::memory_order_release);
    }
    if (eventReset_) event = event_;
    if (listed_) file = file_;
    waited = waiters_ != 0;
    complete_.store(true, std::memory_order_release);
  }
  // The caller may reuse the block from here on; only copies are used.
  if (event != kNullHandle) SetEvent(event);
  // Most requests complete before anyone waits: a wait that comes later finds them complete.
  if (waited) done_.notify_all();
  if (auto listed = file.lock()) listed->Remove(this);
  return true;
}

bool Request::Settle(uint32_t* error, uint32_t* bytes) {
  // Completed at once, the request has no one else to tell: its results stay as they are.
  if (!complete_.load(std::memory_order_acquire)) {
    std::lock_guard lock(mutex_);
    if (!complete_.load(std::memory_order_relaxed)) {
      if (event_ != kNullHandle) {
        ResetEvent(event_);
        eventReset_ = true;
      }
      return false;
    }
  }
  *error = error_;
  *bytes = bytes_;
  // Completed before anyone could wait: the event ends signalled as if reset and set, and is
  // touched only when it was not signalled already.
  if (event_ != kNullHandle) SignalEvent(event_);
  return true;
}

bool Request::MarkListed() {
  std::lock_guard lock(mutex_);
  listed_ = !complete_.load(std::memory_order_relaxed);
  return listed_;
}

bool Request::IsDone() const {
  std::lock_guard lock(mutex_);
  return complete_.load(std::memory_order_relaxed);
}

uint32_t Request::Wait(uint32_t* bytes) {
  std::unique_lock lock(mutex_);
  ++waiters_;
  done_.wait(lock, [this] { return complete_.load(std::memory_order_relaxed); });
  --waiters_;
  if (bytes != nullptr) *bytes = bytes_;
  return error_;
}

bool Request::Result(uint32_t* error, uint32_t* bytes) const {
  std::lock_guard lock(mutex_);
  *error = error_;
  *bytes = bytes_;
  return complete_.load(std::memory_order_relaxed);
}

void DeviceFile::Closed() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  Cancel(std::thread::id());
  // A thread still finishing a call may hold this file a while longer; the port must not wait
  // for it, or an opener right after the close is refused.
  if (serial != nullptr) serial->Close();
}

bool DeviceFile::AddPending(const std::shared_ptr<Request>& request) {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  if (request->MarkListed()) pending_.push_back(request);
  return true;
}

void DeviceFile::Remove(const Request* request) {
  std::lock_guard lock(mutex_);
  std::erase_if(pending_, [request](const auto& entry) { return entry.get() == request; });
}

std::shared_ptr<Request> DeviceFile::Find(const Overlapped* overlapped) {
  std::lock_guard lock(mutex_);
  // A completed request may linger here a moment after its waiter went on to start the next
  // one on the same block; the block's own words hold the latest completion.
  for (auto entry = pending_.rbegin(); entry != pending_.rend(); ++entry) {
    if ((*entry)->overlapped() == overlapped && !(*entry)->IsDone()) return *entry;
  }
  return nullptr;
}

void DeviceFile::Cancel(std::thread::id thread) {
  std::vector<std::shared_ptr<Request>> cancelled;
  {
    std::lock_guard lock(mutex_);
    for (const auto& request : pending_) {
      if (thread == std::thread::id() || request->issuer() == thread) {
        cancelled.push_back(request);
      }
    }
  }
  for (const auto& request : cancelled) {
    if (request->Finish(ERROR_OPERATION_ABORTED, 0)) device->Cancelled(*request);
  }
}

}  // namespace os::detail
