// Devices opened by name ("\\.\NAME_n") from registered providers, and the
// requests sent to them: buffered control requests, reads and writes that
// complete at once or stay pending until the device completes them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/core/handle.h"
#include "platform/os/device/overlapped.h"

namespace os {

inline constexpr uint32_t GENERIC_READ = 0x80000000;
inline constexpr uint32_t GENERIC_WRITE = 0x40000000;
inline constexpr uint32_t FILE_SHARE_READ = 0x1;
inline constexpr uint32_t FILE_SHARE_WRITE = 0x2;
inline constexpr uint32_t OPEN_EXISTING = 3;
inline constexpr uint32_t FILE_FLAG_OVERLAPPED = 0x40000000;

// One request as a device sees it. The buffer holds a copy of the caller's
// input and receives the output (max(inputSize, outputSize) bytes); the
// caller's output buffer gets it when the request completes successfully.
class IoRequest {
 public:
  enum class Kind { kControl, kRead, kWrite };

  virtual ~IoRequest() = default;
  virtual Kind kind() const = 0;
  // The control code; 0 for reads and writes.
  virtual uint32_t code() const = 0;
  virtual void* buffer() = 0;
  virtual uint32_t inputSize() const = 0;
  virtual uint32_t outputSize() const = 0;

  // Completes the request from any thread: error ERROR_SUCCESS or a Windows
  // error code, bytes written into buffer(). Only the first completion
  // counts; completing a cancelled request does nothing.
  virtual void Complete(uint32_t error, uint32_t bytes) = 0;
  virtual bool IsDone() const = 0;
};

class Device {
 public:
  virtual ~Device() = default;
  // Complete the request before returning, or keep it and complete it later.
  virtual void Control(std::shared_ptr<IoRequest> request) = 0;
  // Reads and writes are refused with ERROR_INVALID_FUNCTION unless served.
  virtual void Read(std::shared_ptr<IoRequest> request);
  virtual void Write(std::shared_ptr<IoRequest> request);
  // Tells the device that a kept request was cancelled (already completed
  // with ERROR_OPERATION_ABORTED); it may drop it.
  virtual void Cancelled(const IoRequest& request);
};

class DeviceProvider {
 public:
  virtual ~DeviceProvider() = default;
  // Null when the unit does not exist: the open fails with ERROR_FILE_NOT_FOUND.
  virtual std::shared_ptr<Device> Open(uint32_t unit) = 0;
};

// name is NAME of "\\.\NAME_n", compared ignoring case. A second provider of
// the same name replaces the first; open handles keep their devices.
void RegisterDeviceProvider(const std::wstring& name, std::shared_ptr<DeviceProvider> provider);
void UnregisterDeviceProvider(const std::wstring& name);

// Opens "\\.\NAME_n" from the providers and "COMn" or "\\.\COMn" as a serial
// port. INVALID_HANDLE_VALUE on failure with ERROR_FILE_NOT_FOUND (unknown
// name or unit) or ERROR_INVALID_NAME. Requests on a handle opened without
// FILE_FLAG_OVERLAPPED, or sent without an Overlapped, wait to complete.
Handle CreateFile(const wchar_t* name, uint32_t access, uint32_t shareMode, uint32_t creation,
                  uint32_t flags);

// False with ERROR_IO_PENDING when the request stays pending on overlapped;
// false with the request's error when it failed.
bool DeviceIoControl(Handle device, uint32_t code, const void* input, uint32_t inputSize,
                     void* output, uint32_t outputSize, uint32_t* bytesReturned,
                     Overlapped* overlapped);
bool ReadFile(Handle device, void* buffer, uint32_t size, uint32_t* bytesRead,
              Overlapped* overlapped);
bool WriteFile(Handle device, const void* buffer, uint32_t size, uint32_t* bytesWritten,
               Overlapped* overlapped);

// The result of a request started with overlapped. Without wait a pending
// request gives false with ERROR_IO_INCOMPLETE.
bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes, bool wait);
// Completes the calling thread's pending requests on the handle with
// ERROR_OPERATION_ABORTED; closing the handle does that for every thread.
bool CancelIo(Handle device);

}  // namespace os
