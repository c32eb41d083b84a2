// Continuous grabs of the board system in the test's own process, into buffer
// records made from host buffers: an application starts them through the
// grab-control library, which drives these operations.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "driver/board/system/qdhwspecsystem.h"
#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "driver/frameworkuser/context/qdzorthreadcontext.h"
#include "driver/frameworkuser/driver/driverwrapper.h"
#include "driver/frameworkuser/records/qdbufferinfo.h"
#include "driver/frameworkuser/records/qddigitizerinfo.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/hostservices.h"
#include "platform/host/zor.h"
#include "platform/os/sync/thread.h"

namespace zor::board {
namespace {

namespace fs = std::filesystem;
constexpr QINT64 kUseDepth = 0x40000;

// The board system with its buffer list open to the test.
class GrabSystem : public QDHwSpecSystem {
 public:
  using QDHwSpecSystem::QDHwSpecSystem;
  int64_t AddBuffer(int64_t hostBuffer) {
    auto record = std::make_shared<frame::QDBufferInfo>(0, this);
    EXPECT_TRUE(frame::FillKernelBufferDescriptor(*record, hostBuffer));
    const int64_t index = buffers_.Add(record);
    record->SetIndex(index);
    return index;
  }
  void MarkDeviceMemory(int64_t buffer) {
    buffers_.GetAt(buffer)->Descriptor().attributeWord |= 0x80000;
  }
  bool ContinuousGrab(int64_t digitizer) {
    return digitizers_.GetAt(digitizer)->Channel().Block().continuousGrab != 0;
  }
};

class ContinuousGrab : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zorgrab.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "v3_1");
    setenv("ZOR_GENICAM_PATH", root_.c_str(), 1);
    setenv("ZOR_XML_REPOSITORY", root_.c_str(), 1);
    setenv("DRAVIONLYNDCF", ZOR_STANDARD_DCF_DIR, 1);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    board_ = boardsim::LocalBoards().Find(0);
    board_->SetFrameTime(2000);
    frame::QDDeviceDriver* driver = frame::CQDDeviceDriverWrapper::Instance().GetDriver();
    ctx_ = std::make_unique<frame::QDDriverThreadContext>(*driver, os::GetCurrentThreadId());
    int64_t status = -1;
    system_ = std::make_unique<GrabSystem>(L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, status, *ctx_);
    ASSERT_EQ(status, 0);
    // The calling thread's context of the system, whose event grabs wait on.
    caller_ = std::make_unique<frame::QDZorThreadContext>(*ctx_, system_->Index());
    ctx_->SetCurrent(caller_.get());
  }
  void TearDown() override {
    for (QID buffer : buffers_) QbufFree(buffer);
    system_.reset();
    ctx_->SetCurrent(nullptr);
    caller_.reset();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  int64_t Digitizer(const wchar_t* dcf) {
    int64_t index = 0;
    frame::OperationArgs args;
    args.Push(reinterpret_cast<intptr_t>(dcf));
    args.Push(0);
    args.Push(Q_DEFAULT);
    args.Push(reinterpret_cast<intptr_t>(&index));
    system_->DigAlloc(args, *ctx_);
    EXPECT_EQ(ctx_->ErrorCode(), 0);
    return index;
  }
  QID HostBuffer(QINT64 bands, QINT64 width, QINT64 height, QINT64 depth) {
    QID buffer = QbufAllocColor(Q_DEFAULT, bands, width, height, depth,
                                Q_IMAGE | Q_GRAB | kUseDepth, nullptr);
    EXPECT_NE(buffer, 0);
    buffers_.push_back(buffer);
    return buffer;
  }
  void Grab(int64_t digitizer, int64_t buffer, int64_t count = 1) {
    frame::OperationArgs args;
    args.Push(digitizer);
    args.Push(buffer);
    args.Push(count);
    system_->DigGrab(args, *ctx_);
  }
  void Control(int64_t digitizer, int64_t type, int64_t value) {
    frame::OperationArgs args;
    args.Push(digitizer);
    args.Push(type);
    args.Push(frame::ValueRecord{value, frame::kValueInteger});
    system_->DigControl(args, *ctx_);
  }

  fs::path root_;
  boardsim::Board* board_ = nullptr;
  std::unique_ptr<frame::QDDriverThreadContext> ctx_;
  std::unique_ptr<GrabSystem> system_;
  std::unique_ptr<frame::QDZorThreadContext> caller_;
  std::vector<QID> buffers_;
};

TEST_F(ContinuousGrab, AStoppedContinuousGrabIsNotRestarted) {
  const int64_t digitizer = Digitizer(L"Q_NTSC");
  const int64_t buffer = system_->AddBuffer(HostBuffer(1, 640, 480, 8));
  Grab(digitizer, buffer, -1);
  ASSERT_EQ(ctx_->ErrorCode(), 0);
  EXPECT_TRUE(system_->ContinuousGrab(digitizer));
  // A control stops the grab and starts it again on the same buffer.
  Control(digitizer, 4074, 20);
  EXPECT_TRUE(system_->ContinuousGrab(digitizer));
  system_->DigStopGrab(digitizer, *ctx_);
  EXPECT_FALSE(system_->ContinuousGrab(digitizer));
  Control(digitizer, 4074, 21);
  EXPECT_FALSE(system_->ContinuousGrab(digitizer));
  EXPECT_EQ(ctx_->ErrorCode(), 0);
}

TEST_F(ContinuousGrab, TheBoardsMemoryIsFilledOneFrameAtATime) {
  const int64_t digitizer = Digitizer(L"Q_NTSC");
  const int64_t buffer = system_->AddBuffer(HostBuffer(1, 640, 480, 8));
  system_->MarkDeviceMemory(buffer);
  Grab(digitizer, buffer, -1);
  EXPECT_EQ(ctx_->ErrorCode(), 4326);
  EXPECT_EQ(ctx_->SubCode(1), 1);
  EXPECT_FALSE(system_->ContinuousGrab(digitizer));
  ctx_->SetError(0, 0, 0, 0);
  Grab(digitizer, buffer);
  EXPECT_EQ(ctx_->ErrorCode(), 0);
}

}  // namespace
}  // namespace zor::board
