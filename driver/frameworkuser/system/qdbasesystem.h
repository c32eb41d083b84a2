// Root of the system classes: identity, the kernel device with its handle
// pair, the power request, and the thread and event services. Every other
// operation answers -1 until a class serves it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/logprovider.h"
#include "driver/foundation/zorstring.h"
#include "driver/frameworkuser/system/ceventinfo.h"
#include "driver/frameworkuser/system/operationargs.h"
#include "driver/frameworkuser/system/systemoperation.h"
#include "driver/frameworkuser/transport/llsysrequests.h"

namespace zor::frame {

class QDDriverThreadContext;
class QDZorThreadContext;

inline constexpr int64_t kDefaultThreadTimeoutSeconds = 20;

class QDBaseSystem : public foundation::CLogProvider {
 public:
  QDBaseSystem();
  // (name text, device number, initialisation word, optional wide name, out word)
  QDBaseSystem(const wchar_t* name, int64_t deviceNumber, int64_t initWord, const wchar_t* wideName,
               int64_t* outWord);
  QDBaseSystem(const QDBaseSystem&) = delete;
  QDBaseSystem& operator=(const QDBaseSystem&) = delete;
  ~QDBaseSystem() override;

#define ZOR_SYSTEM_OP_DECLARATION(name) \
  virtual int64_t name(const OperationArgs& args, QDDriverThreadContext& ctx);
  ZOR_NAMED_SYSTEM_OPERATIONS(ZOR_SYSTEM_OP_DECLARATION)
#undef ZOR_SYSTEM_OP_DECLARATION

  // (object type, system index, init word, out std::unique_ptr<QDZorThreadContext>*):
  // the calling thread's context for this system, made when it first addresses it.
  virtual int64_t ThreadAllocCurrent(const OperationArgs& args, QDDriverThreadContext& ctx);

  // The shared default of every operation that a class does not serve.
  virtual int64_t Unserved(SystemOp op, const OperationArgs& args, QDDriverThreadContext& ctx);

  // Device path "\\.\<name>_<number>".
  virtual void FormatDeviceName(const wchar_t* name);
  // Opens the kernel device and checks the kernel driver's version; a failed
  // open leaves the handle all ones and records nothing.
  void OpenDevice(const wchar_t* name, QDDriverThreadContext& ctx);
  // The host system given from outside, else one of the host's own, made once.
  int64_t GetHostSystemId(int64_t flags);
  int64_t GetHostObjectId() const { return hostObjectId_; }
  static bool IsUserAdmin();

  int64_t Index() const { return index_; }
  void SetIndex(int64_t index) { index_ = index; }
  int64_t HostObjectId() const { return hostObjectId_; }
  void SetHostObjectId(int64_t id) { hostObjectId_ = id; }
  // Guarded operations run only while this is set.
  bool GuardByte() const { return guardByte_; }
  void SetGuardByte(bool set) { guardByte_ = set; }
  // The thread mode (1804): 1 asks for a wait on the thread object at the end
  // of every command.
  int64_t EndOfCommandMode() const { return endOfCommandMode_; }
  void SetEndOfCommandMode(int64_t mode) { endOfCommandMode_ = mode; }
  uint32_t DeviceNumber() const { return static_cast<uint32_t>(deviceNumber_); }
  // True for the one caller that frees this system.
  bool BeginFree() { return !freeing_.exchange(true); }
  bool Freeing() const { return freeing_.load(); }

  const LLsysHandlePair& Handles() const { return handles_; }
  const foundation::CZORString& DevicePath() const { return devicePath_; }
  const foundation::CZORString& Revision() const { return revision_; }
  int64_t InitWord() const { return initWord_; }
  int64_t ThreadTimeout() const { return threadTimeout_; }
  void SetThreadTimeout(int64_t seconds) { threadTimeout_ = seconds; }
  int64_t ExternalHostSystemId() const { return externalHostSystemId_; }
  void SetExternalHostSystemId(int64_t id) { externalHostSystemId_ = id; }

