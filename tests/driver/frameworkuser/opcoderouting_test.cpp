// Every opcode reaches its system operation with its arguments converted.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/frameworkuser/support/frameworktest.h"

namespace zor::frame {
namespace {

constexpr int kFilledSlots = 10;

int64_t SlotValue(int slot) { return 100 + slot; }
int64_t SlotIndex(int slot) { return 200 + slot; }

// Expected arguments in a short notation: vN value word, iN second word,
// zN byte size (an integer slot: 8), rN integer value record, gN buffer
// index, m the constant -1.
OperationArgs Expected(const std::string& layout) {
  OperationArgs args;
  std::istringstream tokens(layout);
  std::string token;
  while (tokens >> token) {
    const int slot = token.size() > 1 ? std::stoi(token.substr(1)) : 0;
    switch (token[0]) {
      case 'v':
        args.Push(SlotValue(slot));
        break;
      case 'i':
      case 'g':
        args.Push(SlotIndex(slot));
        break;
      case 'z':
        args.Push(8);
        break;
      case 'r':
        args.Push(ValueRecord{SlotValue(slot), kValueInteger});
        break;
      case 'm':
        args.Push(-1);
        break;
    }
  }
  return args;
}

OperationArgs AllValues() {
  OperationArgs args;
  for (int slot = 0; slot < kFilledSlots; ++slot) args.Push(SlotValue(slot));
  return args;
}

class OpcodeRoutingTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    system_ = AllocSystem();
    ASSERT_EQ(system_, 1);
  }

  // Runs the opcode with ten filled integer slots; the slot named by
  // indexSlot carries the system index instead of its own.
  std::vector<RecordedCall> Run(uint16_t opcode, uint32_t flags = 0, int indexSlot = -1) {
    CommandBuilder command(opcode, indexSlot < 0 ? system_ : 0);
    for (int slot = 0; slot < kFilledSlots; ++slot) {
      command.Param(slot, QD_TYPE_INT64, SlotValue(slot),
                    slot == indexSlot ? system_ : SlotIndex(slot));
    }
    status_ = command.Flags(flags).Run();
    return probe().TakeCalls();
  }

  int64_t system_ = 0;
  uint16_t status_ = 0;
};

struct NamedRoute {
  uint16_t opcode;
  SystemOp op;
  const char* layout;
  int indexSlot = -1;
};

