// The kernel-side system: its allocation and release, also exported for
// programs that talk to the board below the host library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/frameworkuser/transport/llsysrequests.h"

namespace zor::frame {

// The 200-byte settings block that the allocation sends with its defaults
// and the kernel hands back.
struct SysSettingsBlock {
  uint8_t bytes[kernel::kSysSettingsSize];
};
struct SysInfoBlock {
  uint8_t bytes[kernel::kSysInfoSize];
};
// The defaults of the settings block, as the allocation sends them.
SysSettingsBlock DefaultSysSettings();
// The 32-bit word at a byte offset of the block.
uint32_t SettingWord(const SysSettingsBlock& block, std::size_t offset);

// callerWord1: the calling thread's per-system kernel id; callerWord2: the
// allocation flags. A refused allocation closes the device and leaves word 0
// of the pair at 0.
void LLsysAllocate(uint64_t callerWord1, uint64_t callerWord2, LLsysHandlePair& pair,
                   SysSettingsBlock* settings, SysInfoBlock* info, foundation::CError& error,
                   QDDriverThreadContext* ctx);
// Closes the kernel system and the device; objectId 0 asks for a kernel
// object of its own for the close, which is freed again. The caller's object
// is the caller's to free.
void LLsysRelease(LLsysHandlePair& pair, uint64_t objectId, foundation::CError& error,
                  QDDriverThreadContext* ctx);

}  // namespace zor::frame

extern "C" {
// Null arguments are refused (pair) or stand for a local error record and a
// request outside any command (error, context). Nothing escapes them: an exception
// becomes the request's error, and an allocation it ends closes the device as a refused one.
__attribute__((visibility("default"))) void LLsysAlloc(
    uint64_t callerWord1, uint64_t callerWord2, zor::frame::LLsysHandlePair* pair, void* settings,
    void* info, zor::foundation::CError* error, zor::frame::QDDriverThreadContext* ctx) noexcept;
__attribute__((visibility("default"))) void LLsysFree(
    zor::frame::LLsysHandlePair* pair, uint64_t objectId, zor::foundation::CError* error,
    zor::frame::QDDriverThreadContext* ctx) noexcept;
}
