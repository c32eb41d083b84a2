// Builds an operation's arguments from the command's slots as its opcode entry says.
#include "driver/frameworkuser/dispatch/argumentbuilder.h"

#include "platform/host/hostservices.h"

namespace zor::frame {
namespace {

// Buffer inquire types that resolve a host buffer id given to a grab.
constexpr int64_t kBufferFlags = 6703;
constexpr int64_t kBufferFlagRedirected = 64;
constexpr int64_t kBufferRedirection = 1192;
constexpr double kDefaultAsDouble = 268435456.0;

int64_t GrabBufferIndex(const QDCommandWrapper& command, int slot) {
  if ((command.Record().params[slot].type & QD_TYPE_HOST_BUFFER) == 0) {
    return command.GetArgPointer(slot);
  }
  int64_t hostId = command.GetArgInteger(slot);
  if ((HostBufInquire(hostId, kBufferFlags, nullptr) & kBufferFlagRedirected) != 0) {
    hostId = HostBufInquire(hostId, kBufferRedirection, nullptr);
  }
  return HostBufInquire(hostId, Q_DRIVER_INDEX, nullptr);
}

// Only a filled slot holding an array of 64-bit integers is read, and only inside its count.
int64_t ArrayWordOf(const QDCommandWrapper& command, int slot, uint8_t element) {
  if (slot >= command.ParamCount()) return 0;
  const QDCommandParam& param = command.Record().params[slot];
  const uint32_t type = param.type & QD_TYPE_MASK;
  if (type != (QD_TYPE_ARRAY | QD_TYPE_INT64) || param.value.pointer == nullptr ||
      param.count <= element) {
    return 0;
  }
  return static_cast<const int64_t*>(param.value.pointer)[element];
}

}  // namespace

OperationArgs BuildArguments(const OpcodeEntry& entry, const QDCommandWrapper& command) {
  OperationArgs args;
  for (uint8_t i = 0; i < entry.argCount; ++i) {
    const ArgSource& source = entry.args[i];
    const int slot = source.slot;
    switch (source.kind) {
      case ArgKind::Value:
        args.Push(command.GetArgInteger(slot));
        break;
      case ArgKind::Id:
        args.Push(command.GetArgPointer(slot));
        break;
      case ArgKind::ByteSize:
        args.Push(command.CommandParamByteSize(slot));
        break;
      case ArgKind::Variant:
        args.Push(command.GetArgVariant(slot));
        break;
      case ArgKind::Integer:
        // An operation that takes an integer truncates a double; NaN gives 0.
        args.Push(command.ArgType(slot) == QD_TYPE_DOUBLE
                      ? TruncateSaturated(command.GetArgDouble(slot), 0)
                      : command.GetArgInteger(slot));
        break;
      case ArgKind::OptionalValue:
        args.Push(command.ParamCount() == slot + 1 ? command.GetArgInteger(slot) : 0);
        break;
      case ArgKind::DoubleOrDefault:
        args.PushDouble(command.ParamCount() == slot + 1 ? command.GetArgDouble(slot)
                                                         : kDefaultAsDouble);
        break;
      case ArgKind::GrabBuffer:
        args.Push(GrabBufferIndex(command, slot));
        break;
      case ArgKind::MinusOne:
        args.Push(-1);
        break;
      case ArgKind::ArrayWord:
        args.Push(ArrayWordOf(command, slot, source.element));
        break;
      case ArgKind::AllValues:
        for (int s = 0; s < command.ParamCount() && s < QD_MAX_PARAMS; ++s) {
          args.Push(command.GetArgInteger(s));
        }
        break;
    }
  }
  return args;
}

int64_t SystemIndexOf(const OpcodeEntry& entry, const QDCommandWrapper& command) {
  return entry.indexSlot == kRecordIndex ? command.SystemIndex()
                                         : command.GetArgPointer(entry.indexSlot);
}

}  // namespace zor::frame
