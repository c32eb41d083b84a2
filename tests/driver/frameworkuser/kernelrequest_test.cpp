// Kernel requests on the thread context's overlapped block.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "driver/frameworkuser/context/qddriverthreadcontext.h"
#include "interfaces/kernel/threadrequests.h"
#include "platform/os/core/error.h"
#include "platform/os/device/device.h"
#include "tests/driver/frameworkuser/support/handlecount.h"
#include "tests/driver/frameworkuser/support/testdriver.h"

namespace zor::frame {
namespace {

constexpr uint32_t Code(uint32_t function) { return 0xD8A4u << 16 | function << 2; }
constexpr uint32_t kAtOnce = Code(0xA00);
constexpr uint32_t kLater = Code(0xA01);
constexpr uint32_t kRefused = Code(0x9FB);
constexpr uint32_t kContextEvent = Code(0xA19);

// The context-event requests the device saw, each as its device, system, event and
// registration words.
std::vector<std::array<uint64_t, 4>> g_contextEvents;

// Answers at once, later from another thread, or with an error.
class TestDevice : public os::Device {
 public:
  ~TestDevice() override {
    if (completer_.joinable()) completer_.join();
  }
  void Control(std::shared_ptr<os::IoRequest> request) override {
    if (request->code() == kContextEvent) {
      auto* event = static_cast<zor::kernel::ContextEventRequest*>(request->buffer());
      g_contextEvents.push_back({event->header.deviceHandle, event->header.systemId,
                                 event->eventHandle, event->registration});
      if (event->registration == 0) event->registration = 77;
      request->Complete(os::ERROR_SUCCESS, sizeof(*event));
      return;
    }
    std::memset(request->buffer(), 0x5A, request->outputSize());
    if (request->code() == kAtOnce) {
      request->Complete(os::ERROR_SUCCESS, 16);
    } else if (request->code() == kLater) {
      completer_ = std::thread([request] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        request->Complete(os::ERROR_SUCCESS, 24);
      });
    } else {
      request->Complete(os::ERROR_INVALID_FUNCTION, 0);
    }
  }

 private:
  std::thread completer_;
};

class TestDeviceProvider : public os::DeviceProvider {
 public:
  std::shared_ptr<os::Device> Open(uint32_t) override { return std::make_shared<TestDevice>(); }
};

class KernelRequestTest : public ::testing::Test, protected ContextOnTestDriver {
 protected:
  void SetUp() override {
    os::RegisterDeviceProvider(L"FWTEST", std::make_shared<TestDeviceProvider>());
    device_ = os::CreateFile(L"\\\\.\\FWTEST_0", os::GENERIC_READ | os::GENERIC_WRITE,
                             os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, os::OPEN_EXISTING,
                             os::FILE_FLAG_OVERLAPPED);
    ASSERT_NE(device_, os::INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    os::CloseHandle(device_);
    os::UnregisterDeviceProvider(L"FWTEST");
  }

  uint32_t Send(uint32_t code) {
    std::memset(request_, 0, sizeof(request_));
    return ctx.DeviceIoControl(device_, code, request_, sizeof(request_), request_,
                               sizeof(request_));
  }
  std::wstring SubText(int index) {
    wchar_t texts[4][kOwnTextSize];
    ctx.GetError(2, texts[0], texts[1], texts[2], texts[3]);
    return texts[index];
  }

  os::Handle device_{};
  unsigned char request_[96];
};

TEST_F(KernelRequestTest, CompletedAtOnceOrLaterGivesTheBytesWritten) {
  EXPECT_EQ(Send(kAtOnce), 16u);
  EXPECT_EQ(request_[0], 0x5A);
  EXPECT_EQ(Send(kLater), 24u);
  EXPECT_EQ(request_[23], 0x5A);
  EXPECT_EQ(ctx.ErrorCode(), 0);
}

TEST_F(KernelRequestTest, TransportFailureRecordsTheControlCodeAndSystemText) {
  EXPECT_EQ(Send(kRefused), 0u);
  EXPECT_EQ((std::vector{ctx.ErrorCode(), ctx.SubCode(1), ctx.SubCode(2)}),
            (std::vector<int64_t>{4336, 2, 6}));
  const std::wstring expected = L"Control code: 2555, returned Error: 0x1 " +
                                os::FormatErrorMessage(os::ERROR_INVALID_FUNCTION);
  EXPECT_EQ(SubText(2), expected.substr(0, kOwnTextSize - 1));
  // A second failure in the same command keeps the first text.
  EXPECT_EQ(ctx.DeviceIoControl(os::INVALID_HANDLE_VALUE, Code(0xA32), request_, 8, request_, 8),
            0u);
  EXPECT_EQ(SubText(2), expected.substr(0, kOwnTextSize - 1));
  // An invalid handle is a transport failure too.
  ctx.SetError(0, 0, 0, 0);
  EXPECT_EQ(ctx.DeviceIoControl(os::INVALID_HANDLE_VALUE, 0xD8A427EC, request_, 8, request_, 8),
            0u);
  EXPECT_EQ(ctx.ErrorCode(), 4336);
  EXPECT_EQ(SubText(2).rfind(L"Control code: 2555, returned Error: 0x6 ", 0), 0u);
}

// Registered again, the context drops its first event; its end drops the registration on the
// device it was made on, and the last event.
TEST_F(KernelRequestTest, PerSystemContextRegistersItsEventAndDropsItAtTheEnd) {
  g_contextEvents = {};
  const uint32_t handles = zortest::HandleCount();
  const uint64_t device = os::HandleValue(device_);
  uint64_t event = 0;
  {
    QDZorThreadContext context(ctx, 1);
    EXPECT_EQ(context.RegisterEvent(os::INVALID_HANDLE_VALUE, 5, true), 0u);
    EXPECT_EQ(context.RegisterEvent(device_, 5, false), 0u);
    EXPECT_NE(context.Event(), os::kNullHandle);
    EXPECT_TRUE(g_contextEvents.empty());
    EXPECT_EQ(context.RegisterEvent(device_, 9, true), 77u);
    event = os::HandleValue(context.Event());
    EXPECT_EQ(zortest::HandleCount(), handles + 1);
  }
  EXPECT_EQ(g_contextEvents,
            (std::vector<std::array<uint64_t, 4>>{{device, 9, event, 0}, {device, 9, event, 77}}));
  EXPECT_EQ(zortest::HandleCount(), handles);
}

// Seconds to milliseconds; any negative time-out, and one too long to hold, waits without limit.
TEST(ThreadContextTimeout, MillisecondsOfTheSeconds) {
  const std::pair<double, int64_t> rows[] = {{20, 20000},  {0, 0},   {0.0005, 0},
                                             {-0.001, -1}, {-1, -1}, {1e300, INT64_MAX}};
  ContextOnTestDriver own;
  QDZorThreadContext context(own.ctx, 1);
  for (const auto& [seconds, milliseconds] : rows) {
    context.SetTimeoutSeconds(seconds);
    EXPECT_EQ(context.TimeoutMilliseconds(), milliseconds) << seconds;
  }
}

}  // namespace
}  // namespace zor::frame
