// The serial ports of a board system. Ports are listed once, at construction or, for the
// machine's ports, on first use, so a system that uses none does not look for them; a port opens on
// its first use and stays open until closed. Operations on one port are serialised by the
// caller under LockPort (the serial commands below do it); different ports run in parallel. The
// operations on a port record throw their failures as UartFailure; the serial commands catch
// them and return the error record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/frameworkuser/serial/uarterror.h"
#include "driver/frameworkuser/serial/uartportrecord.h"

namespace zor::frame {

inline constexpr size_t kMaxUartPorts = 256;
// The host's default value, and its value for no parity.
inline constexpr int64_t kUartDefault = 0x10000000;
inline constexpr int64_t kUartNoParity = -9999;

class CUartManager {
 public:
  using PortMutex = foundation::Ranked<std::mutex, foundation::LockId::kUartPort>;

  // The ports that the machine lists (ReadSerialPortNames), read on first use.
  CUartManager();
  // The ports of these "COMn" names, in this order, at most kMaxUartPorts.
  explicit CUartManager(const std::vector<std::wstring>& names);
  CUartManager(const CUartManager&) = delete;
  CUartManager& operator=(const CUartManager&) = delete;
  ~CUartManager();

  size_t PortCount() { return Ports().size(); }

  // One system inquire or control of a serial type (IsSerialType), under the port's lock.
  // An empty record means success. An inquire that had to open the port closes it again.
  CError Inquire(int64_t type, int64_t* answer);
  // The value as an integer: a byte, a setting, or the address of the caller's data.
  CError Control(int64_t type, int64_t value);
  // Hook type 17 with the port index in bits 16 to 23; bit 0x4000000 unhooks. Returns once no
  // call of the hook being replaced runs any more (unless called from inside that hook).
  CError Hook(int64_t hookType, UartHookFunction function, void* userData);

  // The port's lock, held while the port is opened, used or closed; holds nothing for an index
  // past the last port, which GetPort refuses (a lock held on some roads only, which the
  // thread-safety analysis does not follow).
  std::unique_lock<PortMutex> LockPort(size_t index);
  // Whether the port of the index is open through this manager; under the port's lock.
  bool IsOpenedPort(size_t index) const;
  // The open record of the index, opening the port on first use.
  UartPortRecord& GetPort(size_t index);
  UartPortRecord& OpenPort(size_t index);
  void ClosePort(UartPortRecord& record);

  void SetSpeed(UartPortRecord& record, int64_t rate);
  void GetSpeed(UartPortRecord& record, int64_t& answer);
  void SetDataSize(UartPortRecord& record, int64_t size);
  void GetDataSize(UartPortRecord& record, int64_t& answer);
  void SetParity(UartPortRecord& record, int64_t parity);
  // Leaves the answer alone for parities other than none, odd and even.
  void GetParity(UartPortRecord& record, int64_t& answer);
  void SetStopBits(UartPortRecord& record, int64_t bits);
  // Leaves the answer alone for one and a half stop bits.
  void GetStopBits(UartPortRecord& record, int64_t& answer);
  // kUartDefault: until the delimiter, keeping the stored length.
  void SetReadLength(UartPortRecord& record, int64_t length);
  void GetReadLength(UartPortRecord& record, int64_t& answer);
  void SetWriteLength(UartPortRecord& record, int64_t length);
  void GetWriteLength(UartPortRecord& record, int64_t& answer);
  void SetReadMaxLength(UartPortRecord& record, int64_t length);
  void GetReadMaxLength(UartPortRecord& record, int64_t& answer);
  void SetDelimiter(UartPortRecord& record, int64_t delimiter);
  void GetDelimiter(UartPortRecord& record, int64_t& answer);
  // Milliseconds per byte, for reads and writes.
  void SetTimeout(UartPortRecord& record, int64_t perByte);
  void GetTimeout(UartPortRecord& record, int64_t& answer);
  void GetPortKind(UartPortRecord& record, int64_t& answer);
  void GetPortNumber(UartPortRecord& record, int64_t& answer);
  void GetBytesPending(UartPortRecord& record, int64_t& answer);

  void ReadByte(UartPortRecord& record, uint8_t* byte);
  void WriteByte(UartPortRecord& record, int64_t value);
  // Until the delimiter: waits byte by byte, storing at most the maximum read length. Fixed
  // length: starts the read and returns; WaitReadComplete gives its count.
  void Read(UartPortRecord& record, uint8_t* data);
  // Starts the write and returns; the data is taken at once.
  void Write(UartPortRecord& record, const uint8_t* data);
  void WaitReadComplete(UartPortRecord& record, int64_t& answer);
  void WaitWriteComplete(UartPortRecord& record, int64_t& answer);
  // Throws the first line error that the port holds, clearing them all.
  void CheckCommErrors(UartPortRecord& record);

 private:
  // Counts an operation on an open record of the list; throws kUartStateError/2 otherwise.
  class Use {
   public:
    Use(const CUartManager& manager, UartPortRecord& record);
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    ~Use() { --record_.useCount_; }

   private:
    UartPortRecord& record_;
  };

  void AddPorts(const std::vector<std::wstring>& names);
  const std::vector<std::unique_ptr<UartPortRecord>>& Ports();
  void WriteState(UartPortRecord& record, const os::DCB& dcb);
  void WriteTimeouts(UartPortRecord& record, const os::COMMTIMEOUTS& timeouts);
  void StartReceiver(UartPortRecord& record);
  // Waits for the block's request: the byte count, or throws (time-out, line or other error).
  uint32_t WaitTransfer(UartPortRecord& record, os::Overlapped& block, uint64_t failure);
  // After a transfer that failed at once: a line error if one is pending, else failure.
  [[noreturn]] void RaiseFailedTransfer(UartPortRecord& record, uint64_t failure);
  void DispatchInquire(UartPortRecord& record, int64_t type, int64_t& answer);
  void DispatchControl(UartPortRecord& record, int64_t type, int64_t value);

  // One per port index: guards the port's entry in cache_ and its record while one thread opens,
  // uses or closes it. Taken under no other driver lock but the command's own; a hook runs
  // outside it. Not recursive: nothing that holds it takes it again.
  std::array<PortMutex, kMaxUartPorts> locks_;
  std::once_flag listed_;
  std::vector<std::unique_ptr<UartPortRecord>> ports_;
  std::array<UartPortRecord*, kMaxUartPorts> cache_{};
};

// Types 4701 to 4725 of system inquire and control, with the port index in bits 16 to 23.
bool IsSerialType(int64_t type);
// Hook type 17 with the port index in bits 16 to 23, with or without the unhook bit.
bool IsSerialHookType(int64_t hookType);

}  // namespace zor::frame