TEST_F(OpcodeRoutingTest, NamedOperationsGetTheirArguments) {
  const NamedRoute routes[] = {
      {0x0003, SystemOp::SysInquire, "v1 v2"},
      {0x0004, SystemOp::SysControl, "v1 r2"},
      {0x0005, SystemOp::SysIoCommand, "v0 v1 v2 v3 v4 v5 v6 v7"},
      {0x0007, SystemOp::SysHookFunction, "v0 v1 v2"},
      {0x0008, SystemOp::SysGetHookInfo, "v1 v2 v3 v4"},
      {0x0202, SystemOp::BufChild, "i0 v1 v2 v3 v4 v5"},
      {0x0203, SystemOp::BufFree, "i0"},
      {0x0204, SystemOp::BufGetRegion, "i0 v1 v2 v3 v4 v5"},
      {0x0205, SystemOp::BufPutRegion, "i0 v1 v2 v3 v4 v5"},
      {0x0206, SystemOp::BufCopy, "i0 i1"},
      {0x0207, SystemOp::BufCopy, "i0 i1 v2"},
      {0x0208, SystemOp::BufGetBandRegion, "i0 v1 v2 v3 v4 v5 v6 v7"},
      {0x0209, SystemOp::BufPutBandRegion, "i0 v1 v2 v3 v4 v5 v6 v7"},
      {0x020A, SystemOp::BufInquire, "i0 v1 v2"},
      {0x020B, SystemOp::BufChildBand, "i0 v1 v2 v3 v4 v5 v6"},
      {0x020F, SystemOp::BufPassToHost, "i0 v1 v2"},
      {0x0210, SystemOp::BufControl, "i0 v1 r2"},
      {0x0215, SystemOp::BufCopyRegion, "i0 i1 v2 v3 v4 v5 v6 v7 v8 v9"},
      {0x0222, SystemOp::BufCopyClip, "i0 i1 v2 v3"},
      {0x0229, SystemOp::BufGetBand, "i0 v1 v2 v3"},
      {0x0230, SystemOp::BufPutBand, "i0 v1 v2 v3"},
      {0x0237, SystemOp::BufPassToKernelAndHost, "i0 v1 v2 v3 v4 v5"},
      {0x0601, SystemOp::DigAlloc, "v0 v1 v2 v3"},
      {0x0602, SystemOp::DigFree, "i0"},
      {0x0603, SystemOp::DigGrab, "i0 g1 v2"},
      {0x060E, SystemOp::DigGrabContinuous, "i0 g1 m"},
      {0x0604, SystemOp::DigChannel, "i0 v1"},
      {0x0605, SystemOp::DigHalt, "i0"},
      {0x0606, UnnamedOp(0x0606), "i0 v1"},
      {0x0607, SystemOp::DigInquire, "i0 v1 v2"},
      {0x0608, SystemOp::DigReference, "i0 v1 v2"},
      {0x0609, SystemOp::DigControlEntry, "i0 v1 r2"},
      {0x060A, SystemOp::DigGrabWait, "i0 v1"},
      {0x060C, SystemOp::DigHookFunction, "i0 v1 v2 v3"},
      {0x0610, SystemOp::DigProcess, "i0 v1 v2 v3 v4"},
      {0x0611, SystemOp::DigGetHookInfo, "v0 v1 v2 v3"},
      {0x0612, SystemOp::ControlFeature, "i0 v1 v2 v3 v4 z4"},
      {0x0613, SystemOp::InquireFeature, "i0 v1 v2 v3 v4 z4"},
      {0x000E, UnnamedOp(0x000E), "v1 v2 v3 v4 z4"},
      {0x000F, UnnamedOp(0x000F), "v1 v2 v3 v4 z4"},
      {0x0010, UnnamedOp(0x0010), "v1 v2 z2 v3 z3 v4"},
      {0x2E02, SystemOp::ThreadControl, "v0 v1 v2"},
      {0x2E03, SystemOp::ThreadFree, "v0"},
      {0x2E04, SystemOp::ThreadInquire, "v0 v1 v2"},
      {0x2E05, SystemOp::ThreadWait, "v0 v1 v2"},
      {0x2E06, SystemOp::ThreadWaitMultiple, "v0 v1 v2 v3"},
      {0x2E01, SystemOp::ThreadAlloc, "v1 v2 v3 v4 v5", 0},
      // Operations whose system index comes from a slot that names it.
      {0x0A0E, UnnamedOp(0x0A0E), "v0 v1 v2 v3 v4 v5 v6 v7 v8 v9", 0},
      {0x0A10, UnnamedOp(0x0A10), "v0 v1 v2 v3 v4 v5 v6 v7 v8 v9", 0},
      {0x0231, UnnamedOp(0x0231), "v0 v1 v2 v3 v4 v5 v6 v7 v8 v9", 1},
      {0x022A, UnnamedOp(0x022A), "v0 v1 v2 v3 v4 v5 v6 v7 v8 v9", 3},
  };
  for (const NamedRoute& route : routes) {
    SCOPED_TRACE(::testing::Message() << std::hex << "opcode 0x" << route.opcode);
    std::vector<RecordedCall> calls = Run(route.opcode, 0, route.indexSlot);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].systemIndex, system_);
    EXPECT_EQ(calls[0].op, route.op);
    EXPECT_TRUE(calls[0].args == Expected(route.layout));
    EXPECT_EQ(status_, QD_STATUS_UNSUPPORTED);  // -1 of the unserved operation
  }
}

