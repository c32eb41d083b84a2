// The kernel request wrappers and the low-level system allocation and
// release, on a simulated board of the test's own.
#include <gtest/gtest.h>

#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "driver/frameworkuser/transport/llsysalloc.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/boardsim/faults.h"
#include "platform/os/device/device.h"

namespace zor::frame {
namespace {

using boardsim::Fault;
using boardsim::FaultKind;
using foundation::CError;

// The whole error record: code/sub-code/extra, then whether an error and an extra are set and
// whether the error goes unlogged.
std::string Whole(const CError& error) {
  return std::to_string(error.code) + "/" + std::to_string(error.subCode) + "/" +
         std::to_string(error.extra) + " set " + std::to_string(error.errorSet) +
         std::to_string(error.extraSet) + std::to_string(error.noLog);
}

class LLsysRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    board_ = boardsim::LocalBoards().Find(0);
    ASSERT_NE(board_, nullptr);
    OpenDevice();
  }

  void OpenDevice() {
    pair_.device =
        os::HandleValue(os::CreateFile(L"\\\\.\\DRAVIONLYN_0", os::GENERIC_READ | os::GENERIC_WRITE,
                                       0, os::OPEN_EXISTING, os::FILE_FLAG_OVERLAPPED));
    ASSERT_NE(pair_.device, kernel::kNoHandle);
  }

  void Allocate() {
    CError error;
    LLsysAllocate(0, 0, pair_, &settings_, &info_, error, nullptr);
    ASSERT_EQ(error.errorSet, 0);
  }

  boardsim::Board* board_ = nullptr;
  LLsysHandlePair pair_;
  SysSettingsBlock settings_{};
  SysInfoBlock info_{};
};

TEST_F(LLsysRequestsTest, HeldErrorStaysWhileAnUnsetExtraIsFilled) {
  CError error(4302, 1);
  const kernel::ErrorTriple reply{4318, 1, 77, 1, 1, 0, {}};  // extra 77, both set
  MergeStatus(error, reply);
  EXPECT_EQ(Whole(error), "4302/1/77 set 110");
  // None held: the reply's error whole, its status byte among it.
  CError fresh;
  MergeStatus(fresh, kernel::ErrorTriple{4318, 2, 0, 1, 0, 1, {}});
  EXPECT_EQ(Whole(fresh), "4318/2/0 set 101");
}

TEST_F(LLsysRequestsTest, AllocationReturnsTheBoardsSettingsAndInformation) {
  board_->RestoreDefaults();
  board_->SetAllocationSetting(180, 5);
  Allocate();
  EXPECT_NE(pair_.systemId, kernel::kNoHandle);
  // Every default the driver sends, as the kernel gives them back, and the board's own at 180.
  const std::pair<size_t, uint32_t> words[] = {
      {0x04, 16},  {0x08, 16},  {0x0C, 1000}, {0x10, 20},        {0x20, 0x20000},
      {0x84, 800}, {0x88, 300}, {0x8C, 128},  {0x90, 32},        {0x94, 300},
      {0x98, 20},  {0x9C, 20},  {0xA0, 1},    {0xA4, 0x1000000}, {0xA8, 4096},
      {0xAC, 32},  {0xB0, 1},   {0xB4, 5},    {0xB8, 0x10000000}};
  std::vector<uint32_t> expected(sizeof(settings_.bytes) / 4, 0);
  for (const auto& [offset, value] : words) expected[offset / 4] = value;
  std::vector<uint32_t> returned(expected.size());
  std::memcpy(returned.data(), settings_.bytes, returned.size() * 4);
  EXPECT_EQ(returned, expected);
  const std::string serial(reinterpret_cast<const char*>(info_.bytes + kernel::kSysInfoTextOffset));
  EXPECT_EQ(serial, std::to_string(board_->SerialNumber()));
  CError error;
  LLsysRelease(pair_, 0, error, nullptr);
  EXPECT_EQ(error.errorSet, 0);
  EXPECT_EQ(pair_.device, 0u);
}

TEST_F(LLsysRequestsTest, ShortAllocationReplyClosesTheDevice) {
  Fault fault{FaultKind::kShortReply};
  fault.bytes = 96;
  board_->ArmFault(kernel::kSysAlloc, fault);
  const os::Handle device = os::HandleFromValue(pair_.device);
  CError error;
  LLsysAllocate(0, 0, pair_, &settings_, &info_, error, nullptr);
  EXPECT_EQ(Whole(error), "4351/2/0 set 100");
  EXPECT_EQ(pair_.device, 0u);
  // Closed already: nobody is left holding it.
  EXPECT_FALSE(os::CloseHandle(device));
}