  // The calling thread's per-system context of this system, and its kernel id
  // (0 when it has none).
  QDZorThreadContext* CallerContext(QDDriverThreadContext& ctx) const;
  uint64_t CallerKernelId(QDDriverThreadContext& ctx) const;
  // Keeps the per-system contexts that a system free took from their
  // threads until no command can use them any more: until this system goes.
  void KeepDetachedContexts(std::vector<std::unique_ptr<QDZorThreadContext>> contexts);

 protected:
  LLsysHandlePair handles_;
  int64_t deviceNumber_ = 0;

 private:
  void MakePowerRequest() const;
  void WithdrawPowerRequest() const;
  // Thread objects and events.
  enum class ObjectKind { kNone, kEvent, kThread };
  struct Target {
    ObjectKind kind = ObjectKind::kNone;
    CEventInfo* event = nullptr;
    QDZorThreadContext* thread = nullptr;
  };
  Target FindTarget(int64_t id, QDDriverThreadContext& ctx) const;
  int64_t AllocEvent(int64_t initWord, int64_t* out, QDDriverThreadContext& ctx);
  std::unique_ptr<QDZorThreadContext> MakeThreadContext(int64_t systemIndex,
                                                        QDDriverThreadContext& ctx);
  int64_t AllocHostThread(QDZorThreadContext& context);
  void ControlEvent(const CEventInfo& event, int64_t type, int64_t value,
                    QDDriverThreadContext& ctx);
  // The thread-object controls the driver serves itself; false for one the kernel object takes.
  bool ServeThreadControl(QDZorThreadContext& thread, int64_t type, int64_t value,
                          QDDriverThreadContext& ctx);
  int64_t WaitThreadObject(QDZorThreadContext& context, int64_t timeout,
                           QDDriverThreadContext& ctx);
  int64_t WaitEvent(const CEventInfo& event, int64_t kind, int64_t timeout,
                    QDDriverThreadContext& ctx);
  // The kernel ids of the events a multiple wait names; false after recording the error.
  bool CollectWaitEvents(const int64_t* ids, int64_t count,
                         kernel::ThreadWaitMultipleRequest& record,
                         QDDriverThreadContext& ctx) const;
  int64_t SendWaitMultiple(kernel::ThreadWaitMultipleRequest& record, int64_t count, int64_t word,
                           QDDriverThreadContext& ctx);
  std::unique_ptr<QDZorThreadContext> TakeThreadObject(QDZorThreadContext* context);

  foundation::CZORString devicePath_;
  foundation::CZORString revision_;
  int64_t hostSystemCache_ = 0;
  int64_t initWord_ = 0;
  int64_t hostObjectId_ = 0;
  bool guardByte_ = false;
  int64_t index_ = 0;
  int64_t endOfCommandMode_ = 2;
  int64_t externalHostSystemId_ = 0x10000000;
  int64_t threadTimeout_ = kDefaultThreadTimeoutSeconds;
  foundation::CZORString name_;
  std::wstring wideName_;
  std::atomic<bool> freeing_{false};
  // Objects the host holds by pointer; owned here so that none outlives the
  // system. objectsLock_ guards the three lists; taken after the driver's global lock, with
  // only the host's object-registry lock under it.
  foundation::Ranked<std::mutex, foundation::LockId::kSystemObjects> objectsLock_;
  std::vector<std::unique_ptr<CEventInfo>> events_ ZOR_GUARDED_BY(objectsLock_);
  std::vector<std::unique_ptr<QDZorThreadContext>> threadObjects_ ZOR_GUARDED_BY(objectsLock_);
  std::vector<std::unique_ptr<QDZorThreadContext>> detachedContexts_ ZOR_GUARDED_BY(objectsLock_);
};

// A named operation of the system interface, for the opcode table.
using SystemMethod = int64_t (QDBaseSystem::*)(const OperationArgs&, QDDriverThreadContext&);
// The method of a named operation; null for unnamed ones, which go to Unserved.
SystemMethod MethodOf(SystemOp op);

}  // namespace zor::frame