// The transfer's sixteen arguments: thirteen slots and an array of the last three.
TEST_F(OpcodeRoutingTest, TransferTakesItsLastArgumentsFromTheArraySlot) {
  const int64_t last[] = {0x2000000, 128, 0x7F00};
  struct Case {
    uint32_t type;
    int64_t count;
    int filled;
    std::vector<int64_t> expected;
    const char* what;
  };
  const Case cases[] = {
      {QD_TYPE_ARRAY | QD_TYPE_INT64, 3, 14, {0x2000000, 128, 0x7F00}, "the whole array"},
      {QD_TYPE_ARRAY | QD_TYPE_INT64, 2, 14, {0x2000000, 128, 0}, "a short array"},
      {QD_TYPE_ARRAY | QD_TYPE_INT32, 3, 14, {0, 0, 0}, "an array of another type"},
      {QD_TYPE_INT64, 3, 14, {0, 0, 0}, "a scalar"},
      {QD_TYPE_ARRAY | QD_TYPE_INT64, 3, 13, {0, 0, 0}, "a slot the record does not fill"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CommandBuilder command(0x0233, system_);
    for (int slot = 0; slot < 13; ++slot) {
      command.Param(slot, QD_TYPE_INT64, SlotValue(slot), SlotIndex(slot));
    }
    if (c.filled == 14) command.Param(13, c.type, reinterpret_cast<intptr_t>(last));
    command.Record().params[13].count = c.count;
    command.Run();
    std::vector<RecordedCall> calls = probe().TakeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, SystemOp::BufTransfer);
    OperationArgs expected = Expected("i0 i1 v2 v3 v4 v5 v6 v7 v8 v9 v10 v11 v12");
    for (int64_t word : c.expected) expected.Push(word);
    EXPECT_TRUE(calls[0].args == expected);
  }
}

// The opcodes that the dispatcher decodes into operations that no class serves.
TEST_F(OpcodeRoutingTest, UnnamedOperationsGetEverySlotValue) {
  std::vector<uint16_t> opcodes = {
      0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x020C, 0x020D, 0x020E, 0x0211, 0x0212, 0x0214,
      0x021C, 0x021F, 0x0220, 0x0221, 0x0225, 0x0226, 0x0227, 0x0228, 0x022B, 0x022C, 0x022D,
      0x022E, 0x022F, 0x0232, 0x0A07, 0x0A0C, 0x0A0F, 0x0A11, 0x0A12, 0x0A43, 0x0804, 0x0805,
      0x080A, 0x080B, 0x080E, 0x0811, 0x0816, 0x0817, 0x0818, 0x0819, 0x081C, 0x0832, 0x0833,
      0x0836, 0x0838, 0x0839, 0x083A, 0x0840, 0x1C01, 0x1C02, 0x1C03};
  const std::pair<int, int> ranges[] = {{0x0216, 0x021B}, {0x081F, 0x0828}, {0x082B, 0x082F},
                                        {0x0A13, 0x0A3A}, {0x0A3D, 0x0A41}, {0x0A49, 0x0A66}};
  for (const auto& [first, last] : ranges) {
    for (int opcode = first; opcode <= last; ++opcode) opcodes.push_back(uint16_t(opcode));
  }
  // Opcodes of the group that share a buffer opcode's operation keep its identity.
  const std::map<uint16_t, uint16_t> shared = {{0x0A03, 0x0216}, {0x0A04, 0x0217},
                                               {0x0A05, 0x0218}, {0x0A06, 0x021B},
                                               {0x0A0A, 0x0219}, {0x0A0B, 0x021A}};
  for (const auto& [opcode, identity] : shared) opcodes.push_back(opcode);
  for (uint16_t opcode : opcodes) {
    SCOPED_TRACE(::testing::Message() << std::hex << "opcode 0x" << opcode);
    std::vector<RecordedCall> calls = Run(opcode);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, UnnamedOp(shared.contains(opcode) ? shared.at(opcode) : opcode));
    EXPECT_TRUE(calls[0].args == AllValues());
    EXPECT_EQ(status_, QD_STATUS_UNSUPPORTED);
  }
}

