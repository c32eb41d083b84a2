// The driver's forwarders: each looks the addressed system up and calls one
// of its operations, without holding the system list's lock during the call.
#include <algorithm>
#include <vector>

#include "driver/frameworkuser/dispatch/opcodetable.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/driver/qddevicedriver.h"
#include "driver/frameworkuser/records/bufferattributes.h"
#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

// Argument positions and flags of the buffer allocation.
constexpr std::size_t kBandCountArg = 0;
constexpr std::size_t kAttributeArg = 4;
constexpr std::size_t kAllocationFlagsArg = 5;
constexpr std::size_t kHostAddressArg = 7;
constexpr int64_t kAddressGivenAsIs = 0x8000;
constexpr int64_t kSameAddressForEveryBand = 1 << 21;
constexpr int64_t kOneAddress = 1 << 23;
constexpr int64_t kMaxBands = 16;

// The per-band address list that replaces the caller's address argument.
std::vector<uint64_t> BandAddresses(const OperationArgs& args) {
  const int64_t flags = args.Int(kAllocationFlagsArg);
  const auto attribute = static_cast<uint64_t>(args.Int(kAttributeArg));
  const int64_t address = args.Int(kHostAddressArg);
  // Packed bands, and an image of a kind, lie in one block.
  const bool one = (flags & kOneAddress) != 0 || (attribute & bufattr::kPacked) != 0 ||
                   (attribute & bufattr::kKindImage) == bufattr::kKindImage;
  // A band count outside what a buffer can have is not trusted to size a read.
  const int64_t count = one ? 1 : std::clamp<int64_t>(args.Int(kBandCountArg), 1, kMaxBands);
  std::vector<uint64_t> addresses(static_cast<std::size_t>(count));
  const auto* given = reinterpret_cast<const uint64_t*>(address);
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    addresses[i] =
        (flags & kSameAddressForEveryBand) != 0 ? static_cast<uint64_t>(address) : given[i];
  }
  return addresses;
}

OperationArgs WithAddressList(const OperationArgs& args, const std::vector<uint64_t>& list) {
  OperationArgs replaced;
  for (std::size_t i = 0; i < args.Count(); ++i) {
    if (i == kHostAddressArg) {
      replaced.Push(reinterpret_cast<intptr_t>(list.data()));
    } else {
      replaced.Push(args.Value(i));
    }
  }
  return replaced;
}

}  // namespace

int64_t QDDeviceDriver::CallSystem(QDBaseSystem& system, SystemOp op, const OperationArgs& args,
                                   QDDriverThreadContext& ctx) {
  if (const SystemMethod method = MethodOf(op)) return (system.*method)(args, ctx);
  return system.Unserved(op, args, ctx);
}

int64_t QDDeviceDriver::ForwardGuarded(SystemOp op, int64_t systemIndex, const OperationArgs& args,
                                       QDDriverThreadContext& ctx) {
  const SystemRef system = PinSystem(systemIndex, ctx);
  if (!system || !system->GuardByte()) return -1;
  const QDZorThreadContext* current = ctx.Current();
  if (current == nullptr || !current->GuardFlag()) return -1;
  return CallSystem(*system, op, args, ctx);
}

int64_t QDDeviceDriver::ForwardOwnPlainVariant(uint16_t opcode, int64_t systemIndex,
                                               const OperationArgs& args,
                                               QDDriverThreadContext& ctx) {
  return ForwardGuarded(UnnamedOp(opcode, kPlainVariant), systemIndex, args, ctx);
}

int64_t QDDeviceDriver::Forward(const OpcodeEntry& entry, int64_t systemIndex,
                                const OperationArgs& args, QDDriverThreadContext& ctx) {
  switch (entry.route) {
    case Route::Guarded:
      return ForwardGuarded(entry.op, systemIndex, args, ctx);
    case Route::DriverForward:
      return ForwardOwnPlainVariant(entry.opcode, systemIndex, args, ctx);
    case Route::NoOperation: {
      foundation::ScopedLock lock(systems_.Lock());
      return -1;
    }
    default:
      break;
  }
  const SystemRef system = PinSystem(systemIndex, ctx);
  if (!system) return -1;
  switch (entry.route) {
    case Route::DigitizerAllocation: {
      foundation::ScopedLock lock(DigitizerAllocationLock());
      return system->DigAlloc(args, ctx);
    }
    case Route::GrabChooser:
      return args.Int(2) == -1 ? system->DigGrabContinuous(args, ctx) : system->DigGrab(args, ctx);
    case Route::BufferAllocation: {
      if ((args.Int(kAllocationFlagsArg) & kAddressGivenAsIs) != 0 ||
          args.Int(kHostAddressArg) == 0) {
        return system->BufAlloc(args, ctx);
      }
      const std::vector<uint64_t> addresses = BandAddresses(args);
      return system->BufAlloc(WithAddressList(args, addresses), ctx);
    }
    case Route::ThreadFree: {
      // The object's identity is taken before the system frees it.
      const int64_t id = args.Int(0);
      const void* object =
          id == Q_DEFAULT
              ? static_cast<const void*>(ctx.Current())
              : reinterpret_cast<const void*>(HostInternalInquire(id, Q_DRIVER_DATA, nullptr));
      const int64_t result = system->ThreadFree(args, ctx);
      if (result == 1 && object != nullptr) ReleaseThreadObject(systemIndex, object);
      return result;
    }
    default:
      return CallSystem(*system, entry.op, args, ctx);
  }
}

}  // namespace zor::frame
