// The driver object: the list of allocated systems, the map of thread
// contexts, the driver-level operations and the forwarders to the systems.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qdinfolist.h"
#include "driver/frameworkuser/driver/systemref.h"
#include "driver/frameworkuser/errortable/messagetable.h"
#include "driver/frameworkuser/system/qdbasesystem.h"

namespace zor::frame {

struct OpcodeEntry;

class QDDeviceDriver {
 public:
  explicit QDDeviceDriver(bool& constructionError);
  QDDeviceDriver(const QDDeviceDriver&) = delete;
  QDDeviceDriver& operator=(const QDDeviceDriver&) = delete;
  virtual ~QDDeviceDriver();

  // Driver inquire: writes the answer of a known type to *out; returns 1.
  virtual int64_t Inquire(int64_t object, int64_t type, int64_t* out);
  virtual int64_t Control(int64_t type, int64_t value);
  // Deletes the calling thread's context (the host's thread-exit notice).
  virtual int64_t FreeThreadContext(int64_t systemIndex);
  virtual void OnFirstProcessAttach() {}
  virtual void OnLastProcessDetach() {}
  // (descriptor, number, init flag, int64_t* out index, extra): the new
  // system's index goes to the out index, 0 when it could not be made.
  virtual int64_t SystemAlloc(const OperationArgs& args, QDDriverThreadContext& ctx) = 0;
  virtual int64_t SystemFree(int64_t systemIndex, QDDriverThreadContext& ctx);
  // The driver's own guarded forward of the plain variant of opcode 0x1A01, 0x1A05 or 0x1A09,
  // to the system operation that no class serves.
  virtual int64_t ForwardOwnPlainVariant(uint16_t opcode, int64_t systemIndex,
                                         const OperationArgs& args, QDDriverThreadContext& ctx);
  virtual QDDriverThreadContext* AllocThreadContext(uint32_t threadId);
  virtual int64_t GetErrorBase() const { return kFirstErrorCode; }

  // 0x10000 counts a process attach, 0x20000 a detach; returns 1.
  int64_t ProcessAttachCount(int64_t value);

  // Thread contexts (all under the global driver lock).
  QDDriverThreadContext* GetThreadContext(int64_t systemIndex);
  QDZorThreadContext* GetSystemThreadContext(QDDriverThreadContext& ctx, int64_t systemIndex);
  QDZorThreadContext* FindSystemItem(QDDriverThreadContext& ctx, int64_t systemIndex);
  void SetSystemThreadContext(QDDriverThreadContext& ctx, int64_t systemIndex,
                              QDZorThreadContext* context);
  // System free while other threads may still be inside a command on it:
  // every thread gives up its per-system context of that system, which is
  // handed back unfreed for the system to keep until it is deleted.
  std::vector<std::unique_ptr<QDZorThreadContext>> DetachThreadContexts(int64_t systemIndex);
  // The calling thread's context, or null; its current system stays as it is.
  QDDriverThreadContext* CallingThreadContext() const;
  // A thread or event object of a system is about to be freed: no thread
  // context may keep it as its current or selected context.
  void ReleaseThreadObject(int64_t systemIndex, const void* object);
  void ClearThreadContexts();
  // Frees the per-system contexts of a thread context that is being deleted.
  void FreeSystemItems(QDDriverThreadContext& ctx);
  std::size_t ThreadContextCount() const;

  // Forwarders: look the system up, then call its operation without the lock.
  int64_t Forward(const OpcodeEntry& entry, int64_t systemIndex, const OperationArgs& args,
                  QDDriverThreadContext& ctx);
  int64_t ForwardGuarded(SystemOp op, int64_t systemIndex, const OperationArgs& args,
                         QDDriverThreadContext& ctx);

  // Writes the per-opcode timing report to the debugger output.
  void PrintPerformanceReport(double ticksPerSecond, int64_t sleepTicks);

  QDInfoList<QDBaseSystem>& Systems() { return systems_; }
  // The system at index for a call of the calling thread's running command.
  SystemRef PinSystem(int64_t index, QDDriverThreadContext& ctx);
  // Deletes the freed systems that no thread has pinned any more.
  void ReclaimRetiredSystems();
  uint64_t StartTimeStamp() const { return startTimeStamp_; }

 protected:
  // Builds a system outside the list's lock; a non-zero status means it failed.
  using SystemMaker = std::function<std::unique_ptr<QDBaseSystem>(
      const OperationArgs& args, int64_t& startupStatus, QDDriverThreadContext& ctx)>;
  int64_t AllocateSystem(const OperationArgs& args, QDDriverThreadContext& ctx,
                         const SystemMaker& make);

 private:
  int64_t CallSystem(QDBaseSystem& system, SystemOp op, const OperationArgs& args,
                     QDDriverThreadContext& ctx);
  void ReleaseItem(QDDriverThreadContext& ctx, std::unique_ptr<CSystemZorThreadContext> item);
  void RetireSystem(std::shared_ptr<QDBaseSystem> system);

  QDInfoList<QDBaseSystem> systems_;
  // Freed systems that a command of some thread still uses.
  std::vector<std::shared_ptr<QDBaseSystem>> retired_ ZOR_GUARDED_BY(GlobalDriverLock());
  std::atomic<std::size_t> retiredCount_{0};
  std::map<uint32_t, std::unique_ptr<QDDriverThreadContext>> threadContexts_
      ZOR_GUARDED_BY(GlobalDriverLock());
  uint64_t startTimeStamp_ = 0;
  double inquireDouble_ = 10.0;
};

}  // namespace zor::frame