TEST_F(OpcodeRoutingTest, VariantsSplitByTheExtendedFlag) {
  std::set<SystemOp> seen;
  for (uint16_t opcode :
       {0x0801, 0x0802, 0x0808, 0x0809, 0x080C, 0x080D, 0x0812, 0x0813, 0x0814, 0x0A08, 0x1A01,
        0x1A02, 0x1A03, 0x1A04, 0x1A05, 0x1A06, 0x1A07, 0x1A08, 0x1A09, 0x1A0C, 0x1A0D}) {
    std::vector<RecordedCall> extended = Run(opcode, QD_FLAG_EXTENDED);
    std::vector<RecordedCall> plain = Run(opcode);
    ASSERT_EQ(extended.size(), 1u) << std::hex << opcode;
    ASSERT_EQ(plain.size(), 1u) << std::hex << opcode;
    EXPECT_EQ(extended[0].op, UnnamedOp(opcode, kExtendedVariant));
    EXPECT_EQ(plain[0].op, UnnamedOp(opcode, kPlainVariant));
    seen.insert(extended[0].op);
    seen.insert(plain[0].op);
  }
  EXPECT_EQ(seen.size(), 42u);

  // 0x0A0D has only its plain operation.
  EXPECT_EQ(Run(0x0A0D).size(), 1u);
  EXPECT_TRUE(Run(0x0A0D, QD_FLAG_EXTENDED).empty());
  EXPECT_EQ(status_, QD_STATUS_UNSUPPORTED);
}

TEST_F(OpcodeRoutingTest, Opcode0A01ChoosesByTheTypesOfItsFirstTwoSlots) {
  const struct {
    uint32_t type0, type1, variant;
  } cases[] = {{QD_TYPE_INT64, QD_TYPE_INT64, kBothInt64},
               {QD_TYPE_INT64, QD_TYPE_DOUBLE, kFirstInt64},
               {QD_TYPE_DOUBLE, QD_TYPE_INT64, kSecondInt64},
               {QD_TYPE_ID, QD_TYPE_DOUBLE, kNeitherInt64}};
  for (const auto& c : cases) {
    CommandBuilder(0x0A01, system_).Param(0, c.type0, 1).Param(1, c.type1, 2).Run();
    std::vector<RecordedCall> calls = probe().TakeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, UnnamedOp(0x0A01, c.variant));
  }
}

TEST_F(OpcodeRoutingTest, OpcodesWithoutHandlerAnswerFFFFAndCallNothing) {
  for (uint16_t opcode :
       {0x0006, 0x0011, 0x0201, 0x021D, 0x021E, 0x0223, 0x0224, 0x0234, 0x0236, 0x0239, 0x0243,
        0x0246, 0x0600, 0x060B, 0x060D, 0x0614, 0x0800, 0x0803, 0x0806, 0x080F, 0x0815, 0x081D,
        0x0829, 0x0830, 0x0837, 0x0841, 0x0A02, 0x0A09, 0x0A3B, 0x0A3C, 0x0A42, 0x0A44, 0x0A48,
        0x0A67, 0x1801, 0x1807, 0x1A0A, 0x1A0B, 0x1A0E, 0x1C04, 0x2E07, 0x0400, 0x3000}) {
    SCOPED_TRACE(::testing::Message() << std::hex << "opcode 0x" << opcode);
    EXPECT_TRUE(Run(opcode).empty());
    EXPECT_EQ(status_, QD_STATUS_UNSUPPORTED);
  }
}

TEST_F(OpcodeRoutingTest, GuardedOperationsNeedBothGuards) {
  // The thread's guard flag off refuses them as the system's guard byte does.
  ContextOn(system_)->Current()->SetGuardFlag(false);
  EXPECT_TRUE(Run(0x0801).empty());
  ContextOn(system_)->Current()->SetGuardFlag(true);
  probe().onCall = [](QDBaseSystem& system, SystemOp, const OperationArgs&,
                      QDDriverThreadContext&) {
    system.SetGuardByte(false);
    return 1;
  };
  EXPECT_EQ(Run(0x0801).size(), 1u);  // clears the guard byte on the way
  EXPECT_TRUE(Run(0x0801).empty());
  EXPECT_EQ(status_, QD_STATUS_UNSUPPORTED);
  EXPECT_TRUE(Run(0x1A01).empty());   // the driver's own forwarder guards too
  EXPECT_EQ(Run(0x0A0F).size(), 1u);  // a plain one of the group still runs
}

