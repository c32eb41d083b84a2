// The board's own system: it opens the board, allocates the kernel-side
// system, reads the board's capabilities and settings, sets the driver log
// up, runs the grab-module firmware check, and serves the board's system
// control, inquire, I/O command and hooks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "driver/firmware/check/firmwarechecksystem.h"
#include "driver/frameworkuser/genicam/system/qdgenicamdevicesystem.h"

namespace zor::board {

using frame::OperationArgs;
using frame::QDDriverThreadContext;

// A system hook: the hook type it serves and the user's function and data.
struct SystemHookElement {
  int64_t type = 0;
  int64_t function = 0;
  int64_t user = 0;
};

class QDHwSpecSystem : public frame::QDGeniCamDeviceSystem, public firmware::IFirmwareCheckSystem {
 public:
  static constexpr std::size_t kChannels = 16;
  static constexpr uint32_t kDefaultStripRatio = 3;

  // (descriptor, device number, allocation flags, status out): status gets
  // the thread's error code when construction ends, 0 when it holds none.
  QDHwSpecSystem(const wchar_t* name, int64_t deviceNumber, int64_t allocationFlags,
                 int64_t& status, QDDriverThreadContext& ctx);
  ~QDHwSpecSystem() override;

  int64_t SysInquire(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysControl(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysIoCommand(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysHookFunction(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  int64_t SysGetHookInfo(const OperationArgs& args, QDDriverThreadContext& ctx) override;
  void ReadManifestTable() override {}

  // What the firmware check reads and calls.
  uint32_t CapabilityWord() const override { return static_cast<uint32_t>(capabilityReport_); }
  uint32_t FirmwareCode() const override;
  uint8_t FirmwareUpdateFlag() const override;
  uint64_t JtagRegisterAddress() const override;
  firmware::CBoardJtagPort* CurrentJtagPort() const override { return jtagPort_; }
  void SetCurrentJtagPort(firmware::CBoardJtagPort* port) override { jtagPort_ = port; }
  int GetFirmwareNeedReboot() override { return QDDeviceSystem::GetFirmwareNeedReboot() ? 1 : 0; }
  int RebootAfterFirmwareUpdate(const std::wstring& message, uint32_t waitSeconds) override {
    return QDDeviceSystem::RebootAfterFirmwareUpdate(message, waitSeconds);
  }
  uint32_t IsFirmwareUpdaterAvailable() override;
  void LaunchFirmwareUpdater() override;
  void CallAppControl(int64_t type, int64_t value) override;
  bool IsUserAdmin() override { return QDBaseSystem::IsUserAdmin(); }

  uint64_t Capabilities() const { return capabilityWord_; }
  int64_t ChannelCount() const { return digitizerCount_; }
  const frame::SysInfoBlock& Info() const { return info_; }
  uint64_t SystemObjectId() const { return systemObjectId_; }
  uint32_t StripRatio(std::size_t channel) const { return stripRatio_[channel]; }
  // The current sub-code of the thread's error (the code: GetPendingError).
  static int64_t GetThreadErrorSubCode(QDDriverThreadContext& ctx);

 private:
  void Construct(int64_t allocationFlags, QDDriverThreadContext& ctx);
  void ReadCapabilities(foundation::CError& error, QDDriverThreadContext& ctx);
  void SetUpDriverLog(QDDriverThreadContext& ctx);
  void RunFirmwareCheck(int64_t mode, foundation::CError& error);
  void FailConstruction(const foundation::CError& error, QDDriverThreadContext& ctx);
  void ReleaseKernelSystem(QDDriverThreadContext* ctx);
  uint64_t SystemRequest(uint64_t word, foundation::CError& error, QDDriverThreadContext& ctx,
                         kernel::SysRequest* reply = nullptr);
  int64_t InquireBoard(int64_t requested, int64_t type, int64_t* out, QDDriverThreadContext& ctx);
  // The GenICam layer's answer for a type the kernel does not serve.
  static int64_t FallBack(const std::function<int64_t()>& layer,
                          const foundation::CError& kernelError, QDDriverThreadContext& ctx);
  int64_t ControlBoard(int64_t type, const OperationArgs& args, int64_t value,
                       QDDriverThreadContext& ctx);
  int64_t SetHookThreads(int64_t value, QDDriverThreadContext& ctx);
  // I/O space of the board: direction 1 reads, 2 writes.
  void IoCommand(uint32_t direction, uint32_t address, uint32_t count, void* data,
                 QDDriverThreadContext& ctx);
  SystemHookElement* HookElement(int64_t type);

  frame::SysInfoBlock info_{};
  uint64_t capabilityWord_ = 0;
  uint64_t capabilityReport_ = 0;
  uint64_t systemObjectId_ = 0;
  std::array<SystemHookElement, 3> hooks_{{{2244}, {2372}, {0x8B000}}};
  std::array<uint32_t, kChannels> firstFieldStrips_{};
  std::array<uint32_t, kChannels> secondFieldStrips_{};
  std::array<uint32_t, kChannels> stripRatio_{};
  firmware::CBoardJtagPort* jtagPort_ = nullptr;
};

}  // namespace zor::board