// The exports are C functions: what escapes below them is the request's error. An allocation
// it ends is refused: the device is closed, as for a kernel's refusal.
TEST_F(LLsysRequestsTest, ExportsTurnAnExceptionBelowIntoTheRequestsError) {
  board_->ArmFault(kernel::kSysAlloc,
                   Fault{.kind = FaultKind::kThrow,
                         .exception = std::make_exception_ptr(std::runtime_error("gone"))});
  const os::Handle device = os::HandleFromValue(pair_.device);
  CError error;
  LLsysAlloc(0, 0, &pair_, &settings_, &info_, &error, nullptr);
  EXPECT_EQ(Whole(error), "4336/0/0 set 100");
  EXPECT_EQ(pair_.device, 0u);
  EXPECT_FALSE(os::CloseHandle(device)) << "closed already";
  OpenDevice();
  Allocate();
  board_->ArmFault(
      kernel::kKernelObjectAlloc,
      Fault{.kind = FaultKind::kThrow, .exception = std::make_exception_ptr(std::bad_alloc())});
  CError released;
  LLsysFree(&pair_, 0, &released, nullptr);
  EXPECT_EQ(Whole(released), "4306/1/0 set 100");
  CError again;
  LLsysFree(&pair_, 0, &again, nullptr);
  EXPECT_EQ(Whole(again), "0/0/0 set 000");
  EXPECT_EQ(pair_.device, 0u);
}

TEST_F(LLsysRequestsTest, NothingIsSentOnADeviceNeverOpened) {
  os::CloseHandle(os::HandleFromValue(pair_.device));
  pair_.device = kernel::kNoHandle;
  CError error;
  LLsysAllocate(0, 0, pair_, &settings_, &info_, error, nullptr);
  EXPECT_EQ(error.errorSet, 0);
  kernel::SysRequest record{};
  DeviceRequest(pair_, 0, record, error, nullptr);
  EXPECT_EQ(Whole(error), "4336/1/0 set 100");
}

TEST_F(LLsysRequestsTest, ClosedDeviceSendsNothingAndRaisesOnlyWhatIsHeld) {
  Allocate();
  CError error;
  LLsysRelease(pair_, 0, error, nullptr);
  LLsysRelease(pair_, 0, error, nullptr);
  kernel::SysRequest record{};
  DeviceRequest(pair_, 0, record, error, nullptr);
  LLsysControl(pair_, 0, 5000, 1, error, nullptr);
  EXPECT_EQ(Whole(error), "0/0/0 set 000");
  EXPECT_EQ(pair_.device, 0u);
}

TEST_F(LLsysRequestsTest, ReleaseFreesOnlyTheObjectItMadeForTheClose) {
  Allocate();
  CError error;
  const uint64_t callers = LLsysObjectAlloc(pair_, kernel::kObjectKindPlain, error, nullptr);
  ASSERT_NE(callers, 0u);
  // Any object free would carry this error back.
  board_->ArmFault(kernel::kKernelObjectFree,
                   Fault{FaultKind::kErrorTriple, 4303, 4, 0, 0, 31, -1});
  LLsysRelease(pair_, callers, error, nullptr);
  EXPECT_EQ(Whole(error), "0/0/0 set 000");
  board_->ClearFaults();
}

TEST_F(LLsysRequestsTest, ObjectInquireOfIdZeroIsRefusedUnsent) {
  Allocate();
  board_->ArmFault(kernel::kKernelObjectInquire, Fault{FaultKind::kErrorTriple, 4304, 1});
  CError error;
  LLsysObjectInquire(pair_, 0, kernel::kObjectTimeout, error, nullptr);
  EXPECT_EQ(Whole(error), "4300/3/0 set 100");
  board_->ClearFaults();
}

// The kernel's value starts from 0 in the caller's word and stays 0 when the
// kernel refuses the type.
TEST_F(LLsysRequestsTest, DigitizerValueOfTheKernel) {
  Allocate();
  uint64_t value = 77;
  EXPECT_TRUE(LLsysDigInquireValue(pair_, 0, kernel::kPendingGrabCount, value, nullptr));
  EXPECT_EQ(value, 0u);
  board_->ArmFault(kernel::kDigInquireValue, Fault{FaultKind::kErrorTriple, 4310, 1, 5});
  value = 77;
  EXPECT_FALSE(LLsysDigInquireValue(pair_, 0, kernel::kPendingGrabCount, value, nullptr));
  EXPECT_EQ(value, 0u);
  board_->ClearFaults();
}

// A buffer the kernel does not know: its error, with the caller's held one kept.
TEST_F(LLsysRequestsTest, BufferOperationOfTheKernel) {
  Allocate();
  const uint64_t words[4] = {1, 2, 3, 4};
  CError error;
  LLsysBufPassWords(pair_, 0, 0xBAD, words, error, nullptr);
  EXPECT_EQ(Whole(error), "4327/2/0 set 100");
  CError held(4302, 1);
  LLsysBufPassWords(pair_, 0, 0xBAD, words, held, nullptr);
  EXPECT_EQ(Whole(held), "4302/1/0 set 100");
}

}  // namespace
}  // namespace zor::frame
