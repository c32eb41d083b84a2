// Request dispatch: codes, sizes, error triples and injected faults; the fault table armed
// while requests take from it; records full of garbage, sent to every function.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/boardsim/faults.h"
#include "platform/os/core/error.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

using boardsim::Fault;
using boardsim::FaultKind;

struct DispatchTest : testing::Test {
  boardsim::Board board{boardsim::BoardConfig{}};
  boardtest::BoardClient client{board};
};

TEST_F(DispatchTest, EveryFunctionOfTheTableHasItsRecordSize) {
  int known = 0;
  for (uint32_t function = 0x9FB; function <= 0xA32; ++function) {
    if (zor::kernel::RecordSize(function) != 0) ++known;
  }
  EXPECT_EQ(known, 45);
  EXPECT_EQ(zor::kernel::ControlCode(zor::kernel::kWaitDeviceEvent), 0xD8A427FCu);
  EXPECT_EQ(zor::kernel::ControlCode(zor::kernel::kBufTripleTransfer), 0xD8A428C4u);
}

TEST_F(DispatchTest, VersionComesBackInNinetySixBytes) {
  auto request =
      client.StartRaw(zor::kernel::ControlCode(zor::kernel::kGetDriverVersion), nullptr, 0, 96);
  ASSERT_TRUE(request->IsDone());
  EXPECT_EQ(request->Error(), os::ERROR_SUCCESS);
  EXPECT_EQ(request->Bytes(), 96u);
  EXPECT_EQ(request->As<zor::kernel::DriverVersionRequest>().version, 0x9DF201u);
}

TEST_F(DispatchTest, BadRequestsGetErrorTriples) {
  // Unknown function inside the range (with room for the triple only too), a short input,
  // another device type: {code, input size, output size}.
  constexpr uint32_t kHeader = sizeof(zor::kernel::RequestHeader);
  const uint32_t refused[][3] = {{zor::kernel::ControlCode(0xA13), 320, 320},
                                 {zor::kernel::ControlCode(0xA13), kHeader, kHeader},
                                 {zor::kernel::ControlCode(zor::kernel::kSysRequest), 104, 320},
                                 {0x12340000 | (zor::kernel::kSysRequest << 2), 320, 320}};
  zor::kernel::SysRequest big{};
  for (const auto& [code, input, output] : refused) {
    auto request = client.StartRaw(code, &big, input, output);
    EXPECT_EQ(boardtest::StatusText(request->As<zor::kernel::RequestHeader>().status) + " " +
                  std::to_string(request->Bytes()),
              "4400.3.0/1,0,0 " + std::to_string(output))
        << code << " " << input;
  }

  // No room for a triple: the transport fails instead.
  uint8_t tiny[8] = {};
  auto small = client.StartRaw(zor::kernel::ControlCode(zor::kernel::kSysClose), tiny, 8, 8);
  ASSERT_TRUE(small->IsDone());
  EXPECT_EQ(small->Error(), os::ERROR_INVALID_PARAMETER);
}

