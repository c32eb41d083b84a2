#include "platform/os/device/device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/os/refused.h"

namespace os {
namespace {

constexpr uint32_t kEcho = 0xD8A4u << 16 | 0x9FB << 2;
constexpr uint32_t kLater = 0xD8A4u << 16 | 0x9FC << 2;
constexpr uint32_t kKeep = 0xD8A4u << 16 | 0x9FD << 2;
constexpr uint32_t kAsIs = 0xD8A4u << 16 | 0x9FE << 2;
constexpr uint32_t kClose = 0xD8A4u << 16 | 0x9FF << 2;

// Echoes kEcho at once (adding 1 to every byte), returns kAsIs's whole buffer untouched,
// completes kKeep at once but holds on to it, keeps kLater requests until the test
// completes them, and answers kClose by closing the handle `closing` first.
class TestDevice : public Device {
 public:
  void Control(std::shared_ptr<IoRequest> request) override {
    if (request->code() == kEcho) {
      auto* bytes = static_cast<unsigned char*>(request->buffer());
      for (uint32_t i = 0; i < request->inputSize(); ++i) ++bytes[i];
      request->Complete(ERROR_SUCCESS, request->inputSize());
      return;
    }
    if (request->code() == kAsIs) {
      request->Complete(ERROR_SUCCESS, request->outputSize());
      return;
    }
    if (request->code() == kLater) {
      std::lock_guard lock(mutex);
      kept.push_back(std::move(request));
      return;
    }
    if (request->code() == kClose) {
      CloseHandle(closing);
      return;
    }
    if (request->code() == kKeep) {
      request->Complete(ERROR_SUCCESS, 0);
      held = std::move(request);
      return;
    }
    request->Complete(ERROR_INVALID_FUNCTION, 0);
  }
  void Cancelled(const IoRequest&) override { ++cancelled; }

  // Completes the oldest kept request with the given output.
  void CompleteKept(const char* output, uint32_t bytes) {
    std::shared_ptr<IoRequest> request;
    {
      std::lock_guard lock(mutex);
      request = kept.front();
      kept.erase(kept.begin());
    }
    std::memcpy(request->buffer(), output, std::min(bytes, request->outputSize()));
    request->Complete(ERROR_SUCCESS, bytes);
  }

  std::mutex mutex;
  std::vector<std::shared_ptr<IoRequest>> kept;
  std::shared_ptr<IoRequest> held;
  Handle closing{};
  int cancelled = 0;
};

class TestProvider : public DeviceProvider {
 public:
  std::shared_ptr<Device> Open(uint32_t unit) override { return unit == 0 ? device : nullptr; }
  std::shared_ptr<TestDevice> device = std::make_shared<TestDevice>();
};

class Devices : public testing::Test {
 protected:
  void SetUp() override {
    RegisterDeviceProvider(L"TestBoard", provider_);
    handle_ = CreateFile(L"\\\\.\\TESTBOARD_0", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED);
    ASSERT_NE(handle_, INVALID_HANDLE_VALUE);
    overlapped_.hEvent = CreateEvent(true, false);
  }
  void TearDown() override {
    CloseHandle(handle_);
    CloseHandle(overlapped_.hEvent);
    UnregisterDeviceProvider(L"TestBoard");
  }

  std::shared_ptr<TestProvider> provider_ = std::make_shared<TestProvider>();
  Handle handle_{};
  Overlapped overlapped_;
};

TEST_F(Devices, ImmediateRequestReturnsTheOutputInTheSameBuffer) {
  unsigned char record[4] = {1, 2, 3, 4};
  uint32_t bytes = 0;
  ASSERT_TRUE(DeviceIoControl(handle_, kEcho, record, 4, record, 4, &bytes, &overlapped_));
  EXPECT_EQ(std::to_string(bytes) + ":" + std::string(record, record + 4), "4:\2\3\4\5");
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped_));
  Refused(!DeviceIoControl(handle_, 0x1234, record, 4, record, 4, &bytes, &overlapped_),
          ERROR_INVALID_FUNCTION);
}

