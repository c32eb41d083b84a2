// Identity of each operation of the system interface.
#pragma once

#include <cstdint>

// The operations that a system class may serve by name, in interface order:
// those before the thread and event services, the services, and the rest.
#define ZOR_SYSTEM_OPERATIONS_BEFORE_THREADS(X) \
  X(SysFree)                                    \
  X(SysInquire)                                 \
  X(SysControl)                                 \
  X(SysIoCommand)                               \
  X(SysHookFunction)                            \
  X(SysGetHookInfo)                             \
  X(BufChild)                                   \
  X(BufChildBand)                               \
  X(BufPassToKernelAndHost)                     \
  X(BufControl)                                 \
  X(BufPassToHost)                              \
  X(BufTransfer)                                \
  X(BufCopyClip)                                \
  X(BufCopy)                                    \
  X(BufCopyRegion)                              \
  X(BufAlloc)                                   \
  X(BufFree)                                    \
  X(BufGetRegion)                               \
  X(BufGetBand)                                 \
  X(BufGetBandRegion)                           \
  X(BufInquire)                                 \
  X(BufPutRegion)                               \
  X(BufPutBand)                                 \
  X(BufPutBandRegion)

#define ZOR_THREAD_SYSTEM_OPERATIONS(X) \
  X(ThreadAlloc)                        \
  X(ThreadControl)                      \
  X(ThreadFree)                         \
  X(ThreadInquire)                      \
  X(ThreadWait)                         \
  X(ThreadWaitMultiple)

#define ZOR_SYSTEM_OPERATIONS_AFTER_THREADS(X) \
  X(DigGrabContinuous)                         \
  X(DigHalt)                                   \
  X(DigGrabAbort)                              \
  X(DigControlEntry)                           \
  X(DigAlloc)                                  \
  X(DigFree)                                   \
  X(DigGrab)                                   \
  X(DigProcess)                                \
  X(DigGetHookInfo)                            \
  X(DigChannel)                                \
  X(DigReference)                              \
  X(DigInquire)                                \
  X(DigGrabWait)                               \
  X(DigHookFunction)                           \
  X(ControlFeature)                            \
  X(InquireFeature)

#define ZOR_NAMED_SYSTEM_OPERATIONS(X)    \
  ZOR_SYSTEM_OPERATIONS_BEFORE_THREADS(X) \
  ZOR_THREAD_SYSTEM_OPERATIONS(X)         \
  ZOR_SYSTEM_OPERATIONS_AFTER_THREADS(X)

namespace zor::frame {

enum class SystemOp : uint32_t {
#define ZOR_SYSTEM_OP_ENUMERATOR(name) name,
  ZOR_NAMED_SYSTEM_OPERATIONS(ZOR_SYSTEM_OP_ENUMERATOR)
#undef ZOR_SYSTEM_OP_ENUMERATOR
      NamedCount
};

// Operations that no class serves by name are told apart by the first opcode
// that reaches them and, where an opcode reaches several, by a variant number.
inline constexpr uint32_t kUnnamedOpBase = 0x10000;

constexpr SystemOp UnnamedOp(uint16_t opcode, uint32_t variant = 0) {
  return static_cast<SystemOp>(kUnnamedOpBase | (variant << 20) | opcode);
}

// Variants of the operations that an opcode splits.
inline constexpr uint32_t kPlainVariant = 0;
inline constexpr uint32_t kExtendedVariant = 1;
inline constexpr uint32_t kNeitherInt64 = 0;
inline constexpr uint32_t kFirstInt64 = 1;
inline constexpr uint32_t kSecondInt64 = 2;
inline constexpr uint32_t kBothInt64 = 3;

}  // namespace zor::frame
