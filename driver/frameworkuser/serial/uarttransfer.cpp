// Reads, writes and line errors of a port.
#include <array>
#include <cstring>
#include <utility>

#include "driver/frameworkuser/serial/uarterror.h"
#include "driver/frameworkuser/serial/uartmanager.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "platform/os/sync/event.h"

namespace zor::frame {
namespace {

// Line errors in the order they are reported.
constexpr std::array<std::pair<uint32_t, std::pair<uint64_t, uint64_t>>, 7> kLineErrors = {{
    {os::CE_BREAK, {kUartLineError, 1}},
    {os::CE_FRAME, {kUartLineError, 2}},
    {os::CE_MODE, {kUartLineError, 3}},
    {os::CE_OVERRUN, {kUartLineError, 4}},
    {os::CE_RXOVER, {kUartQueueError, 1}},
    {os::CE_RXPARITY, {kUartQueueError, 2}},
    {os::CE_TXFULL, {kUartQueueError, 3}},
}};

// What a failed read or write raises when no line error explains it.
constexpr uint64_t kReadFailure = 4;   // kUartInstanceError/4
constexpr uint64_t kWriteFailure = 1;  // kUartStateError/1

uint64_t FailureCode(uint64_t failure) {
  return failure == kReadFailure ? kUartInstanceError : kUartStateError;
}

void CheckNotPending(const os::Overlapped& block) {
  if (!os::HasOverlappedIoCompleted(&block)) RaiseUartError(kUartIoError, 2);
}

}  // namespace

void CUartManager::CheckCommErrors(UartPortRecord& record) {
  Use use(*this, record);
  uint32_t errors = 0;
  if (!os::ClearCommError(record.port_, &errors, nullptr)) RaiseUartError(kUartInstanceError, 4);
  for (const auto& [bit, error] : kLineErrors) {
    if ((errors & bit) != 0) RaiseUartError(error.first, error.second);
  }
}

void CUartManager::RaiseFailedTransfer(UartPortRecord& record, uint64_t failure) {
  CheckCommErrors(record);
  RaiseUartError(FailureCode(failure), failure);
}

uint32_t CUartManager::WaitTransfer(UartPortRecord& record, os::Overlapped& block,
                                    uint64_t failure) {
  uint32_t bytes = 0;
  if (!os::GetOverlappedResult(record.port_, &block, &bytes, true)) {
    if (os::GetLastError() == os::ERROR_TIMEOUT) RaiseUartError(kUartIoError, 3);
    RaiseFailedTransfer(record, failure);
  }
  CheckCommErrors(record);
  return bytes;
}

void CUartManager::ReadByte(UartPortRecord& record, uint8_t* byte) {
  Use use(*this, record);
  CheckNotPending(record.read_);
  os::ResetEvent(record.read_.hEvent);
  if (!os::ReadFile(record.port_, byte, 1, nullptr, &record.read_) &&
      os::GetLastError() != os::ERROR_IO_PENDING) {
    os::ResetEvent(record.read_.hEvent);
    RaiseFailedTransfer(record, kReadFailure);
  }
  // No byte within the time-out: the caller's byte was not written.
  if (WaitTransfer(record, record.read_, kReadFailure) == 0) RaiseUartError(kUartIoError, 3);
}

void CUartManager::WriteByte(UartPortRecord& record, int64_t value) {
  Use use(*this, record);
  CheckNotPending(record.write_);
  const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
  os::ResetEvent(record.write_.hEvent);
  if (!os::WriteFile(record.port_, &byte, 1, nullptr, &record.write_) &&
      os::GetLastError() != os::ERROR_IO_PENDING) {
    os::ResetEvent(record.write_.hEvent);
    RaiseFailedTransfer(record, kWriteFailure);
  }
  if (WaitTransfer(record, record.write_, kWriteFailure) == 0) RaiseUartError(kUartIoError, 3);
}

void CUartManager::Read(UartPortRecord& record, uint8_t* data) {
  Use use(*this, record);
  if (record.readUntilDelimiter_) {
    record.lastReadByDelimiter_ = true;
    record.lastDelimiterReadCount_ = 0;
    // The maximum bounds what is stored, so a maximum of 0 reads nothing.
    for (uint32_t count = 0; count < record.readMaxLength_;) {
      ReadByte(record, data + count);
      if (data[count++] == record.delimiter_) {
        record.lastDelimiterReadCount_ = count - 1;
        return;
      }
      record.lastDelimiterReadCount_ = count;
    }
    return;
  }
  record.lastReadByDelimiter_ = false;
  record.lastDelimiterReadCount_ = 0;
  CheckNotPending(record.read_);
  os::ResetEvent(record.read_.hEvent);
  if (!os::ReadFile(record.port_, data, record.readLength_, nullptr, &record.read_) &&
      os::GetLastError() != os::ERROR_IO_PENDING) {
    os::ResetEvent(record.read_.hEvent);
    RaiseFailedTransfer(record, kReadFailure);
  }
}

void CUartManager::Write(UartPortRecord& record, const uint8_t* data) {
  Use use(*this, record);
  uint32_t count = record.writeLength_;
  if (record.writeUntilDelimiter_) {
    // The write length bounds the search, so data without a delimiter is never overrun.
    const void* found = std::memchr(data, record.delimiter_, record.writeLength_);
    if (found == nullptr) RaiseUartError(kUartStateError, 3);
    count = static_cast<uint32_t>(static_cast<const uint8_t*>(found) - data);
  }
  CheckNotPending(record.write_);
  os::ResetEvent(record.write_.hEvent);
  if (!os::WriteFile(record.port_, data, count, nullptr, &record.write_) &&
      os::GetLastError() != os::ERROR_IO_PENDING) {
    os::ResetEvent(record.write_.hEvent);
    RaiseFailedTransfer(record, kWriteFailure);
  }
}

void CUartManager::WaitReadComplete(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  if (record.lastReadByDelimiter_) {
    answer = static_cast<int64_t>(record.lastDelimiterReadCount_);
    return;
  }
  answer = WaitTransfer(record, record.read_, kReadFailure);
}

void CUartManager::WaitWriteComplete(UartPortRecord& record, int64_t& answer) {
  Use use(*this, record);
  answer = WaitTransfer(record, record.write_, kWriteFailure);
}

}  // namespace zor::frame
