// Grabs of the board system in the test's own process, into buffer records
// made from host buffers: the simulator's pattern in 8-bit, 16-bit and colour
// buffers, source window, decimation and flips, waits, continuous grabs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
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
#include "platform/host/bufferdescription.h"
#include "platform/host/hostservices.h"
#include "platform/host/zor.h"
#include "platform/os/sync/thread.h"
#include "platform/os/sync/wait.h"

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
  bool ContinuousGrab(int64_t digitizer) {
    return digitizers_.GetAt(digitizer)->Channel().Block().continuousGrab != 0;
  }
};

// The simulator's digits: 5 x 7 glyphs drawn 2 x 2 in 12-pixel cells at (8, 8).
constexpr uint8_t kFont[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

// The frame number drawn into a full-frame 8-bit plane; -1 when a cell holds no digit.
int64_t FrameNumber(const uint8_t* plane, uint64_t pitch) {
  int64_t number = 0;
  for (int cell = 0; cell < 8; ++cell) {
    int digit = -1;
    for (int d = 0; d < 10 && digit < 0; ++d) {
      bool same = true;
      for (int gy = 0; gy < 7 && same; ++gy) {
        for (int gx = 0; gx < 5 && same; ++gx) {
          const bool ink = plane[(8 + 2 * gy) * pitch + 8 + 12 * cell + 2 * gx] == 235;
          same = ink == (((kFont[d][gy] >> (4 - gx)) & 1) != 0);
        }
      }
      if (same) digit = d;
    }
    if (digit < 0) return -1;
    number = number * 10 + digit;
  }
  return number;
}

uint8_t Ramp(int64_t frame, uint64_t x, uint64_t y) {
  return static_cast<uint8_t>((x + y + 4 * static_cast<uint64_t>(frame)) & 0xFF);
}

const HostBufferDescription& Describe(QID buffer) {
  void* address = nullptr;
  HostBufInquire(buffer, Q_BUFFER_DESCRIPTION, &address);
  return *static_cast<const HostBufferDescription*>(address);
}

class DigitizerGrab : public ::testing::Test {
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
  void ControlDouble(int64_t digitizer, int64_t type, double value) {
    frame::OperationArgs args;
    args.Push(digitizer);
    args.Push(type);
    args.Push(frame::ValueRecord{std::bit_cast<int64_t>(value), frame::kValueDouble});
    system_->DigControl(args, *ctx_);
  }

  fs::path root_;
  boardsim::Board* board_ = nullptr;
  std::unique_ptr<frame::QDDriverThreadContext> ctx_;
  std::unique_ptr<GrabSystem> system_;
  std::unique_ptr<frame::QDZorThreadContext> caller_;
  std::vector<QID> buffers_;
};

TEST_F(DigitizerGrab, MonoEightBitHoldsTheRampAndTheFrameNumber) {
  const int64_t digitizer = Digitizer(L"Q_NTSC");
  const QID host = HostBuffer(1, 640, 480, 8);
  Grab(digitizer, system_->AddBuffer(host));
  ASSERT_EQ(ctx_->ErrorCode(), 0);
  const HostBufferDescription& d = Describe(host);
  const auto* plane = reinterpret_cast<const uint8_t*>(d.hostAddress[0]);
  const int64_t frame = FrameNumber(plane, d.pitch);
  ASSERT_GT(frame, 0);
  EXPECT_LE(static_cast<uint64_t>(frame), board_->FrameCount(0));
  for (uint64_t y = 30; y < 480; y += 7) {
    for (uint64_t x = 0; x < 480; x += 5) {
      ASSERT_EQ(plane[y * d.pitch + x], Ramp(frame, x, y)) << x << "," << y;
    }
  }
}

TEST_F(DigitizerGrab, SixteenBitHoldsTheRampInTheHighByte) {
  const int64_t digitizer = Digitizer(L"Q_RS170");
  const QID host = HostBuffer(1, 640, 480, 16);
  Grab(digitizer, system_->AddBuffer(host));
  ASSERT_EQ(ctx_->ErrorCode(), 0);
  const HostBufferDescription& d = Describe(host);
  const auto* plane = reinterpret_cast<const uint16_t*>(d.hostAddress[0]);
  // The ramp's phase at the origin gives the frame modulo 64.
  const int64_t phase = plane[100 * d.pitch] >> 8;
  for (uint64_t y = 100; y < 480; y += 11) {
    for (uint64_t x = 0; x < 480; x += 3) {
      ASSERT_EQ(plane[y * d.pitch + x], static_cast<uint16_t>(((phase + x + y - 100) & 0xFF) << 8));
    }
  }
}

TEST_F(DigitizerGrab, ColourBuffersShowTheRampAndTheBars) {
  const int64_t digitizer = Digitizer(L"Q_PAL");
  const QID host = HostBuffer(3, 720, 576, 8);
  Grab(digitizer, system_->AddBuffer(host));
  ASSERT_EQ(ctx_->ErrorCode(), 0);
  const HostBufferDescription& d = Describe(host);
  const auto* r = reinterpret_cast<const uint8_t*>(d.hostAddress[0]);
  const auto* g = reinterpret_cast<const uint8_t*>(d.hostAddress[1]);
  const auto* b = reinterpret_cast<const uint8_t*>(d.hostAddress[2]);
  const uint64_t row = 300 * d.pitch;
  EXPECT_EQ(r[row + 100], g[row + 100]) << "the ramp is grey";
  EXPECT_EQ(g[row + 100], b[row + 100]);
  // Bars of 22.5 pixels from x = 540: grey, yellow, cyan, green, magenta, red, blue, black.
  const auto bar = [&](int n) { return row + 540 + static_cast<uint64_t>(n * 45 / 2) + 10; };
  EXPECT_NEAR(r[bar(0)], g[bar(0)], 3);
  EXPECT_GT(r[bar(1)], 150);
  EXPECT_GT(g[bar(1)], 150);
  EXPECT_LT(b[bar(1)], 40);
  EXPECT_GT(r[bar(5)], 150);
  EXPECT_LT(g[bar(5)], 40);
  EXPECT_GT(b[bar(6)], 150);
  EXPECT_LT(r[bar(6)], 40);
  EXPECT_LT(r[bar(7)] + g[bar(7)] + b[bar(7)], 60);
}

TEST_F(DigitizerGrab, SourceWindowDecimationAndFlips) {
  const int64_t digitizer = Digitizer(L"Q_NTSC");
  Control(digitizer, 4024, 100);
  Control(digitizer, 4025, 60);
  Control(digitizer, 4022, 200);
  Control(digitizer, 4023, 100);
  ControlDouble(digitizer, 6600, 0.5);
  ASSERT_EQ(ctx_->ErrorCode(), 0);
  const QID host = HostBuffer(1, 100, 50, 8);
  const int64_t buffer = system_->AddBuffer(host);
  Grab(digitizer, buffer);
  ASSERT_EQ(ctx_->ErrorCode(), 0);
  const HostBufferDescription& d = Describe(host);
  const auto* plane = reinterpret_cast<const uint8_t*>(d.hostAddress[0]);
  const int phase = (plane[0] - 160) & 0xFF;  // source (100, 60)
  for (uint64_t j = 0; j < 50; ++j) {
    for (uint64_t i = 0; i < 100; ++i) {
      ASSERT_EQ(plane[j * d.pitch + i], static_cast<uint8_t>(phase + 100 + 2 * i + 60 + 2 * j));
    }
  }
  Control(digitizer, 4230, 4);
  Control(digitizer, 4231, 4);
  Grab(digitizer, buffer);
  ASSERT_EQ(ctx_->ErrorCode(), 0);
  const int flipped = (plane[49 * d.pitch + 99] - 160) & 0xFF;
  for (uint64_t j = 0; j < 50; ++j) {
    for (uint64_t i = 0; i < 100; ++i) {
      ASSERT_EQ(plane[j * d.pitch + i],
                static_cast<uint8_t>(flipped + 100 + 2 * (99 - i) + 60 + 2 * (49 - j)));
    }
  }
}

TEST_F(DigitizerGrab, WaitsAndAWindowOutsideTheFrame) {
  const int64_t digitizer = Digitizer(L"Q_NTSC");
  frame::OperationArgs wait;
  wait.Push(digitizer);
  wait.Push(4);
  system_->DigGrabWait(wait, *ctx_);
  EXPECT_EQ(ctx_->ErrorCode(), 4314);
  ctx_->SetError(0, 0, 0, 0);
  const uint64_t before = board_->FrameCount(0);
  frame::OperationArgs next;
  next.Push(digitizer);
  next.Push(5);
  system_->DigGrabWait(next, *ctx_);
  EXPECT_EQ(ctx_->ErrorCode(), 0);
  EXPECT_GT(board_->FrameCount(0), before);
  EXPECT_EQ(system_->CheckDigSourceWindow(digitizer), 1);
  Control(digitizer, 4024, 600);  // 600 + 640 lies beyond the frame
  EXPECT_EQ(system_->CheckDigSourceWindow(digitizer), -1);
  Grab(digitizer, system_->AddBuffer(HostBuffer(1, 640, 480, 8)));
  EXPECT_EQ(ctx_->ErrorCode(), 4311);
}

TEST_F(DigitizerGrab, AStoppedContinuousGrabIsNotRestarted) {
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

struct GrabEvents {
  std::atomic<int> starts{0};
  std::atomic<int> ends{0};
};

QINT64 OnGrabStart(QINT64, QID, void* user) {
  ++static_cast<GrabEvents*>(user)->starts;
  return 0;
}

QINT64 OnGrabEnd(QINT64, QID, void* user) {
  ++static_cast<GrabEvents*>(user)->ends;
  return 0;
}

TEST_F(DigitizerGrab, GrabStartAndEndReachTheirHooks) {
  const int64_t digitizer = Digitizer(L"Q_NTSC");
  const int64_t buffer = system_->AddBuffer(HostBuffer(1, 640, 480, 8));
  GrabEvents events;
  const auto hook = [&](int64_t type, QHOOK_FUNCTION function) {
    frame::OperationArgs args;
    args.Push(digitizer);
    args.Push(type);
    args.Push(reinterpret_cast<intptr_t>(function));
    args.Push(reinterpret_cast<intptr_t>(&events));
    system_->DigHookFunction(args, *ctx_);
  };
  hook(4, &OnGrabStart);
  hook(3, &OnGrabEnd);
  ASSERT_EQ(ctx_->ErrorCode(), 0);
  Grab(digitizer, buffer);
  Grab(digitizer, buffer);
  for (int i = 0; i < 5000 && events.ends < 2; ++i) os::Sleep(1);
  EXPECT_EQ(events.starts, 2);
  EXPECT_EQ(events.ends, 2);
  hook(4 | Q_UNHOOK, &OnGrabStart);
  hook(3 | Q_UNHOOK, &OnGrabEnd);
  Grab(digitizer, buffer);
  EXPECT_EQ(events.starts, 2);
}

}  // namespace
}  // namespace zor::board
