#include "driver/frameworkuser/system/qdbasesystem.h"

#include <array>
#include <memory>

#include "driver/frameworkuser/context/qdzorthreadcontext.h"

namespace zor::frame {

#define ZOR_SYSTEM_OP_DEFINITION(name)                                                \
  int64_t QDBaseSystem::name(const OperationArgs& args, QDDriverThreadContext& ctx) { \
    return Unserved(SystemOp::name, args, ctx);                                       \
  }
ZOR_NAMED_SYSTEM_OPERATIONS(ZOR_SYSTEM_OP_DEFINITION)
#undef ZOR_SYSTEM_OP_DEFINITION

int64_t QDBaseSystem::ThreadAllocCurrent(const OperationArgs& args, QDDriverThreadContext& ctx) {
  const int64_t type = args.Int(0);
  if (type != kThreadObject && type != kThreadObjectAlternate) return -1;
  auto* out = args.Pointer<std::unique_ptr<QDZorThreadContext>>(3);
  if (out == nullptr) return -1;
  *out = std::make_unique<QDZorThreadContext>(ctx, args.Int(1));
  return 1;
}

int64_t QDBaseSystem::Unserved(SystemOp, const OperationArgs&, QDDriverThreadContext&) {
  return -1;
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