TEST_F(DispatchTest, InjectedFaultsApplyToTheNextRequestsOnly) {
  board.ArmFault(zor::kernel::kGetDriverVersion, {FaultKind::kShortReply, 0, 0, 0, 88});
  zor::kernel::DriverVersionRequest version{};
  EXPECT_EQ(client.Send(zor::kernel::kGetDriverVersion, version), 88u);
  EXPECT_EQ(client.Send(zor::kernel::kGetDriverVersion, version), 96u);

  Fault transport;
  transport.kind = FaultKind::kTransportFailure;
  transport.windowsError = os::ERROR_GEN_FAILURE;
  transport.count = 2;
  board.ArmFault(zor::kernel::kSysRequest, transport);
  zor::kernel::SysRequest r{};
  for (int i = 0; i < 2; ++i) {
    auto request = client.Start(zor::kernel::kSysRequest, &r, sizeof(r));
    EXPECT_EQ(request->Error(), os::ERROR_GEN_FAILURE);
    EXPECT_EQ(request->Bytes(), 0u);
  }
  EXPECT_EQ(client.Start(zor::kernel::kSysRequest, &r, sizeof(r))->Error(), os::ERROR_SUCCESS);

  board.ArmFault(zor::kernel::kKernelObjectAlloc, {FaultKind::kErrorTriple, 4302, 2, 7});
  zor::kernel::ObjectAllocRequest alloc{};
  alloc.kind = 128;
  EXPECT_EQ(client.Status(zor::kernel::kKernelObjectAlloc, alloc), "4302.2.7/1,1,0");
  EXPECT_EQ(alloc.header.objectId, 0u);
  // A refused system allocation carries the link-power error in its whole reply.
  board.ArmFault(zor::kernel::kSysAlloc, {FaultKind::kErrorTriple, 4357, 1});
  zor::kernel::SysAllocRequest system{};
  EXPECT_EQ(client.Send(zor::kernel::kSysAlloc, system), 360u);
  EXPECT_EQ(std::pair(boardtest::StatusText(system.header.status), system.systemId),
            std::pair(std::string("4357.1.0/1,0,0"), uint64_t{0}));

  Fault thrown;
  thrown.kind = FaultKind::kThrow;
  thrown.exception = std::make_exception_ptr(std::runtime_error("below"));
  board.ArmFault(zor::kernel::kSysRequest, thrown);
  EXPECT_THROW(client.Start(zor::kernel::kSysRequest, &r, sizeof(r)), std::runtime_error);

  // Held until an object's halt, then served with its whole reply.
  client.AllocSystem();
  const uint64_t object = client.AllocObject();
  board.ArmFault(zor::kernel::kSysRequest, {FaultKind::kCrossesHalt});
  auto r2 = client.Record<zor::kernel::SysRequest>();
  r2->requestWord = zor::kernel::kSysRequestCapabilities;
  auto held = client.Start(zor::kernel::kSysRequest, r2.get(), sizeof(*r2));
  EXPECT_EQ(std::pair(held->IsDone(), board.HeldForHalt()), std::pair(false, size_t{1}));
  client.ObjectValue(zor::kernel::kKernelObjectControl, object, zor::kernel::kObjectTimeout, 5);
  EXPECT_FALSE(held->IsDone());
  client.ObjectValue(zor::kernel::kKernelObjectControl, object, zor::kernel::kObjectHalt);
  ASSERT_TRUE(held->WaitFor(1000));
  EXPECT_EQ(std::tuple(held->Error(), held->Bytes(), held->As<zor::kernel::SysRequest>().value,
                       board.HeldForHalt()),
            std::tuple(os::ERROR_SUCCESS, uint32_t{sizeof(*r2)},
                       uint64_t{zor::kernel::kCapFourChannels}, size_t{0}));
}

