// Root of the system classes: every operation answers -1 until a class serves it.
#pragma once

#include <atomic>
#include <cstdint>

#include "driver/frameworkuser/system/operationargs.h"
#include "driver/frameworkuser/system/systemoperation.h"

namespace zor::frame {

class QDDriverThreadContext;

class QDBaseSystem {
 public:
  QDBaseSystem() = default;
  QDBaseSystem(const QDBaseSystem&) = delete;
  QDBaseSystem& operator=(const QDBaseSystem&) = delete;
  virtual ~QDBaseSystem() = default;

#define ZOR_SYSTEM_OP_DECLARATION(name) \
  virtual int64_t name(const OperationArgs& args, QDDriverThreadContext& ctx);
  ZOR_NAMED_SYSTEM_OPERATIONS(ZOR_SYSTEM_OP_DECLARATION)
#undef ZOR_SYSTEM_OP_DECLARATION

  // (object type, system index, init word, out std::unique_ptr<QDZorThreadContext>*): the
  // calling thread's context for this system, made when it first addresses it.
  virtual int64_t ThreadAllocCurrent(const OperationArgs& args, QDDriverThreadContext& ctx);

  // The shared default of every operation that a class does not serve.
  virtual int64_t Unserved(SystemOp op, const OperationArgs& args, QDDriverThreadContext& ctx);

  int64_t Index() const { return index_; }
  void SetIndex(int64_t index) { index_ = index; }
  int64_t HostObjectId() const { return hostObjectId_; }
  void SetHostObjectId(int64_t id) { hostObjectId_ = id; }
  // Guarded operations run only while this is set.
  bool GuardByte() const { return guardByte_; }
  void SetGuardByte(bool set) { guardByte_ = set; }
  // 1 asks for a wait on the thread object at the end of every command.
  int64_t EndOfCommandMode() const { return endOfCommandMode_; }
  void SetEndOfCommandMode(int64_t mode) { endOfCommandMode_ = mode; }
  uint32_t DeviceNumber() const { return deviceNumber_; }
  // True for the one caller that frees this system.
  bool BeginFree() { return !freeing_.exchange(true); }

 protected:
  uint32_t deviceNumber_ = 0;

 private:
  int64_t index_ = 0;
  int64_t hostObjectId_ = 0;
  bool guardByte_ = false;
  int64_t endOfCommandMode_ = 2;
  std::atomic<bool> freeing_{false};
};

// A named operation of the system interface, for the opcode table.
using SystemMethod = int64_t (QDBaseSystem::*)(const OperationArgs&, QDDriverThreadContext&);
// The method of a named operation; null for unnamed ones, which go to Unserved.
SystemMethod MethodOf(SystemOp op);

}  // namespace zor::frame
