// An open device handle and the requests it has in flight.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/os/core/object.h"
#include "platform/os/device/device.h"

namespace os::detail {

class SerialPort;
class DeviceFile;

// The status word of a completed request and back.
inline std::uintptr_t StatusOf(uint32_t error) {
  return error == ERROR_SUCCESS ? 0 : 0xC0000000u | error;
}
inline uint32_t ErrorOf(std::uintptr_t status) { return static_cast<uint32_t>(status & 0xFFFF); }

// A thread reuses its request object once nothing else holds it (Start makes it new), so a
// request that completes at once costs no allocation.
class Request final : public IoRequest {
 public:
  void Start(Kind kind, uint32_t code, const void* input, uint32_t inputSize, void* output,
             uint32_t outputSize, Overlapped* overlapped, const std::shared_ptr<DeviceFile>& file);

  Kind kind() const override { return kind_; }
  uint32_t code() const override { return code_; }
  void* buffer() override { return buffer_.data(); }
  uint32_t inputSize() const override { return inputSize_; }
  uint32_t outputSize() const override { return outputSize_; }
  void Complete(uint32_t error, uint32_t bytes) override { Finish(error, bytes); }
  bool IsDone() const override;

  // Complete that tells whether this call was the one that completed it.
  bool Finish(uint32_t error, uint32_t bytes);
  // Once the device has had the request: true with the error and bytes when it completed,
  // leaving the caller's event signalled; else the event is reset until it completes.
  bool Settle(uint32_t* error, uint32_t* bytes);
  // Under the file's lock: marks a request still running as listed there; false once complete.
  bool MarkListed();

  Overlapped* overlapped() const { return overlapped_; }
  std::thread::id issuer() const { return issuer_; }
  size_t BufferCapacity() const { return buffer_.capacity(); }
  // Waits for completion; answers the error and the bytes transferred.
  uint32_t Wait(uint32_t* bytes);
  // Completion state without waiting.
  bool Result(uint32_t* error, uint32_t* bytes) const;

 private:
  Kind kind_ = Kind::kControl;
  uint32_t code_ = 0;
  uint32_t inputSize_ = 0;
  uint32_t outputSize_ = 0;
  std::vector<unsigned char> buffer_;
  void* output_ = nullptr;
  Overlapped* overlapped_ = nullptr;
  Handle event_{};
  std::weak_ptr<DeviceFile> file_;
  std::thread::id issuer_;
  mutable std::mutex mutex_;
  std::condition_variable done_;
  // Threads in Wait, under the lock.
  int waiters_ = 0;
  // Written under the lock; read without it once the device has had the request.
  std::atomic<bool> complete_{false};
  bool listed_ = false;
  // The event was reset for a request left pending; its completion sets it.
  bool eventReset_ = false;
  uint32_t error_ = ERROR_IO_PENDING;
  uint32_t bytes_ = 0;
};

class DeviceFile : public Object {
 public:
  static constexpr Kind kKind = Kind::kDevice;
  DeviceFile(std::shared_ptr<Device> device, bool overlappedMode,
             std::shared_ptr<SerialPort> serial)
      : Object(kKind),
        device(std::move(device)),
        overlappedMode(overlappedMode),
        serial(std::move(serial)) {}

  void Closed() override;

  // Lists a request that the device kept, so that CancelIo and closing reach it; one completed
  // meanwhile is left out. False once the handle is closed: the caller cancels it.
  bool AddPending(const std::shared_ptr<Request>& request);
  void Remove(const Request* request);
  // The latest request in flight that uses the block, or null once none is.
  std::shared_ptr<Request> Find(const Overlapped* overlapped);
  // Cancels the requests that the thread issued; no thread: all of them.
  void Cancel(std::thread::id thread);

  const std::shared_ptr<Device> device;
  const bool overlappedMode;
  // Set for serial ports, which offer more than requests.
  const std::shared_ptr<SerialPort> serial;

 private:
  std::mutex mutex_;
  bool closed_ = false;
  std::vector<std::shared_ptr<Request>> pending_;
};

}  // namespace os::detail
