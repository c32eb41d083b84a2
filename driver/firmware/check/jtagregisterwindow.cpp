// CJtagRegisterWindow: maps the board's JTAG register through a host buffer and frees it.
#include "driver/firmware/check/jtagregisterwindow.h"

#include "platform/host/hostservices.h"

namespace zor::firmware {
namespace {
constexpr QINT64 kWindowBitDepth = 8;
constexpr QINT64 kAttribute = 4;
constexpr QINT64 kWrapFlags = 0x48000000;
constexpr QINT64 kWindowBytes = 4;
}  // namespace

CJtagRegisterWindow::CJtagRegisterWindow(uint64_t registerAddress) {
  // A null address would make the host allocate plain memory instead of a window.
  if (registerAddress == 0) return;
  buffer_ =
      HostBufCreate2d(Q_DEFAULT_HOST, kWindowBytes, 1, kWindowBitDepth, kAttribute, kWrapFlags,
                      kWindowBytes, reinterpret_cast<void*>(registerAddress), nullptr);
  if (buffer_ == 0) return;
  void* host = nullptr;
  HostBufInquire(buffer_, Q_HOST_ADDRESS, &host);
  register_ = static_cast<jtag::IJtagRegisterAccess*>(host);
}

void CJtagRegisterWindow::Free() {
  if (buffer_ != 0) HostBufFree(buffer_);
  buffer_ = 0;
  register_ = nullptr;
}

}  // namespace zor::firmware
