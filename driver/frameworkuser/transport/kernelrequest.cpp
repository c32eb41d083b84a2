// Kernel requests of a thread: one overlapped request in flight at a time.
#include <cwchar>
#include <string>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"

namespace zor::frame {
namespace {

using errorcode::kUnexpectedError;
constexpr int64_t kDeviceIoControlFailed = 2;

}  // namespace

uint32_t QDDriverThreadContext::DeviceIoControl(os::Handle device, uint32_t code, void* input,
                                                uint32_t inputSize, void* output,
                                                uint32_t outputSize) {
  uint32_t bytes = 0;
  if (os::DeviceIoControl(device, code, input, inputSize, output, outputSize, &bytes,
                          &overlapped_)) {
    return bytes;
  }
  uint32_t error = os::GetLastError();
  if (error == os::ERROR_IO_PENDING) {
    if (os::GetOverlappedResult(device, &overlapped_, &bytes, true)) return bytes;
    error = os::GetLastError();
  }
  wchar_t text[64];
  std::swprintf(text, 64, L"Control code: %d, returned Error: 0x%x ",
                static_cast<int>((code >> 2) & 0xFFF), error);
  const std::wstring message = std::wstring(text) + os::FormatErrorMessage(error);
  SetErrorSubText(kUnexpectedError, kDeviceIoControlFailed, message.c_str(), nullptr);
  return 0;
}

}  // namespace zor::frame