TEST_F(Devices, PendingRequestCompletesLaterFromAnotherThread) {
  char output[8] = {};
  uint32_t bytes = 99;
  ASSERT_FALSE(DeviceIoControl(handle_, kLater, nullptr, 0, output, 8, &bytes, &overlapped_));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_FALSE(HasOverlappedIoCompleted(&overlapped_));
  EXPECT_EQ(overlapped_.Internal, STATUS_PENDING);
  Refused(!GetOverlappedResult(handle_, &overlapped_, &bytes, false), ERROR_IO_INCOMPLETE);
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 0), WAIT_TIMEOUT);
  // A device that claims more than the buffer holds is held to the buffer.
  std::thread completer([this] { provider_->device->CompleteKept("answer!!overflow", 16); });
  ASSERT_TRUE(GetOverlappedResult(handle_, &overlapped_, &bytes, true));
  completer.join();
  EXPECT_EQ(std::to_string(bytes) + ":" + std::string(output, 8), "8:answer!!");
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(GetOverlappedResult(handle_, &overlapped_, &bytes, false));
}

TEST_F(Devices, CancelAbortsPendingRequestsAndIgnoresLateCompletion) {
  char output[4] = {'x', 'x', 'x', 'x'};
  ASSERT_FALSE(DeviceIoControl(handle_, kLater, nullptr, 0, output, 4, nullptr, &overlapped_));
  ASSERT_TRUE(CancelIo(handle_));
  EXPECT_EQ(provider_->device->cancelled, 1);
  uint32_t bytes = 0;
  Refused(!GetOverlappedResult(handle_, &overlapped_, &bytes, true), ERROR_OPERATION_ABORTED);
  provider_->device->CompleteKept("late", 4);
  EXPECT_EQ(std::string(output, 4), "xxxx");
}

TEST_F(Devices, CancelTouchesOnlyTheCallingThreadsRequests) {
  char output[4];
  Overlapped other;
  std::thread([&] {
    ASSERT_FALSE(DeviceIoControl(handle_, kLater, nullptr, 0, output, 4, nullptr, &other));
  }).join();
  ASSERT_TRUE(CancelIo(handle_));
  EXPECT_EQ(provider_->device->cancelled, 0);
  EXPECT_FALSE(HasOverlappedIoCompleted(&other));
  provider_->device->CompleteKept("done", 4);
  uint32_t bytes = 0;
  EXPECT_TRUE(GetOverlappedResult(handle_, &other, &bytes, false));
  EXPECT_EQ(bytes, 4u);
}

