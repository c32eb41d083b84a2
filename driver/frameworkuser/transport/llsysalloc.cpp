// LLsysAlloc and LLsysFree: the kernel-side system's allocation record, defaults and release.
#include "driver/frameworkuser/transport/llsysalloc.h"

#include <cstring>

#include "driver/foundation/registrykey.h"
#include "driver/foundation/registrylocations.h"
#include "driver/frameworkuser/context/escapedexception.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/os/core/handle.h"
#include "platform/os/sync/thread.h"

namespace zor::frame {
namespace {

using errorcode::kUnexpectedError;
constexpr uint64_t kDeviceNotOpen = 1;
using errorcode::kVersionError;
constexpr uint64_t kShortReply = 2;
using errorcode::kAspmRefusal;
using foundation::kUserRuntimeLocation;

// Defaults by offset in the allocation record; the block starts at 0x6C.
struct SettingDefault {
  uint32_t recordOffset;
  uint32_t value;
};
constexpr SettingDefault kSettingDefaults[] = {
    {0x70, 16},  {0x74, 16},  {0x78, 1000},        {0x7C, 20},         {0x8C, 0x20000},
    {0xF0, 800}, {0xF4, 300}, {0xF8, 128},         {0xFC, 32},         {0x100, 300},
    {0x104, 20}, {0x108, 20}, {0x10C, 1},          {0x110, 0x1000000}, {0x114, 4096},
    {0x118, 32}, {0x11C, 1},  {0x124, 0x10000000},
};
constexpr uint32_t kSettingsOffset = 0x6C;

void RememberAspmRefusal() {
  foundation::CRegistryKey key(kUserRuntimeLocation, L"Controls\\ZORConfig\\", true);
  if (key.IsOpen()) key.WriteDword(L"ASPMPageRequest", 1);
}

// The exports are C functions: what escapes the request becomes its error, on the caller's
// record and on the thread's context.
void FailRequest(foundation::CError& error, QDDriverThreadContext* ctx) noexcept {
  const EscapedException escaped = DescribeCurrentException();
  error.SetError(static_cast<uint64_t>(escaped.code), static_cast<uint64_t>(escaped.subCode));
  if (ctx != nullptr) RecordException(*ctx, escaped);
}

}  // namespace

SysSettingsBlock DefaultSysSettings() {
  SysSettingsBlock block{};
  for (const SettingDefault& entry : kSettingDefaults) {
    std::memcpy(block.bytes + (entry.recordOffset - kSettingsOffset), &entry.value, 4);
  }
  return block;
}

uint32_t SettingWord(const SysSettingsBlock& block, std::size_t offset) {
  uint32_t word = 0;
  if (offset + sizeof(word) <= sizeof(block.bytes)) std::memcpy(&word, block.bytes + offset, 4);
  return word;
}

void LLsysAllocate(uint64_t callerWord1, uint64_t callerWord2, LLsysHandlePair& pair,
                   SysSettingsBlock* settings, SysInfoBlock* info, foundation::CError& error,
                   QDDriverThreadContext* ctx) {
  if (pair.device == kernel::kNoHandle) {
    Raise(error, ctx);
    return;
  }
  kernel::SysAllocRequest record{};
  record.header = FreshHeader(error);
  record.header.objectId = callerWord1;
  record.header.deviceHandle = pair.device;
  record.processId = os::GetCurrentProcessId();
  record.callerWord = callerWord2;
  const SysSettingsBlock defaults = DefaultSysSettings();
  std::memcpy(record.settings, defaults.bytes, sizeof(record.settings));
  const uint32_t bytes =
      SendKernelRequest(pair.device, kernel::kSysAlloc, &record, sizeof(record), ctx);
  if (bytes != sizeof(record)) {
    error.SetError(kVersionError, kShortReply);
  } else {
    MergeStatus(error, record.header.status);
  }
  if (error.errorSet != 0 && error.code == kAspmRefusal && error.subCode == 1) {
    RememberAspmRefusal();
  }
  if (error.errorSet == 0) {
    pair.systemId = record.systemId;
    if (settings != nullptr) std::memcpy(settings->bytes, record.settings, sizeof(record.settings));
    if (info != nullptr) std::memcpy(info->bytes, record.info, sizeof(record.info));
  } else {
    // Nobody else would close it: the caller only sees a closed device.
    if (pair.device != 0) os::CloseHandle(os::HandleFromValue(pair.device));
    pair.device = 0;
  }
  Raise(error, ctx);
}

void LLsysRelease(LLsysHandlePair& pair, uint64_t objectId, foundation::CError& error,
                  QDDriverThreadContext* ctx) {
  if (pair.device == 0) {
    Raise(error, ctx);
    return;
  }
  bool failed = pair.device == kernel::kNoHandle;
  if (!failed) {
    const bool ownObject = objectId == 0;
    const uint64_t closeId =
        ownObject ? LLsysObjectAlloc(pair, kernel::kObjectKindPlain, error, ctx) : objectId;
    kernel::HeaderOnlyRequest record{};
    record.header = FreshHeader(error);
    record.header.objectId = closeId;
    LLsysRequest(pair, kernel::kSysClose, record, error, ctx);
    if (ownObject && record.header.status.errorSet == 0 && closeId != 0) {
      LLsysObjectFree(pair, closeId, error, ctx);
    }
    failed = !os::CloseHandle(os::HandleFromValue(pair.device));
  }
  if (failed) error.SetError(kUnexpectedError, kDeviceNotOpen);
  pair.device = 0;
  Raise(error, ctx);
}

}  // namespace zor::frame

void LLsysAlloc(uint64_t callerWord1, uint64_t callerWord2, zor::frame::LLsysHandlePair* pair,
                void* settings, void* info, zor::foundation::CError* error,
                zor::frame::QDDriverThreadContext* ctx) noexcept {
  if (pair == nullptr) return;
  zor::foundation::CError local;
  zor::foundation::CError& target = error != nullptr ? *error : local;
  try {
    zor::frame::LLsysAllocate(callerWord1, callerWord2, *pair,
                              static_cast<zor::frame::SysSettingsBlock*>(settings),
                              static_cast<zor::frame::SysInfoBlock*>(info), target, ctx);
  } catch (...) {
    zor::frame::FailRequest(target, ctx);
    // Refused, as by the kernel: the caller only sees a closed device.
    if (pair->device != 0 && pair->device != zor::kernel::kNoHandle) {
      os::CloseHandle(os::HandleFromValue(pair->device));
    }
    pair->device = 0;
  }
}

void LLsysFree(zor::frame::LLsysHandlePair* pair, uint64_t objectId, zor::foundation::CError* error,
               zor::frame::QDDriverThreadContext* ctx) noexcept {
  if (pair == nullptr) return;
  zor::foundation::CError local;
  zor::foundation::CError& target = error != nullptr ? *error : local;
  try {
    zor::frame::LLsysRelease(*pair, objectId, target, ctx);
  } catch (...) {
    zor::frame::FailRequest(target, ctx);
  }
}
