// The opcode table, built at compile time: each opcode's route, operation and argument sources.
#include "driver/frameworkuser/dispatch/opcodetable.h"

#include <algorithm>
#include <initializer_list>

#include "interfaces/hostcommand/commandrecord.h"
#include "interfaces/hostcommand/opcodes.h"

namespace zor::frame {
namespace {

constexpr ArgSource V(uint8_t slot) { return {ArgKind::Value, slot}; }
constexpr ArgSource Id(uint8_t slot) { return {ArgKind::Id, slot}; }
constexpr ArgSource Size(uint8_t slot) { return {ArgKind::ByteSize, slot}; }
constexpr ArgSource Variant(uint8_t slot) { return {ArgKind::Variant, slot}; }
constexpr ArgSource kAll{ArgKind::AllValues, 0};
constexpr ArgSource Word(uint8_t slot, uint8_t element) {
  return {ArgKind::ArrayWord, slot, element};
}

using Op = SystemOp;
// The opcodes that the host library's modules name; the others of the table have no name.
using namespace hostcommand;

struct Builder {
  std::array<OpcodeEntry, 400> entries{};
  std::size_t count = 0;

  constexpr void Add(uint16_t opcode, Route route, SystemOp op,
                     std::initializer_list<ArgSource> args, Select select = Select::Any,
                     int8_t indexSlot = kRecordIndex) {
    OpcodeEntry& entry = entries[count++];
    entry.opcode = opcode;
    entry.select = select;
    entry.route = route;
    entry.op = op;
    entry.indexSlot = indexSlot;
    for (const ArgSource& arg : args) entry.args[entry.argCount++] = arg;
  }
  constexpr void Plain(uint16_t opcode, SystemOp op, std::initializer_list<ArgSource> args) {
    Add(opcode, Route::Plain, op, args);
  }
  // An operation that no class serves, reached by its own opcode.
  constexpr void Unnamed(uint16_t opcode, Route route, int8_t indexSlot = kRecordIndex) {
    Add(opcode, route, UnnamedOp(opcode), {kAll}, Select::Any, indexSlot);
  }
  constexpr void UnnamedRange(uint16_t first, uint16_t last, Route route) {
    for (uint32_t opcode = first; opcode <= last; ++opcode) {
      Unnamed(static_cast<uint16_t>(opcode), route);
    }
  }
  // An opcode with an extended and a plain operation.
  constexpr void Variants(uint16_t opcode, Route plainRoute = Route::Guarded) {
    Add(opcode, Route::Guarded, UnnamedOp(opcode, kExtendedVariant), {kAll}, Select::Extended);
    Add(opcode, plainRoute, UnnamedOp(opcode, kPlainVariant), {kAll}, Select::Plain);
  }
  // An opcode of the 0x0A00 group that reaches a buffer opcode's operation.
  constexpr void Alias(uint16_t opcode, uint16_t sharedWith) {
    Add(opcode, Route::Guarded, UnnamedOp(sharedWith), {kAll});
  }
};

constexpr void AddSystemGroup(Builder& b) {
  b.Add(kSysAlloc, Route::SystemAlloc, kNoSystemOp,
        {V(1), V(2), V(3), V(4), {ArgKind::OptionalValue, 5}});
  b.Add(kSysFree, Route::SystemFree, kNoSystemOp, {});
  b.Plain(kSysInquire, Op::SysInquire, {V(1), V(2)});
  b.Plain(kSysControl, Op::SysControl, {V(1), Variant(2)});
  b.Plain(kSysIoCommand, Op::SysIoCommand, {V(0), V(1), V(2), V(3), V(4), V(5), V(6), V(7)});
  b.Plain(kSysHookFunction, Op::SysHookFunction, {V(0), V(1), V(2)});
  b.Plain(kSysGetHookInfo, Op::SysGetHookInfo, {V(1), V(2), V(3), V(4)});
  b.UnnamedRange(0x0009, 0x000D, Route::Plain);
  for (uint16_t opcode : {0x000E, 0x000F}) {
    b.Plain(opcode, UnnamedOp(opcode), {V(1), V(2), V(3), V(4), Size(4)});
  }
  b.Plain(0x0010, UnnamedOp(0x0010), {V(1), V(2), Size(2), V(3), Size(3), V(4)});
}

constexpr void AddBufferGroup(Builder& b) {
  const std::initializer_list<ArgSource> region = {Id(0), V(1), V(2), V(3), V(4), V(5)};
  b.Plain(kBufChild, Op::BufChild, region);
  b.Plain(kBufFree, Op::BufFree, {Id(0)});
  b.Plain(kBufGetRegion, Op::BufGetRegion, region);
  b.Plain(kBufPutRegion, Op::BufPutRegion, region);
  b.Plain(kBufCopy, Op::BufCopy, {Id(0), Id(1)});
  b.Plain(kBufCopyCondition, Op::BufCopy, {Id(0), Id(1), V(2)});
  const std::initializer_list<ArgSource> bandRegion = {Id(0), V(1), V(2), V(3),
                                                       V(4),  V(5), V(6), V(7)};
  b.Plain(kBufGetBandRegion, Op::BufGetBandRegion, bandRegion);
  b.Plain(kBufPutBandRegion, Op::BufPutBandRegion, bandRegion);
  b.Plain(kBufInquire, Op::BufInquire, {Id(0), V(1), V(2)});
  b.Plain(kBufChildBand, Op::BufChildBand, {Id(0), V(1), V(2), V(3), V(4), V(5), V(6)});
  b.Plain(kBufPassToHost, Op::BufPassToHost, {Id(0), V(1), V(2)});
  b.Plain(kBufControl, Op::BufControl, {Id(0), V(1), Variant(2)});
  b.Add(kBufAlloc, Route::BufferAllocation, Op::BufAlloc,
        {V(1), V(2), V(3), V(4), V(5), V(6), V(7), V(8), Id(9)}, Select::Any, 0);
  const std::initializer_list<ArgSource> copyRegion = {Id(0), Id(1), V(2), V(3), V(4),
                                                       V(5),  V(6),  V(7), V(8), V(9)};
  b.Plain(kBufCopyRegion, Op::BufCopyRegion, copyRegion);
  // Sixteen arguments in fourteen slots: the last slot is an array of the
  // transfer type, the operation flag and the extra parameter.
  b.Plain(kBufTransfer, Op::BufTransfer,
          {Id(0), Id(1), V(2), V(3), V(4), V(5), V(6), V(7), V(8), V(9), V(10), V(11), V(12),
           Word(13, 0), Word(13, 1), Word(13, 2)});
  b.Plain(kBufCopyClip, Op::BufCopyClip, {Id(0), Id(1), V(2), V(3)});
  b.Plain(kBufGetBand, Op::BufGetBand, {Id(0), V(1), V(2), V(3)});
  b.Plain(kBufPutBand, Op::BufPutBand, {Id(0), V(1), V(2), V(3)});
  b.Plain(kBufPassToKernelAndHost, Op::BufPassToKernelAndHost, region);
  for (uint16_t opcode :
       {0x020C, 0x020D, 0x020E, 0x0211, 0x0212, 0x0214, 0x021C, 0x0220, 0x0221, 0x0225, 0x0226,
        0x0227, 0x0228, 0x022B, 0x022C, 0x022D, 0x022E, 0x022F, 0x0232}) {
    b.Unnamed(opcode, Route::Plain);
  }
  b.Unnamed(0x022A, Route::Plain, 3);
  b.Unnamed(0x0231, Route::Plain, 1);
  for (uint16_t opcode : {0x0244, 0x0245}) b.Plain(opcode, UnnamedOp(opcode), {kAll, Size(4)});
  b.UnnamedRange(0x0216, 0x021B, Route::Guarded);
  b.Unnamed(0x021F, Route::Guarded);
  b.Add(0x0238, Route::NoOperation, kNoSystemOp, {});
}

constexpr void AddDigitizerGroup(Builder& b) {
  b.Add(kDigAlloc, Route::DigitizerAllocation, Op::DigAlloc, {V(0), V(1), V(2), V(3)});
  b.Plain(kDigFree, Op::DigFree, {Id(0)});
  b.Add(kDigGrab, Route::GrabChooser, kNoSystemOp, {Id(0), {ArgKind::GrabBuffer, 1}, V(2)});
  b.Add(kDigGrabContinuous, Route::GrabChooser, kNoSystemOp,
        {Id(0), {ArgKind::GrabBuffer, 1}, {ArgKind::MinusOne, 0}});
  b.Plain(kDigChannel, Op::DigChannel, {Id(0), V(1)});
  b.Plain(kDigHalt, Op::DigHalt, {Id(0)});
  b.Plain(0x0606, UnnamedOp(0x0606), {Id(0), V(1)});
  b.Plain(kDigInquire, Op::DigInquire, {Id(0), V(1), V(2)});
  b.Plain(kDigReference, Op::DigReference, {Id(0), V(1), V(2)});
  b.Plain(kDigControl, Op::DigControlEntry, {Id(0), V(1), Variant(2)});
  b.Plain(kDigGrabWait, Op::DigGrabWait, {Id(0), V(1)});
  b.Plain(kDigHookFunction, Op::DigHookFunction, {Id(0), V(1), V(2), V(3)});
  b.Plain(kDigGrabAbort, Op::DigGrabAbort, {Id(0), {ArgKind::DoubleOrDefault, 1}});
  b.Plain(kDigProcess, Op::DigProcess, {Id(0), V(1), V(2), V(3), V(4)});
  b.Plain(kDigGetHookInfo, Op::DigGetHookInfo, {V(0), V(1), V(2), V(3)});
  b.Plain(kDigControlFeature, Op::ControlFeature, {Id(0), V(1), V(2), V(3), V(4), Size(4)});
  b.Plain(kDigInquireFeature, Op::InquireFeature, {Id(0), V(1), V(2), V(3), V(4), Size(4)});
}

// Group 0x0800: guarded operations that no class serves.
constexpr void AddUnservedGroup(Builder& b) {
  for (uint16_t opcode : {0x0801, 0x0802, 0x0808, 0x0809, 0x080C, 0x080D, 0x0812, 0x0813, 0x0814}) {
    b.Variants(opcode);
  }
  for (uint16_t opcode : {0x0804, 0x0805, 0x080A, 0x080B, 0x080E, 0x0811, 0x0816, 0x0817, 0x0818,
                          0x0819, 0x081C, 0x0832, 0x0833, 0x0836, 0x0838, 0x0839, 0x083A, 0x0840}) {
    b.Unnamed(opcode, Route::Guarded);
  }
  b.UnnamedRange(0x081F, 0x0828, Route::Guarded);
  b.UnnamedRange(0x082B, 0x082F, Route::Guarded);
}

// Group 0x0A00: operations that no class serves, some shared with buffer opcodes.
constexpr void AddUnservedAliasGroup(Builder& b) {
  b.Add(0x0A01, Route::Guarded, UnnamedOp(0x0A01, kNeitherInt64), {kAll}, Select::NeitherInt64);
  b.Add(0x0A01, Route::Guarded, UnnamedOp(0x0A01, kFirstInt64), {kAll}, Select::FirstInt64);
  b.Add(0x0A01, Route::Guarded, UnnamedOp(0x0A01, kSecondInt64), {kAll}, Select::SecondInt64);
  b.Add(0x0A01, Route::Guarded, UnnamedOp(0x0A01, kBothInt64), {kAll}, Select::BothInt64);
  b.Alias(0x0A03, 0x0216);
  b.Alias(0x0A04, 0x0217);
  b.Alias(0x0A05, 0x0218);
  b.Alias(0x0A06, 0x021B);
  b.Alias(0x0A0A, 0x0219);
  b.Alias(0x0A0B, 0x021A);
  b.Unnamed(0x0A07, Route::Guarded);
  b.Variants(0x0A08);
  b.Unnamed(0x0A0C, Route::Guarded);
  // Served only in its plain variant; the extended one has no handler.
  b.Add(0x0A0D, Route::Guarded, UnnamedOp(0x0A0D), {kAll}, Select::Plain);
  b.Unnamed(0x0A0E, Route::Plain, 0);
  b.Unnamed(0x0A0F, Route::Plain);
  b.Unnamed(0x0A10, Route::Guarded, 0);
  b.Unnamed(0x0A11, Route::Guarded);
  b.Unnamed(0x0A12, Route::Plain);
  b.UnnamedRange(0x0A13, 0x0A3A, Route::Guarded);
  b.UnnamedRange(0x0A3D, 0x0A41, Route::Guarded);
  b.Unnamed(0x0A43, Route::Guarded);
  b.UnnamedRange(0x0A49, 0x0A66, Route::Guarded);
}

constexpr void AddDriverGroups(Builder& b) {
  b.Add(kDrvErrorNotify, Route::ErrorNotice, kNoSystemOp, {V(0), V(1), V(2), V(3), V(4), V(5)});
  b.Add(kDrvInquire, Route::DriverInquire, kNoSystemOp, {V(0), V(1), V(2)});
  b.Add(kDrvControl, Route::DriverControl, kNoSystemOp, {Id(0), V(1)});
  b.Add(kDrvProcessAttach, Route::ProcessAttach, kNoSystemOp, {V(0)});
  for (uint16_t opcode : {0x1A02, 0x1A03, 0x1A04, 0x1A06, 0x1A07, 0x1A08, 0x1A0C, 0x1A0D}) {
    b.Variants(opcode);
  }
  for (uint16_t opcode : {0x1A01, 0x1A05, 0x1A09}) b.Variants(opcode, Route::DriverForward);
  b.UnnamedRange(0x1C01, 0x1C03, Route::Guarded);
}

constexpr void AddThreadGroup(Builder& b) {
  b.Add(kThrAlloc, Route::Plain, Op::ThreadAlloc, {V(1), V(2), V(3), V(4), V(5)}, Select::Any, 0);
  b.Plain(kThrControl, Op::ThreadControl, {V(0), V(1), {ArgKind::Integer, 2}});
  b.Add(kThrFree, Route::ThreadFree, Op::ThreadFree, {V(0)});
  b.Plain(kThrInquire, Op::ThreadInquire, {V(0), V(1), V(2)});
  b.Plain(kThrWait, Op::ThreadWait, {V(0), V(1), V(2)});
  b.Plain(kThrWaitMultiple, Op::ThreadWaitMultiple, {V(0), V(1), V(2), V(3)});
}

constexpr Builder BuildTable() {
  Builder b;
  AddSystemGroup(b);
  AddBufferGroup(b);
  AddDigitizerGroup(b);
  AddUnservedGroup(b);
  AddUnservedAliasGroup(b);
  AddDriverGroups(b);
  AddThreadGroup(b);
  std::sort(
      b.entries.begin(), b.entries.begin() + static_cast<std::ptrdiff_t>(b.count),
      [](const OpcodeEntry& left, const OpcodeEntry& right) { return left.opcode < right.opcode; });
  return b;
}

constexpr Builder kTable = BuildTable();

bool Applies(Select select, const QDCommandWrapper& command, bool extended) {
  const auto isInt64 = [&command](int slot) { return command.ArgType(slot) == QD_TYPE_INT64; };
  switch (select) {
    case Select::Any:
      return true;
    case Select::Extended:
      return extended;
    case Select::Plain:
      return !extended;
    case Select::NeitherInt64:
      return !isInt64(0) && !isInt64(1);
    case Select::FirstInt64:
      return isInt64(0) && !isInt64(1);
    case Select::SecondInt64:
      return !isInt64(0) && isInt64(1);
    case Select::BothInt64:
      return isInt64(0) && isInt64(1);
  }
  return false;
}

}  // namespace

std::span<const OpcodeEntry> OpcodeTable() { return {kTable.entries.data(), kTable.count}; }

const OpcodeEntry* FindOpcodeEntry(const QDCommandWrapper& command, bool extended) {
  const std::span<const OpcodeEntry> table = OpcodeTable();
  const uint16_t opcode = command.Opcode();
  auto it = std::lower_bound(
      table.begin(), table.end(), opcode,
      [](const OpcodeEntry& entry, uint16_t value) { return entry.opcode < value; });
  for (; it != table.end() && it->opcode == opcode; ++it) {
    if (Applies(it->select, command, extended)) return &*it;
  }
  return nullptr;
}

}  // namespace zor::frame
