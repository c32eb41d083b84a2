#include "platform/os/device/device.h"

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "platform/os/core/thread_own.h"
#include "platform/os/device/device_file.h"
#include "platform/os/serial/serial_port.h"
#include "platform/os/text/upper_case.h"

namespace os::detail {
namespace {

struct Providers {
  std::mutex mutex;
  std::map<std::wstring, std::shared_ptr<DeviceProvider>> byName;
};

Providers& AllProviders() {
  static Providers& providers = *new Providers;
  return providers;
}

bool AllDigits(const std::wstring& text) {
  if (text.empty() || text.size() > 9) return false;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

std::shared_ptr<Device> OpenFromProvider(const std::wstring& device, uint32_t* error) {
  const size_t split = device.rfind(L'_');
  if (split == std::wstring::npos || split == 0 || !AllDigits(device.substr(split + 1))) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  std::shared_ptr<DeviceProvider> provider;
  {
    Providers& providers = AllProviders();
    std::lock_guard lock(providers.mutex);
    auto found = providers.byName.find(UpperCase(device.substr(0, split)));
    if (found != providers.byName.end()) provider = found->second;
  }
  std::shared_ptr<Device> opened =
      provider ? provider->Open(static_cast<uint32_t>(std::stoul(device.substr(split + 1))))
               : nullptr;
  if (opened == nullptr) *error = ERROR_FILE_NOT_FOUND;
  return opened;
}

// The calling thread's spare request objects: two, so that one the device keeps pending (a wait
// for events) leaves the other to the requests that complete at once.
struct SpareSlot {
  std::array<std::shared_ptr<Request>, 2> requests;
  // A request of this slot is in flight: one sent meanwhile from inside it gets its own.
  bool busy = false;
};

// The calling thread's request, used without copying its reference: a request object of the
// thread that nothing else holds. A device may keep a request past its completion, and a request
// in flight stays with its device: those get a new one. Large buffers are not kept.
class ThreadRequest {
 public:
  ThreadRequest() {
    constexpr size_t kKeptBufferBytes = 64 * 1024;
    // Requests may still be sent while the thread ends, from destructors that run after the
    // slot's: those get a request of their own.
    SpareSlot* slot = ThreadOwn<SpareSlot>();
    if (slot == nullptr || slot->busy) {
      own_ = std::make_shared<Request>();
      return;
    }
    const auto reusable = [](const std::shared_ptr<Request>& spare) {
      return spare != nullptr && spare.use_count() == 1 &&
             spare->BufferCapacity() <= kKeptBufferBytes;
    };
    std::array<std::shared_ptr<Request>, 2>& spares = slot->requests;
    if (!reusable(spares[0])) {
      std::swap(spares[0], spares[1]);
      if (!reusable(spares[0])) spares[0] = std::make_shared<Request>();
    }
    slot_ = slot;
    slot->busy = true;
  }
  ~ThreadRequest() {
    if (slot_ != nullptr) slot_->busy = false;
  }
  ThreadRequest(const ThreadRequest&) = delete;
  ThreadRequest& operator=(const ThreadRequest&) = delete;

  const std::shared_ptr<Request>& Get() const {
    return slot_ != nullptr ? slot_->requests[0] : own_;
  }

 private:
  SpareSlot* slot_ = nullptr;
  std::shared_ptr<Request> own_;
};

// Sends one request and reports it the Windows way.
bool Send(Handle handle, IoRequest::Kind kind, uint32_t code, const void* input, uint32_t inputSize,
          void* output, uint32_t outputSize, uint32_t* bytes, Overlapped* overlapped) {
  std::shared_ptr<DeviceFile> file = Lookup<DeviceFile>(handle);
  if (file == nullptr) return false;
  if ((inputSize > 0 && input == nullptr) || (outputSize > 0 && output == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const bool asynchronous = file->overlappedMode && overlapped != nullptr;
  const ThreadRequest thread;
  const std::shared_ptr<Request>& request = thread.Get();
  request->Start(kind, code, input, inputSize, output, outputSize, overlapped, file);
  switch (kind) {
    case IoRequest::Kind::kControl:
      file->device->Control(request);
      break;
    case IoRequest::Kind::kRead:
      file->device->Read(request);
      break;
    case IoRequest::Kind::kWrite:
      file->device->Write(request);
      break;
  }
  uint32_t error = ERROR_IO_PENDING;
  uint32_t transferred = 0;
  const bool complete = request->Settle(&error, &transferred);
  // Only a request the device kept needs listing; the handle may have closed meanwhile.
  if (!complete && !file->AddPending(request) && request->Finish(ERROR_OPERATION_ABORTED, 0)) {
    file->device->Cancelled(*request);
  }
  if (asynchronous && !complete) {
    SetLastError(ERROR_IO_PENDING);
    return false;
  }
  if (!complete) error = request->Wait(&transferred);
  if (bytes != nullptr) *bytes = transferred;
  SetLastError(error);
  return error == ERROR_SUCCESS;
}

}  // namespace
}  // namespace os::detail

namespace os {

void Device::Read(std::shared_ptr<IoRequest> request) {
  request->Complete(ERROR_INVALID_FUNCTION, 0);
}

void Device::Write(std::shared_ptr<IoRequest> request) {
  request->Complete(ERROR_INVALID_FUNCTION, 0);
}

void Device::Cancelled(const IoRequest&) {}

void RegisterDeviceProvider(const std::wstring& name, std::shared_ptr<DeviceProvider> provider) {
  detail::Providers& providers = detail::AllProviders();
  std::lock_guard lock(providers.mutex);
  providers.byName[detail::UpperCase(name)] = std::move(provider);
}

void UnregisterDeviceProvider(const std::wstring& name) {
  detail::Providers& providers = detail::AllProviders();
  std::lock_guard lock(providers.mutex);
  providers.byName.erase(detail::UpperCase(name));
}

Handle CreateFile(const wchar_t* name, uint32_t, uint32_t, uint32_t, uint32_t flags) {
  if (name == nullptr || *name == L'\0') {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  std::wstring device = name;
  const bool prefixed = device.starts_with(L"\\\\.\\");
  if (prefixed) device.erase(0, 4);
  uint32_t error = ERROR_SUCCESS;
  std::shared_ptr<detail::SerialPort> serial;
  std::shared_ptr<Device> opened;
  if (detail::UpperCase(device).starts_with(L"COM") && detail::AllDigits(device.substr(3))) {
    serial = detail::SerialPort::Open(device, &error);
    opened = serial;
  } else if (prefixed) {
    opened = detail::OpenFromProvider(device, &error);
  } else {
    error = ERROR_FILE_NOT_FOUND;
  }
  if (opened == nullptr) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return detail::InsertHandle(std::make_shared<detail::DeviceFile>(
      std::move(opened), (flags & FILE_FLAG_OVERLAPPED) != 0, std::move(serial)));
}

bool DeviceIoControl(Handle device, uint32_t code, const void* input, uint32_t inputSize,
                     void* output, uint32_t outputSize, uint32_t* bytesReturned,
                     Overlapped* overlapped) {
  return detail::Send(device, IoRequest::Kind::kControl, code, input, inputSize, output, outputSize,
                      bytesReturned, overlapped);
}

bool ReadFile(Handle device, void* buffer, uint32_t size, uint32_t* bytesRead,
              Overlapped* overlapped) {
  return detail::Send(device, IoRequest::Kind::kRead, 0, nullptr, 0, buffer, size, bytesRead,
                      overlapped);
}

bool WriteFile(Handle device, const void* buffer, uint32_t size, uint32_t* bytesWritten,
               Overlapped* overlapped) {
  return detail::Send(device, IoRequest::Kind::kWrite, 0, buffer, size, nullptr, 0, bytesWritten,
                      overlapped);
}

bool GetOverlappedResult(Handle device, Overlapped* overlapped, uint32_t* bytes, bool wait) {
  std::shared_ptr<detail::DeviceFile> file = detail::Lookup<detail::DeviceFile>(device);
  if (file == nullptr) return false;
  if (overlapped == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  uint32_t error = 0;
  uint32_t transferred = 0;
  // A completed request's results are in the block, written before its status: there is no
  // request to look for.
  std::shared_ptr<detail::Request> request;
  if (!HasOverlappedIoCompleted(overlapped)) request = file->Find(overlapped);
  if (request != nullptr) {
    if (wait) {
      error = request->Wait(&transferred);
    } else if (!request->Result(&error, &transferred)) {
      SetLastError(ERROR_IO_INCOMPLETE);
      return false;
    }
  } else {
    const std::uintptr_t status = std::atomic_ref(overlapped->Internal).load();
    transferred = static_cast<uint32_t>(std::atomic_ref(overlapped->InternalHigh).load());
    error = detail::ErrorOf(status);
    if (status == STATUS_PENDING) {
      // Not a request of this handle: nothing will complete it here.
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
  }
  if (bytes != nullptr) *bytes = transferred;
  SetLastError(error);
  return error == ERROR_SUCCESS;
}

bool CancelIo(Handle device) {
  std::shared_ptr<detail::DeviceFile> file = detail::Lookup<detail::DeviceFile>(device);
  if (file == nullptr) return false;
  file->Cancel(std::this_thread::get_id());
  return true;
}

bool HasOverlappedIoCompleted(const Overlapped* overlapped) {
  return std::atomic_ref(const_cast<Overlapped*>(overlapped)->Internal).load() != STATUS_PENDING;
}

}  // namespace os