TEST_F(OpcodeRoutingTest, ConversionsOfControlsGrabsAndAborts) {
  // A double control value travels as a double record; thread control
  // truncates it to an integer.
  CommandBuilder(0x0004, system_).Int(1, 7).Double(2, 2.5).Run();
  CommandBuilder(0x2E02, system_).Int(0, 1).Int(1, 2).Double(2, 3.75).Run();
  // An abort reads its time-out as a double only when the record fills slot 1.
  CommandBuilder(0x060F, system_).Object(0, 4).Double(1, 1.5).Run();
  CommandBuilder(0x060F, system_).Object(0, 4).Run();
  // A grab with a frame count of -1 is a continuous grab.
  CommandBuilder(0x0603, system_).Object(0, 4).Object(1, 5).Int(2, -1).Run();
  std::vector<RecordedCall> calls = probe().TakeCalls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].args.Value(1).kind, kValueDouble);
  EXPECT_EQ(std::bit_cast<double>(calls[0].args.Value(1).value), 2.5);
  EXPECT_EQ(calls[1].args.Int(2), 3);
  EXPECT_EQ(calls[2].args.Double(1), 1.5);
  EXPECT_EQ(calls[3].args.Double(1), 268435456.0);
  // It travels as a double: read back as its value, whichever way it is asked for.
  for (const size_t call : {2u, 3u}) {
    const ValueRecord abort = calls[call].args.Value(1);
    EXPECT_EQ(abort.kind, kValueDouble);
    EXPECT_EQ(abort.AsDouble(), calls[call].args.Double(1));
  }
  EXPECT_EQ(calls[2].args.Value(1).AsInteger(), 1);
  EXPECT_EQ(calls[3].args.Value(1).AsInteger(), 268435456);
  EXPECT_EQ(calls[4].op, SystemOp::DigGrabContinuous);
  EXPECT_EQ(calls[4].args.Int(1), 5);
}

TEST_F(OpcodeRoutingTest, BufferAllocationPassesOneAddressPerBand) {
  uint64_t bandAddresses[3] = {0x1000, 0x2000, 0x3000};
  std::vector<std::vector<uint64_t>> lists;
  probe().onCall = [&lists](QDBaseSystem&, SystemOp op, const OperationArgs& args,
                            QDDriverThreadContext&) {
    if (op != SystemOp::BufAlloc) return int64_t{-1};
    const int count = (args.Int(5) & (1 << 23)) != 0 ? 1 : static_cast<int>(args.Int(0));
    const auto* list = args.Pointer<uint64_t>(7);
    lists.emplace_back(list, list + count);
    return int64_t{1};
  };
  for (int64_t flags : {0, 1 << 21, 1 << 23}) {
    int64_t outIndex = 0;
    CommandBuilder(0x0213)
        .Object(0, system_)
        .Int(1, 3)
        .Int(2, 64)
        .Int(3, 48)
        .Int(4, 8)
        .Int(5, 0)
        .Int(6, flags)
        .Int(7, 0)
        .Pointer(8, bandAddresses)
        .Param(9, QD_TYPE_ADDRESS, 0, reinterpret_cast<intptr_t>(&outIndex))
        .Run();
  }
  ASSERT_EQ(lists.size(), 3u);
  EXPECT_EQ(lists[0], (std::vector<uint64_t>{0x1000, 0x2000, 0x3000}));
  const auto self = reinterpret_cast<uint64_t>(bandAddresses);
  EXPECT_EQ(lists[1], (std::vector<uint64_t>{self, self, self}));
  EXPECT_EQ(lists[2], (std::vector<uint64_t>{0x1000}));
}

}  // namespace
}  // namespace zor::frame
