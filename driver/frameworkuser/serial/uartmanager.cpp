// CUartManager: lists a system's serial ports once and serialises the use of each.
#include "driver/frameworkuser/serial/uartmanager.h"

#include <algorithm>

#include "driver/frameworkuser/serial/serialportlist.h"
#include "driver/frameworkuser/serial/uarterror.h"
#include "platform/os/device/device.h"

namespace zor::frame {
namespace {

constexpr uint32_t kPurgeAll =
    os::PURGE_TXABORT | os::PURGE_RXABORT | os::PURGE_TXCLEAR | os::PURGE_RXCLEAR;
constexpr uint32_t kOpenBaudRate = 9600;
constexpr uint32_t kOpenMsPerByte = 50;

}  // namespace

CUartManager::Use::Use(const CUartManager& manager, UartPortRecord& record) : record_(record) {
  const bool listed = std::any_of(manager.ports_.begin(), manager.ports_.end(),
                                  [&](const auto& port) { return port.get() == &record; });
  if (!listed || !record.IsOpen()) RaiseUartError(kUartStateError, 2);
  ++record_.useCount_;
}

CUartManager::CUartManager() = default;

CUartManager::CUartManager(const std::vector<std::wstring>& names) {
  std::call_once(listed_, [&] { AddPorts(names); });
}

void CUartManager::AddPorts(const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    if (ports_.size() == kMaxUartPorts) break;
    ports_.push_back(std::make_unique<UartPortRecord>(name, 0));
  }
}

const std::vector<std::unique_ptr<UartPortRecord>>& CUartManager::Ports() {
  std::call_once(listed_, [this] { AddPorts(ReadSerialPortNames()); });
  return ports_;
}

CUartManager::~CUartManager() = default;

std::unique_lock<CUartManager::PortMutex> CUartManager::LockPort(size_t index) {
  if (index >= kMaxUartPorts) return {};
  return std::unique_lock(locks_[index]);
}

bool CUartManager::IsOpenedPort(size_t index) const {
  return index < kMaxUartPorts && cache_[index] != nullptr;
}

UartPortRecord& CUartManager::GetPort(size_t index) {
  if (index >= kMaxUartPorts) RaiseUartError(kUartInstanceError, 1);
  if (cache_[index] == nullptr) cache_[index] = &OpenPort(index);
  return *cache_[index];
}

UartPortRecord& CUartManager::OpenPort(size_t index) {
  const std::vector<std::unique_ptr<UartPortRecord>>& ports = Ports();
  if (ports.empty()) RaiseUartError(kUartIoError, 4);
  if (index >= ports.size()) RaiseUartError(kUartInstanceError, 1);
  UartPortRecord& record = *ports[index];
  if (record.IsOpen()) RaiseUartError(kUartInstanceError, 2);
  const std::wstring path = L"\\\\.\\" + record.name_;
  record.port_ = os::CreateFile(path.c_str(), os::GENERIC_READ | os::GENERIC_WRITE,
                                os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, os::OPEN_EXISTING,
                                os::FILE_FLAG_OVERLAPPED);
  if (!record.IsOpen()) RaiseUartError(kUartInstanceError, 3);
  try {
    if (!os::PurgeComm(record.port_, kPurgeAll)) RaiseUartError(kUartStateError, 1);
    os::DCB dcb;
    if (!os::GetCommState(record.port_, &dcb)) RaiseUartError(kUartInstanceError, 4);
    const os::DCB current = dcb;
    dcb = os::DCB();
    dcb.DCBlength = current.DCBlength;
    dcb.fDummy2 = current.fDummy2;
    dcb.BaudRate = kOpenBaudRate;
    dcb.ByteSize = 8;
    dcb.Parity = os::NOPARITY;
    dcb.StopBits = os::ONESTOPBIT;
    dcb.fRtsControl = os::RTS_CONTROL_HANDSHAKE;
    WriteState(record, dcb);
    WriteTimeouts(record, {0, kOpenMsPerByte, 0, kOpenMsPerByte, 0});
    StartReceiver(record);
  } catch (const UartFailure&) {
    os::CloseHandle(record.port_);
    record.port_ = os::INVALID_HANDLE_VALUE;
    throw;
  }
  return record;
}

void CUartManager::StartReceiver(UartPortRecord& record) {
  // Threads stopped inside a hook call are joined once that call has returned.
  std::erase_if(record.stoppedReceivers_,
                [](const auto& receiver) { return receiver->Finished(); });
  auto receiver = std::make_unique<UartReceiver>();
  if (!receiver->Start(record.port_, record.hook_)) RaiseUartError(kUartInstanceError, 3);
  record.receiver_ = std::move(receiver);
}

void CUartManager::ClosePort(UartPortRecord& record) {
  {
    Use use(*this, record);
    if (record.useCount_ != 1) RaiseUartError(kUartStateError, 4);
    // A record is cached only at its own index, whose lock the caller holds.
    for (size_t i = 0; i < ports_.size(); ++i) {
      if (ports_[i].get() == &record) cache_[i] = nullptr;
    }
    if (record.receiver_) {
      record.receiver_->Stop();
      if (!record.receiver_->Finished()) {
        record.stoppedReceivers_.push_back(std::move(record.receiver_));
      }
      record.receiver_.reset();
    }
    os::CloseHandle(record.port_);
    record.port_ = os::INVALID_HANDLE_VALUE;
  }
}

void CUartManager::WriteState(UartPortRecord& record, const os::DCB& dcb) {
  if (!os::SetCommState(record.port_, &dcb)) RaiseUartError(kUartStateError, 1);
  record.dcb_ = dcb;
}

void CUartManager::WriteTimeouts(UartPortRecord& record, const os::COMMTIMEOUTS& timeouts) {
  if (!os::SetCommTimeouts(record.port_, &timeouts)) RaiseUartError(kUartStateError, 1);
  record.timeouts_ = timeouts;
}

}  // namespace zor::frame