TEST_F(Devices, ClosingTheHandleCancelsWhatIsPending) {
  char output[4];
  ASSERT_FALSE(DeviceIoControl(handle_, kLater, nullptr, 0, output, 4, nullptr, &overlapped_));
  ASSERT_TRUE(CloseHandle(handle_));
  EXPECT_EQ(provider_->device->cancelled, 1);
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(HasOverlappedIoCompleted(&overlapped_));
  Refused(!GetOverlappedResult(handle_, &overlapped_, nullptr, true), ERROR_INVALID_HANDLE);
  // Closed while its device still serves a request: the request is cancelled, not left waiting.
  provider_->device->closing = CreateFile(L"\\\\.\\TestBoard_0", 0, 0, OPEN_EXISTING, 0);
  Refused(
      !DeviceIoControl(provider_->device->closing, kClose, nullptr, 0, output, 4, nullptr, nullptr),
      ERROR_OPERATION_ABORTED);
  EXPECT_EQ(provider_->device->cancelled, 2);
  handle_ = CreateFile(L"\\\\.\\TestBoard_0", 0, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
}

// Waits that begin before, during and after the completion: none of them misses it.
TEST_F(Devices, EveryThreadWaitingForARequestSeesItComplete) {
  for (int round = 0; round < 100; ++round) {
    char output[4] = {};
    ASSERT_FALSE(DeviceIoControl(handle_, kLater, nullptr, 0, output, 4, nullptr, &overlapped_));
    std::atomic<int> answered{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
      waiters.emplace_back([&] {
        uint32_t bytes = 0;
        if (GetOverlappedResult(handle_, &overlapped_, &bytes, true) && bytes == 4) ++answered;
      });
    }
    provider_->device->CompleteKept("done", 4);
    for (std::thread& waiter : waiters) waiter.join();
    EXPECT_EQ(answered.load(), 3);
    EXPECT_EQ(std::string(output, 4), "done");
  }
}

TEST_F(Devices, WithoutOverlappedTheCallWaitsForCompletion) {
  char output[4] = {};
  std::thread completer([this] {
    while (true) {
      {
        std::lock_guard lock(provider_->device->mutex);
        if (!provider_->device->kept.empty()) break;
      }
      Sleep(1);
    }
    provider_->device->CompleteKept("done", 4);
  });
  uint32_t bytes = 0;
  EXPECT_TRUE(DeviceIoControl(handle_, kLater, nullptr, 0, output, 4, &bytes, nullptr));
  completer.join();
  EXPECT_EQ(bytes, 4u);
  EXPECT_EQ(std::string(output, 4), "done");
}

// Requests of one thread share an object only while nothing else holds it.
TEST_F(Devices, ARequestTheDeviceStillHoldsIsNotReused) {
  unsigned char kept[4] = {7, 7, 7, 7};
  ASSERT_TRUE(DeviceIoControl(handle_, kKeep, kept, 4, kept, 4, nullptr, &overlapped_));
  const std::shared_ptr<IoRequest> held = provider_->device->held;
  unsigned char echoed[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint32_t bytes = 0;
  ASSERT_TRUE(DeviceIoControl(handle_, kEcho, echoed, 8, echoed, 8, &bytes, &overlapped_));
  EXPECT_EQ(echoed[7], 9);
  EXPECT_EQ(held->code(), kKeep);
  EXPECT_EQ(held->inputSize(), 4u);
  EXPECT_EQ(static_cast<unsigned char*>(held->buffer())[0], 7);
  EXPECT_TRUE(held->IsDone());
}

// A thread's requests share one buffer: whatever an earlier, larger request left there, the
// device sees a request's input followed by zeros, never an earlier request's bytes.
TEST_F(Devices, ARequestsBufferHoldsItsInputThenZeros) {
  std::vector<unsigned char> large(64, 0xAB);
  ASSERT_TRUE(
      DeviceIoControl(handle_, kEcho, large.data(), 64, large.data(), 64, nullptr, &overlapped_));
  ASSERT_EQ(large[63], 0xAC);
  for (uint32_t input : {0u, 4u, 8u}) {
    unsigned char small[2] = {1, 2};
    ASSERT_TRUE(DeviceIoControl(handle_, kEcho, small, 2, small, 2, nullptr, &overlapped_));
    std::vector<unsigned char> reply(64, 0xEE);
    const std::vector<unsigned char> sent(input, 0x5A);
    uint32_t bytes = 0;
    ASSERT_TRUE(DeviceIoControl(handle_, kAsIs, input > 0 ? sent.data() : nullptr, input,
                                reply.data(), 64, &bytes, &overlapped_));
    ASSERT_EQ(bytes, 64u);
    for (uint32_t i = 0; i < 64; ++i) {
      ASSERT_EQ(reply[i], i < input ? 0x5A : 0) << "input " << input << ", byte " << i;
    }
  }
}

// Threads send requests that complete at once and later, on handles of their own and a shared
// one, while others open and close handles: each gets its own answer (run under TSan).
TEST_F(Devices, ThreadsSendingAndClosingHandlesAtOnceKeepTheirAnswers) {
  constexpr int kThreads = 6;
  constexpr int kRounds = 300;
  std::atomic<bool> stop{false};
  std::thread completer([&] {
    while (!stop.load()) {
      bool any = false;
      {
        std::lock_guard lock(provider_->device->mutex);
        any = !provider_->device->kept.empty();
      }
      if (any) {
        provider_->device->CompleteKept("late", 4);
      } else {
        std::this_thread::yield();
      }
    }
  });
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      Overlapped block;
      block.hEvent = CreateEvent(true, false);
      for (int round = 0; round < kRounds; ++round) {
        const Handle own = CreateFile(L"\\\\.\\TestBoard_0", 0, 0, OPEN_EXISTING, 0);
        unsigned char record[2] = {static_cast<unsigned char>(t),
                                   static_cast<unsigned char>(round)};
        uint32_t bytes = 0;
        EXPECT_TRUE(DeviceIoControl(round % 2 ? own : handle_, kEcho, record, 2, record, 2, &bytes,
                                    &block));
        EXPECT_EQ(record[0] << 8 | record[1], (t + 1) % 256 << 8 | (round + 1) % 256);
        char output[4] = {};
        EXPECT_TRUE(DeviceIoControl(own, kLater, nullptr, 0, output, 4, &bytes, nullptr));
        EXPECT_EQ(std::string(output, 4), "late");
        EXPECT_TRUE(CloseHandle(own));
        Refused(!DeviceIoControl(own, kEcho, record, 2, record, 2, &bytes, &block),
                ERROR_INVALID_HANDLE);
      }
      CloseHandle(block.hEvent);
    });
  }
  for (std::thread& sender : senders) sender.join();
  stop = true;
  completer.join();
}