TEST_F(DispatchTest, StalledRequestCompletesOnlyAtAnAbort) {
  board.ArmFault(zor::kernel::kSysRequest, {FaultKind::kStall});
  zor::kernel::SysRequest r{};
  auto stalled = client.Start(zor::kernel::kSysRequest, &r, sizeof(r));
  EXPECT_FALSE(stalled->WaitFor(50));
  board.Abort();
  ASSERT_TRUE(stalled->WaitFor(1000));
  EXPECT_EQ(boardtest::StatusText(stalled->As<zor::kernel::RequestHeader>().status),
            "4318.1.0/1,0,0");

  // A grab abort, a system's halt and an object's halt release a stall too.
  client.AllocSystem();
  auto dig = client.AllocDigitizer(0);
  const uint64_t object = client.AllocObject();
  const std::pair<const char*, std::function<zor::kernel::ErrorTriple()>> releases[] = {
      {"grab abort", [&] { return client.DigControl(dig, zor::kernel::kGrabAbort, 0x10000000); }},
      {"system halt", [&] { return client.SysControl(1810, 0x1000000); }},
      {"object halt", [&] {
         return client
             .ObjectValue(zor::kernel::kKernelObjectControl, object, zor::kernel::kObjectHalt)
             .header.status;
       }}};
  for (const auto& [name, release] : releases) {
    board.ArmFault(zor::kernel::kSysRequest, {FaultKind::kStall});
    auto second = client.Start(zor::kernel::kSysRequest, &r, sizeof(r));
    EXPECT_FALSE(second->IsDone()) << name;
    EXPECT_EQ(release().errorSet, 0) << name;
    EXPECT_TRUE(second->WaitFor(1000)) << name;
  }

  // One still stalled when its board goes ends aborted, with nothing read.
  auto gone = std::make_unique<boardsim::Board>(boardsim::BoardConfig{});
  gone->ArmFault(zor::kernel::kSysRequest, {FaultKind::kStall});
  boardtest::BoardClient goneClient(*gone);
  auto left = goneClient.Start(zor::kernel::kSysRequest, &r, sizeof(r));
  gone.reset();
  ASSERT_TRUE(left->IsDone());
  EXPECT_EQ(left->Error(), os::ERROR_OPERATION_ABORTED);
  EXPECT_EQ(left->Bytes(), 0u);
}

TEST(FaultTable, ArmedWhileRequestsTakeFromIt) {
  boardsim::FaultTable table;
  constexpr uint32_t kFunctions = 8;
  constexpr int kTakes = 1000;
  std::atomic<bool> done{false};
  std::atomic<int> taken{0};
  std::thread requests([&] {
    for (bool last = false; !last;) {
      last = done.load();
      for (uint32_t function = 0; function < kFunctions; ++function) {
        if (table.Take(function).has_value()) taken.fetch_add(1);
      }
    }
  });
  // Arming goes on until the requests have taken many faults: the two meet in the table.
  int armed = 0;
  for (; taken.load() < kTakes; ++armed) table.Arm(static_cast<uint32_t>(armed) % kFunctions, {});
  done.store(true);
  requests.join();
  // Each fault fires once at most, and none is left once every function was asked after the
  // last was armed.
  EXPECT_LE(taken.load(), armed);
  for (uint32_t function = 0; function < kFunctions; ++function) {
    EXPECT_FALSE(table.Take(function).has_value()) << function;
  }
}

// Error triples, never a crash.
TEST(MalformedTest, GarbageRecordsNeverCrash) {
  boardsim::Board board{boardsim::BoardConfig{}};
  boardtest::BoardClient client{board};
  client.AllocSystem();
  const auto dig = client.AllocDigitizer(0);
  std::mt19937_64 random(7);
  for (uint32_t function = 0x9FB; function <= 0xA32; ++function) {
    const uint32_t size = zor::kernel::RecordSize(function);
    if (size == 0 || function == zor::kernel::kWaitDeviceEvent) continue;
    for (int round = 0; round < 200; ++round) {
      std::vector<uint8_t> bytes(size);
      for (auto& b : bytes) b = static_cast<uint8_t>(random() % (round % 4 == 0 ? 256 : 3));
      auto& header = *reinterpret_cast<zor::kernel::RequestHeader*>(bytes.data());
      header.systemId = client.systemId;
      if (size >= sizeof(zor::kernel::DigChannelRequest) && round % 2 == 0) {
        auto& record = reinterpret_cast<zor::kernel::DigChannelRequest*>(bytes.data())->record;
        record.kernelDigitizer = dig.kernelDigitizer;
        record.kernelCheck = dig.kernelCheck;
      }
      // Every reply comes at once; none is left pending or crashes the board.
      EXPECT_TRUE(client.Start(function, bytes.data(), size)->WaitFor(1000)) << function;
    }
  }
}

}  // namespace
