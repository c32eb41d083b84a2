// QDDeviceDriver: the driver object's start, inquire, thread contexts and system alloc and free.
#include "driver/frameworkuser/driver/qddevicedriver.h"

#include <atomic>
#include <new>

#include "driver/foundation/log.h"
#include "driver/foundation/runtimeconfig.h"
#include "driver/foundation/timestamp.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/errortable/errorcodes.h"
#include "platform/host/hostservices.h"

using zor::foundation::CLog;
using zor::foundation::CRuntimeConfig;
using zor::foundation::GetTimeStamp;

namespace zor::frame {
namespace {

using errorcode::kInvalidSystemParameter;
using errorcode::kNoHostMemory;

// Driver inquire types.
constexpr int64_t kInquireVersion = 2159;
constexpr int64_t kInquireFlagOn = 2183;
constexpr int64_t kInquireFlagOff = 2184;
constexpr int64_t kInquireDouble = 15001;

constexpr int64_t kProcessAttach = 0x10000;
constexpr int64_t kProcessDetach = 0x20000;

// The block that the host library keeps for this driver (object 1, type 46).
struct DriverDataBlock {
  uint64_t size = sizeof(DriverDataBlock);
  uint64_t words[7] = {};
};
DriverDataBlock g_driverDataBlock;

std::atomic<int64_t> g_processAttachCount{0};

}  // namespace

QDDeviceDriver::QDDeviceDriver(bool& constructionError) {
  constructionError = false;
  HostInternalControl(1, Q_DRIVER_DATA_BLOCK, reinterpret_cast<QINT64>(&g_driverDataBlock));
  startTimeStamp_ = GetTimeStamp();
  CRuntimeConfig::Instance();
}

QDDeviceDriver::~QDDeviceDriver() {
  ClearThreadContexts();
  retired_.clear();
  CLog::Instance()->FreeBuffer(false);
  CLog::Release();
  CRuntimeConfig::Destroy();
}

int64_t QDDeviceDriver::Inquire(int64_t, int64_t type, int64_t* out) {
  if (out == nullptr) return 1;
  switch (type) {
    case kInquireVersion:
      *out = 1000;
      break;
    case kInquireFlagOn:
      *out = 1;
      break;
    case kInquireFlagOff:
      *out = 0;
      break;
    case kInquireDouble:
      *reinterpret_cast<double*>(out) = inquireDouble_;
      break;
    default:
      break;
  }
  return 1;
}

int64_t QDDeviceDriver::Control(int64_t, int64_t) { return 1; }

int64_t QDDeviceDriver::ProcessAttachCount(int64_t value) {
  if (value == kProcessAttach) {
    if (g_processAttachCount.fetch_add(1) + 1 == 1) OnFirstProcessAttach();
  } else if (value == kProcessDetach) {
    if (g_processAttachCount.fetch_sub(1) == 1) OnLastProcessDetach();
  }
  return 1;
}

QDDriverThreadContext* QDDeviceDriver::AllocThreadContext(uint32_t threadId) {
  return new (std::nothrow) QDDriverThreadContext(*this, threadId);
}

int64_t QDDeviceDriver::AllocateSystem(const OperationArgs& args, QDDriverThreadContext& ctx,
                                       const SystemMaker& make) {
  auto* outIndex = args.Pointer<int64_t>(3);
  if (outIndex != nullptr) *outIndex = 0;
  // Built outside the list's lock: construction talks to the board and may
  // take long, and other threads' commands must not wait for it.
  int64_t startupStatus = 0;
  std::unique_ptr<QDBaseSystem> system = make(args, startupStatus, ctx);
  if (startupStatus != 0) {
    system.reset();
    ctx.SetError(kInvalidSystemParameter, 1, 0, 0);
    return 1;
  }
  if (system == nullptr) {
    ctx.SetError(kNoHostMemory, 1, 0, 0);
    return 1;
  }
  foundation::ScopedLock lock(systems_.Lock());
  const int64_t index = systems_.Add(std::shared_ptr<QDBaseSystem>(std::move(system)));
  if (outIndex != nullptr) *outIndex = index;
  return 1;
}

int64_t QDDeviceDriver::SystemFree(int64_t systemIndex, QDDriverThreadContext& ctx) {
  // A system is freed once, also when two threads free it together; it stays
  // alive until the last command that looked it up is done with it.
  const std::shared_ptr<QDBaseSystem> system = systems_.GetAt(systemIndex);
  if (system == nullptr || !system->BeginFree()) return -1;
  OperationArgs none;
  system->SysFree(none, ctx);
  RetireSystem(systems_.Remove(systemIndex));
  return 1;
}

}  // namespace zor::frame
