// QDBaseSystem: the root system's identity, kernel device, power request and unserved operations.
#include "driver/frameworkuser/system/qdbasesystem.h"

#include <array>

#include "driver/foundation/runtimeconfig.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/host/hostservices.h"
#include "platform/os/core/handle.h"
#include "platform/os/device/device.h"
#include "platform/os/power/power.h"
#include "platform/os/power/security.h"

namespace zor::frame {
namespace {

constexpr uint32_t kPowerRequest = 0x80000041;  // continuous, system and away mode required
constexpr uint32_t kPowerRequestFallback = 0x80000001;
constexpr uint32_t kPowerRelease = 0x80000000;
using errorcode::kVersionError;
constexpr int64_t kVersionErrorSub = 2;
constexpr const wchar_t* kRevisionLine = L"Revision     :  10.35.1105";
constexpr int64_t kRevisionLabelLength = 16;

bool PowerRequestWanted() {
  return foundation::CRuntimeConfig::Instance()->GetInt(foundation::CRuntimeConfig::kDriverSection,
                                                        L"RegisterPowerRequest", 1) != 0;
}

}  // namespace

#define ZOR_SYSTEM_OP_DEFINITION(name)                                                \
  int64_t QDBaseSystem::name(const OperationArgs& args, QDDriverThreadContext& ctx) { \
    return Unserved(SystemOp::name, args, ctx);                                       \
  }
// The thread and event services are served here (threadservices.cpp).
ZOR_SYSTEM_OPERATIONS_BEFORE_THREADS(ZOR_SYSTEM_OP_DEFINITION)
ZOR_SYSTEM_OPERATIONS_AFTER_THREADS(ZOR_SYSTEM_OP_DEFINITION)
#undef ZOR_SYSTEM_OP_DEFINITION

QDBaseSystem::QDBaseSystem() : QDBaseSystem(L"", 0, Q_DEFAULT, nullptr, nullptr) {}

QDBaseSystem::QDBaseSystem(const wchar_t* name, int64_t deviceNumber, int64_t initWord,
                           const wchar_t* wideName, int64_t* outWord)
    : foundation::CLogProvider(static_cast<uint32_t>(deviceNumber) & 0x3F, 2, 108, 0),
      deviceNumber_(deviceNumber),
      initWord_(initWord),
      name_(name != nullptr ? name : L""),
      wideName_(wideName != nullptr ? wideName : L"") {
  const foundation::CZORString line(kRevisionLine);
  revision_ = line.SubString(kRevisionLabelLength, line.Length() - kRevisionLabelLength);
  if (outWord != nullptr) *outWord = 0;
  MakePowerRequest();
}

QDBaseSystem::~QDBaseSystem() {
  // A host system given from outside stays with whoever gave it.
  WithdrawPowerRequest();
  if (hostSystemCache_ != 0) HostSysFree(hostSystemCache_);
  // The host frees the thread objects it holds for this system itself.
  for (auto* list : {&threadObjects_, &detachedContexts_}) {
    for (auto& context : *list) context->SetHostThreadId(0);
  }
  for (const auto& event : events_) os::CloseHandle(os::HandleFromValue(event->eventHandle_));
}

int64_t QDBaseSystem::Unserved(SystemOp, const OperationArgs&, QDDriverThreadContext&) {
  return -1;
}

void QDBaseSystem::MakePowerRequest() const {
  if (!PowerRequestWanted()) return;
  if (os::SetThreadExecutionState(kPowerRequest) == 0) {
    os::SetThreadExecutionState(kPowerRequestFallback);
  }
}

void QDBaseSystem::WithdrawPowerRequest() const {
  if (PowerRequestWanted()) os::SetThreadExecutionState(kPowerRelease);
}

void QDBaseSystem::FormatDeviceName(const wchar_t* name) {
  devicePath_.Format(L"\\\\.\\%s_%d", name, static_cast<int>(deviceNumber_));
}

void QDBaseSystem::OpenDevice(const wchar_t* name, QDDriverThreadContext& ctx) {
  if (handles_.device != kernel::kNoHandle) return;
  FormatDeviceName(name);
  const os::Handle handle = os::CreateFile(devicePath_.CStr(), os::GENERIC_READ | os::GENERIC_WRITE,
                                           os::FILE_SHARE_READ | os::FILE_SHARE_WRITE,
                                           os::OPEN_EXISTING, os::FILE_FLAG_OVERLAPPED);
  handles_.device = os::HandleValue(handle);
  if (handle == os::INVALID_HANDLE_VALUE) return;
  kernel::DriverVersionRequest reply{};
  const uint32_t bytes = ctx.DeviceIoControl(handle, kernel::ControlCode(kernel::kGetDriverVersion),
                                             nullptr, 0, &reply, sizeof(reply));
  if (bytes != sizeof(reply)) {
    ctx.SetError(kVersionError, kVersionErrorSub, 0, 0);
    return;
  }
  if (reply.version == kernel::kDriverVersion) return;
  const bool checked =
      foundation::CRuntimeConfig::Instance()->GetInt(foundation::CRuntimeConfig::kDriverSection,
                                                     L"CheckDriverAndDLLVersion", 1) != 0;
  // First error wins, like every other error of the command.
  if (checked) ctx.SetError(kVersionError, kVersionErrorSub, 0, 0);
}

int64_t QDBaseSystem::GetHostSystemId(int64_t flags) {
  if (externalHostSystemId_ != Q_DEFAULT) return externalHostSystemId_;
  foundation::ScopedLock lock(objectsLock_);
  if (hostSystemCache_ == 0) {
    QID id = 0;
    HostSysAlloc(Q_DEFAULT, L"Q_SYSTEM_HOST", flags, Q_DEFAULT, &id);
    hostSystemCache_ = id;
  }
  return hostSystemCache_;
}

bool QDBaseSystem::IsUserAdmin() {
  static const bool admin = os::IsUserAdministrator();
  return admin;
}

QDZorThreadContext* QDBaseSystem::CallerContext(QDDriverThreadContext& ctx) const {
  QDZorThreadContext* current = ctx.Current();
  if (current != nullptr && current->SystemIndex() == index_) return current;
  if (index_ == 0) return nullptr;
  return ctx.Driver().FindSystemItem(ctx, index_);
}

uint64_t QDBaseSystem::CallerKernelId(QDDriverThreadContext& ctx) const {
  const QDZorThreadContext* context = CallerContext(ctx);
  return context != nullptr ? context->KernelObjectId() : 0;
}

void QDBaseSystem::KeepDetachedContexts(std::vector<std::unique_ptr<QDZorThreadContext>> contexts) {
  foundation::ScopedLock lock(objectsLock_);
  for (std::unique_ptr<QDZorThreadContext>& context : contexts) {
    detachedContexts_.push_back(std::move(context));
  }
}

SystemMethod MethodOf(SystemOp op) {
  static constexpr std::array<SystemMethod, static_cast<std::size_t>(SystemOp::NamedCount)>
      kMethods = {
#define ZOR_SYSTEM_OP_METHOD(name) &QDBaseSystem::name,
          ZOR_NAMED_SYSTEM_OPERATIONS(ZOR_SYSTEM_OP_METHOD)
#undef ZOR_SYSTEM_OP_METHOD
      };
  const auto index = static_cast<std::size_t>(op);
  return index < kMethods.size() ? kMethods[index] : nullptr;
}

}  // namespace zor::frame