// A device that serves a request by sending one of its own to another device, on the same
// thread: each request keeps its own buffer and answer.
class RelayDevice : public Device {
 public:
  explicit RelayDevice(Handle target) : target_(target) {}
  void Control(std::shared_ptr<IoRequest> request) override {
    unsigned char inner[3] = {10, 20, 30};
    uint32_t bytes = 0;
    innerAnswered = DeviceIoControl(target_, kEcho, inner, 3, inner, 3, &bytes, nullptr) &&
                    bytes == 3 && inner[0] == 11 && inner[2] == 31;
    static_cast<unsigned char*>(request->buffer())[0] = 0x5A;
    request->Complete(ERROR_SUCCESS, 1);
  }
  bool innerAnswered = false;

 private:
  Handle target_;
};

TEST_F(Devices, ARequestSentWhileServingAnotherOnTheSameThreadKeepsItsOwn) {
  auto relay = std::make_shared<RelayDevice>(handle_);
  class RelayProvider : public DeviceProvider {
   public:
    explicit RelayProvider(std::shared_ptr<Device> device) : device_(std::move(device)) {}
    std::shared_ptr<Device> Open(uint32_t) override { return device_; }

   private:
    std::shared_ptr<Device> device_;
  };
  RegisterDeviceProvider(L"Relay", std::make_shared<RelayProvider>(relay));
  const Handle outer = CreateFile(L"\\\\.\\RELAY_0", 0, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
  unsigned char record[6] = {1, 2, 3, 4, 5, 6};
  uint32_t bytes = 0;
  ASSERT_TRUE(DeviceIoControl(outer, kEcho, record, 6, record, 6, &bytes, &overlapped_));
  EXPECT_TRUE(relay->innerAnswered);
  EXPECT_EQ(std::to_string(bytes) + ":" + std::string(record, record + 6), "1:\x5A\2\3\4\5\6");
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 0), WAIT_OBJECT_0);
  CloseHandle(outer);
  UnregisterDeviceProvider(L"Relay");
}

TEST_F(Devices, UnknownNamesAndBadHandlesAreRefused) {
  for (const wchar_t* name :
       {L"\\\\.\\TestBoard_1", L"\\\\.\\Nothing_0", L"\\\\.\\TestBoard", L"\\\\.\\TestBoard_x",
        L"TestBoard_0", L"\\\\.\\TestBoard_4294967296"}) {
    Refused(CreateFile(name, 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
  }
  for (const wchar_t* name : {static_cast<const wchar_t*>(nullptr), L""}) {
    SetLastError(ERROR_SUCCESS);
    Refused(CreateFile(name, 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
  }
  char buffer[4];
  uint32_t bytes = 0;
  for (Handle bad : {kNullHandle, INVALID_HANDLE_VALUE, overlapped_.hEvent}) {
    Refused(!DeviceIoControl(bad, kEcho, buffer, 4, buffer, 4, &bytes, &overlapped_),
            ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CancelIo(bad));
    EXPECT_FALSE(GetOverlappedResult(bad, &overlapped_, &bytes, false));
  }
  Refused(!DeviceIoControl(handle_, kEcho, nullptr, 4, buffer, 4, &bytes, &overlapped_),
          ERROR_INVALID_PARAMETER);
  // No block, or one pending that no request of the handle owns (nothing would complete it).
  Overlapped stranger{};
  stranger.Internal = STATUS_PENDING;
  for (Overlapped* block : {static_cast<Overlapped*>(nullptr), &stranger}) {
    SetLastError(ERROR_SUCCESS);
    Refused(!GetOverlappedResult(handle_, block, &bytes, true), ERROR_INVALID_PARAMETER);
  }
  // A device without reads or writes refuses both and moves no byte.
  bytes = 99;
  Refused(!ReadFile(handle_, buffer, 4, &bytes, &overlapped_), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(bytes, 0u);
  bytes = 99;
  Refused(!WriteFile(handle_, buffer, 4, &bytes, &overlapped_), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(bytes, 0u);
}

}  // namespace
}  // namespace os
