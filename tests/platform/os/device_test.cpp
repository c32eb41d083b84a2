#include "platform/os/device/device.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/os/core/error.h"
#include "platform/os/device/device_file.h"
#include "platform/os/registry/registry.h"
#include "platform/os/serial/port_core.h"
#include "platform/os/serial/port_paths.h"
#include "platform/os/serial/serial.h"
#include "platform/os/serial/serial_port.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/os/refused.h"
#include "tests/support/processfacts.h"

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

// Opens its one device as unit 0.
template <class D>
class TestProvider : public DeviceProvider {
 public:
  explicit TestProvider(std::shared_ptr<D> d) : device(std::move(d)) {}
  std::shared_ptr<Device> Open(uint32_t unit) override { return unit == 0 ? device : nullptr; }
  std::shared_ptr<D> device;
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
    for (Handle h : {handle_, overlapped_.hEvent}) CloseHandle(h);
    UnregisterDeviceProvider(L"TestBoard");
  }

  std::shared_ptr<TestProvider<TestDevice>> provider_ =
      std::make_shared<TestProvider<TestDevice>>(std::make_shared<TestDevice>());
  Handle handle_{};
  Overlapped overlapped_;
};

TEST_F(Devices, ImmediateRequestReturnsTheOutputInTheSameBuffer) {
  unsigned char record[4] = {1, 2, 3, 4};
  uint32_t bytes = 0;
  ASSERT_TRUE(DeviceIoControl(handle_, kEcho, record, 4, record, 4, &bytes, &overlapped_));
  EXPECT_EQ(std::to_string(bytes) + ":" + std::string(record, record + 4) +
                std::to_string(WaitForSingleObject(overlapped_.hEvent, 0)) +
                std::to_string(HasOverlappedIoCompleted(&overlapped_)),
            "4:\2\3\4\5"
            "01");
  Refused(!DeviceIoControl(handle_, 0x1234, record, 4, record, 4, &bytes, &overlapped_),
          ERROR_INVALID_FUNCTION);
}

TEST_F(Devices, PendingRequestCompletesLaterFromAnotherThread) {
  char output[8] = {};
  uint32_t bytes = 99;
  ASSERT_FALSE(DeviceIoControl(handle_, kLater, nullptr, 0, output, 8, &bytes, &overlapped_));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(std::make_tuple(HasOverlappedIoCompleted(&overlapped_), overlapped_.Internal,
                            WaitForSingleObject(overlapped_.hEvent, 0)),
            std::make_tuple(false, std::uintptr_t{STATUS_PENDING}, uint32_t{WAIT_TIMEOUT}));
  Refused(!GetOverlappedResult(handle_, &overlapped_, &bytes, false), ERROR_IO_INCOMPLETE);
  Overlapped later;  // pending too, but not the request waited for
  char other[4];
  ASSERT_FALSE(DeviceIoControl(handle_, kLater, nullptr, 0, other, 4, nullptr, &later));
  // A device that claims more than the buffer holds is held to the buffer.
  std::thread completer([this] { provider_->device->CompleteKept("answer!!overflow", 16); });
  ASSERT_TRUE(GetOverlappedResult(handle_, &overlapped_, &bytes, true));
  completer.join();
  EXPECT_EQ(std::to_string(bytes) + ":" + std::string(output, 8) +
                std::to_string(WaitForSingleObject(overlapped_.hEvent, 0)) +
                std::to_string(GetOverlappedResult(handle_, &overlapped_, &bytes, false)),
            "8:answer!!01");
  provider_->device->CompleteKept("done", 4);  // the later one, before its block goes
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
  EXPECT_EQ(std::pair(provider_->device->cancelled, HasOverlappedIoCompleted(&other)),
            std::pair(0, false));
  provider_->device->CompleteKept("done", 4);
  uint32_t bytes = 0;
  EXPECT_EQ(std::pair(GetOverlappedResult(handle_, &other, &bytes, false), bytes),
            std::pair(true, 4u));
}

TEST_F(Devices, ClosingTheHandleCancelsWhatIsPending) {
  char output[4];
  ASSERT_FALSE(DeviceIoControl(handle_, kLater, nullptr, 0, output, 4, nullptr, &overlapped_));
  ASSERT_TRUE(CloseHandle(handle_));
  EXPECT_EQ(
      std::make_tuple(provider_->device->cancelled, WaitForSingleObject(overlapped_.hEvent, 0),
                      HasOverlappedIoCompleted(&overlapped_)),
      std::make_tuple(1, uint32_t{WAIT_OBJECT_0}, true));
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
    EXPECT_EQ(std::to_string(answered.load()) + std::string(output, 4), "3done");
  }
}

// Requests of one thread share an object only while nothing else holds it.
TEST_F(Devices, ARequestTheDeviceStillHoldsIsNotReused) {
  unsigned char kept[4] = {7, 7, 7, 7};
  ASSERT_TRUE(DeviceIoControl(handle_, kKeep, kept, 4, kept, 4, nullptr, &overlapped_));
  const std::shared_ptr<IoRequest> held = provider_->device->held;
  unsigned char echoed[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint32_t bytes = 0;
  ASSERT_TRUE(DeviceIoControl(handle_, kEcho, echoed, 8, echoed, 8, &bytes, &overlapped_));
  EXPECT_EQ(std::make_tuple(echoed[7], held->code(), held->inputSize(),
                            static_cast<unsigned char*>(held->buffer())[0], held->IsDone()),
            std::make_tuple(uint8_t{9}, kKeep, 4u, uint8_t{7}, true));
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
        // Without a block the call waits for the completion.
        char output[4] = {};
        EXPECT_TRUE(DeviceIoControl(own, kLater, nullptr, 0, output, 4, &bytes, nullptr));
        EXPECT_EQ(std::to_string(bytes) + std::string(output, 4), "4late");
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
  RegisterDeviceProvider(L"Relay", std::make_shared<TestProvider<RelayDevice>>(relay));
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
    Refused(CreateFile(name, 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE, ERROR_INVALID_NAME);
  }
  char buffer[4];
  uint32_t bytes = 0;
  for (Handle bad : {kNullHandle, INVALID_HANDLE_VALUE, overlapped_.hEvent}) {
    Refused(!DeviceIoControl(bad, kEcho, buffer, 4, buffer, 4, &bytes, &overlapped_),
            ERROR_INVALID_HANDLE);
    Refused(!CancelIo(bad), ERROR_INVALID_HANDLE);
    Refused(!GetOverlappedResult(bad, &overlapped_, &bytes, false), ERROR_INVALID_HANDLE);
  }
  Refused(!DeviceIoControl(handle_, kEcho, nullptr, 4, buffer, 4, &bytes, &overlapped_),
          ERROR_INVALID_PARAMETER);
  // No block, or one pending that no request of the handle owns (nothing would complete it).
  Overlapped stranger{};
  stranger.Internal = STATUS_PENDING;
  for (Overlapped* block : {static_cast<Overlapped*>(nullptr), &stranger}) {
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

using Clock = std::chrono::steady_clock;

// Processor time the whole process has used, in seconds.
double ProcessorSeconds() {
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// COM7 opens the far side of a pseudo-terminal; the test plays the other end.
class SerialPorts : public testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    SetSerialPortPath(L"COM7", ptsname(master_));
    port_ = CreateFile(L"\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
    DCB dcb;
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.BaudRate = 9600;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    overlapped_.hEvent = CreateEvent(true, false);
  }
  void TearDown() override {
    for (Handle h : {port_, overlapped_.hEvent}) CloseHandle(h);
    close(master_);
    SetSerialPortPath(L"COM7", "");
    SetSerialPortPath(L"COM8", "");
  }

  // Up to `count` bytes, until none comes for `quietMs`.
  std::string ReadMaster(size_t count, int quietMs = 2000) {
    std::string text;
    while (text.size() < count) {
      pollfd fd{master_, POLLIN, 0};
      if (poll(&fd, 1, quietMs) <= 0) break;
      char chunk[64];
      ssize_t got = read(master_, chunk, std::min(sizeof(chunk), count - text.size()));
      if (got <= 0) break;
      text.append(chunk, got);
    }
    return text;
  }
  void WriteMaster(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  int master_ = -1;
  Handle port_{};
  Overlapped overlapped_;
};

// The terminal settings of a pseudo-terminal's far side, as the kernel holds them.
termios2 FarTerminal(int master) {
  termios2 settings = {};
  const int far = open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(far, 0);
  EXPECT_EQ(ioctl(far, TCGETS2, &settings), 0);
  close(far);
  return settings;
}

// Whether a transfer just started completes within the time given; one that does not is
// purged.
bool Finishes(Handle port, Overlapped& overlapped, bool done, uint32_t milliseconds,
              uint32_t* bytes) {
  if (!done && GetLastError() != ERROR_IO_PENDING) return false;
  if (!done && WaitForSingleObject(overlapped.hEvent, milliseconds) != WAIT_OBJECT_0) {
    PurgeComm(port, PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR);
    return false;
  }
  return GetOverlappedResult(port, &overlapped, bytes, true);
}

TEST_F(SerialPorts, RoundTripOverAPseudoTerminal) {
  uint32_t bytes = 0;
  ASSERT_TRUE(Finishes(port_, overlapped_, WriteFile(port_, "ping", 4, &bytes, &overlapped_), 5000,
                       &bytes));
  EXPECT_EQ(std::to_string(bytes) + ":" + ReadMaster(4), "4:ping");

  char reply[4] = {};
  const bool done = ReadFile(port_, reply, 4, &bytes, &overlapped_);
  WriteMaster("po");
  WriteMaster("ng");
  ASSERT_TRUE(Finishes(port_, overlapped_, done, 5000, &bytes));
  EXPECT_EQ(std::to_string(bytes) + ":" + std::string(reply, 4), "4:pong");
}

TEST_F(SerialPorts, LineSettingsIncludingNonStandardRates) {
  DCB dcb;
  ASSERT_TRUE(GetCommState(port_, &dcb));
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);  // as the fresh terminal was opened
  dcb.BaudRate = 250000;
  dcb.ByteSize = 7;
  dcb.Parity = EVENPARITY;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fRtsControl = RTS_CONTROL_TOGGLE;
  ASSERT_TRUE(SetCommState(port_, &dcb));
  DCB read;
  ASSERT_TRUE(GetCommState(port_, &read));
  EXPECT_EQ(std::vector<uint32_t>(
                {read.BaudRate, read.ByteSize, read.Parity, read.StopBits, read.fRtsControl}),
            std::vector<uint32_t>({250000, 7, EVENPARITY, TWOSTOPBITS, RTS_CONTROL_TOGGLE}));
  for (auto change :
       {+[](DCB& d) { d.ByteSize = 9; }, +[](DCB& d) { d.Parity = 7; },
        +[](DCB& d) { d.BaudRate = 0; }, +[](DCB& d) { d.StopBits = ONE5STOPBITS; }}) {
    DCB bad = read;
    change(bad);
    Refused(!SetCommState(port_, &bad), ERROR_INVALID_PARAMETER);
  }
  DCB kept;
  GetCommState(port_, &kept);
  EXPECT_EQ(kept.ByteSize, 7);
}

TEST_F(SerialPorts, CharacterEventWaitsWithoutPollingAndCountsPendingBytes) {
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
  uint32_t events = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &events, &overlapped_));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 20), WAIT_TIMEOUT);
  WriteMaster("xyz");
  ASSERT_EQ(WaitForSingleObject(overlapped_.hEvent, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(events, EV_RXCHAR);

  SERIAL_STATUS status;
  Overlapped query;
  query.hEvent = CreateEvent(true, false);
  uint32_t bytes = 0;
  if (!DeviceIoControl(port_, IOCTL_SERIAL_GET_COMMSTATUS, nullptr, 0, &status, sizeof(status),
                       &bytes, &query)) {
    ASSERT_TRUE(GetOverlappedResult(port_, &query, &bytes, true));
  }
  EXPECT_EQ(std::pair(bytes, status.AmountInInQueue), std::pair(uint32_t{sizeof(status)}, 3u));
  CloseHandle(query.hEvent);

  // Unread characters are no new event: a fresh wait stays pending.
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
  events = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &events, &overlapped_));
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 20), WAIT_TIMEOUT);
  WriteMaster("w");
  ASSERT_EQ(WaitForSingleObject(overlapped_.hEvent, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(events, EV_RXCHAR);
  // A character that came while no wait ran is told to the next wait without delay.
  WriteMaster("v");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  events = 0;
  if (!WaitCommEvent(port_, &events, &overlapped_)) {
    ASSERT_EQ(WaitForSingleObject(overlapped_.hEvent, 2000), WAIT_OBJECT_0);
  }
  EXPECT_EQ(events, EV_RXCHAR);

  // Beside a running wait: a second wait, a short mask and replies with no room are refused.
  events = 99;
  ASSERT_FALSE(WaitCommEvent(port_, &events, &overlapped_));
  Overlapped extra;
  extra.hEvent = CreateEvent(true, false);
  uint32_t other = 0;
  const uint32_t mask = EV_RXCHAR;
  const std::pair<std::function<bool()>, uint32_t> refused[] = {
      {[&] { return WaitCommEvent(port_, &other, &extra); }, ERROR_INVALID_PARAMETER},
      {[&] {
         return DeviceIoControl(port_, IOCTL_SERIAL_GET_COMMSTATUS, nullptr, 0, &status, 4, &bytes,
                                &extra);
       },
       ERROR_INSUFFICIENT_BUFFER},
      {[&] {
         return DeviceIoControl(port_, IOCTL_SERIAL_SET_WAIT_MASK, &mask, 2, nullptr, 0, &bytes,
                                &extra);
       },
       ERROR_INVALID_PARAMETER},
      {[&] {
         return DeviceIoControl(port_, IOCTL_SERIAL_WAIT_ON_MASK, nullptr, 0, &other, 2, &bytes,
                                &extra);
       },
       ERROR_INSUFFICIENT_BUFFER}};
  for (size_t i = 0; i < std::size(refused); ++i) {
    SCOPED_TRACE(i);
    Refused(!refused[i].first(), refused[i].second);
  }
  // A new mask ends the running wait with no events; without a mask there is nothing to wait for.
  EXPECT_EQ(WaitForSingleObject(overlapped_.hEvent, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(DeviceIoControl(port_, IOCTL_SERIAL_SET_WAIT_MASK, &mask, sizeof(mask), nullptr, 0,
                              &bytes, &extra));
  ASSERT_EQ(WaitForSingleObject(overlapped_.hEvent, 2000), WAIT_OBJECT_0);
  EXPECT_EQ(events, 0u);
  ASSERT_TRUE(SetCommMask(port_, 0));
  Refused(!WaitCommEvent(port_, &other, &extra), ERROR_INVALID_PARAMETER);
  CloseHandle(extra.hEvent);
}

TEST_F(SerialPorts, PurgeAbortsPendingReadsAndClearsInput) {
  char buffer[4];
  ASSERT_FALSE(ReadFile(port_, buffer, 4, nullptr, &overlapped_));
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR));
  uint32_t bytes = 0;
  Refused(!GetOverlappedResult(port_, &overlapped_, &bytes, true), ERROR_OPERATION_ABORTED);
  // What arrived and nobody read yet is gone too, from the line as well as the port: more
  // than the port takes in leaves the rest on the line.
  WriteMaster(std::string(6000, 'a'));
  Sleep(50);
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXCLEAR));
  COMSTAT status;
  uint32_t errors = 0;
  ASSERT_TRUE(ClearCommError(port_, &errors, &status));
  COMMTIMEOUTS immediate{0xFFFFFFFF, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &immediate));
  ASSERT_TRUE(
      Finishes(port_, overlapped_, ReadFile(port_, buffer, 4, &bytes, &overlapped_), 2000, &bytes));
  EXPECT_EQ(std::pair(status.cbInQue, bytes), std::pair(0u, 0u));
}

TEST_F(SerialPorts, InjectedLineErrorsAreReportedOnce) {
  ASSERT_TRUE(InjectCommErrors(port_, CE_FRAME | CE_RXPARITY));
  uint32_t errors = 0;
  COMSTAT status;
  ASSERT_TRUE(ClearCommError(port_, &errors, &status));
  uint32_t again = 99;
  ASSERT_TRUE(ClearCommError(port_, &again, nullptr));
  EXPECT_EQ(std::pair(errors, again), std::pair(uint32_t{CE_FRAME | CE_RXPARITY}, 0u));
}

TEST_F(SerialPorts, HungUpLineLeavesThePortIdle) {
  close(master_);
  master_ = -1;
  Sleep(20);
  const double before = ProcessorSeconds();
  Sleep(200);
  // An I/O thread that kept polling the dead line would burn all of it.
  EXPECT_LT(ProcessorSeconds() - before, 0.1);
  COMMTIMEOUTS immediate{0xFFFFFFFF, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &immediate));
  char buffer[4];
  uint32_t bytes = 9;
  ASSERT_TRUE(ReadFile(port_, buffer, 4, &bytes, nullptr));
  EXPECT_EQ(bytes, 0u);
}

TEST_F(SerialPorts, HangingUpEndsWaitingReads) {
  Overlapped arrival;
  arrival.hEvent = CreateEvent(true, false);
  uint32_t events = 0;
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
  ASSERT_FALSE(WaitCommEvent(port_, &events, &arrival));
  char partial[4];
  ASSERT_FALSE(ReadFile(port_, partial, 4, nullptr, &overlapped_));
  WriteMaster("ab");
  ASSERT_EQ(WaitForSingleObject(arrival.hEvent, 5000), WAIT_OBJECT_0);
  CloseHandle(arrival.hEvent);
  close(master_);
  master_ = -1;
  // What arrived before the hang-up is delivered; a read that would wait for more fails.
  uint32_t bytes = 0;
  ASSERT_TRUE(GetOverlappedResult(port_, &overlapped_, &bytes, true));
  EXPECT_EQ(std::string(partial, bytes), "ab");
  Overlapped later;
  char nothing[4];
  Refused(!(ReadFile(port_, nothing, 4, &bytes, &later) &&
            GetOverlappedResult(port_, &later, &bytes, true)),
          ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(SerialPorts, PseudoTerminalsKeepLineSettingsTheyCannotApply) {
  DCB dcb;
  ASSERT_TRUE(GetCommState(port_, &dcb));
  dcb.ByteSize = 7;
  dcb.Parity = ODDPARITY;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  ASSERT_TRUE(SetCommState(port_, &dcb));
  EXPECT_EQ(FarTerminal(master_).c_cflag & (CSIZE | PARENB | PARODD | CMSPAR), tcflag_t{CS8});
  DCB read;
  ASSERT_TRUE(GetCommState(port_, &read));
  EXPECT_EQ(std::pair(read.ByteSize, read.Parity), std::pair(uint8_t{7}, uint8_t{ODDPARITY}));
  WriteMaster("\xff");
  char byte = 0;
  uint32_t bytes = 0;
  ASSERT_TRUE(
      Finishes(port_, overlapped_, ReadFile(port_, &byte, 1, &bytes, &overlapped_), 5000, &bytes));
  EXPECT_EQ(static_cast<unsigned char>(byte), 0xFF);
}

// What the settings make of the line, read back from the terminal rather than the port's record.
TEST_F(SerialPorts, SettingsReachTheTerminal) {
  struct Case {
    const char* what;
    uint32_t baud;
    uint8_t byteSize;
    uint8_t stopBits;
    bool outX, inX, handshake;
    const char* terminal;  // speeds, then the stop, XON, XOFF and RTS/CTS flags
  };
  const Case cases[] = {
      {"one stop bit", 9600, 8, ONESTOPBIT, false, false, false, "9600 9600 0000"},
      {"two stop bits", 19200, 8, TWOSTOPBITS, false, false, false, "19200 19200 1000"},
      {"one and a half", 2400, 5, ONE5STOPBITS, false, false, false, "2400 2400 1000"},
      {"XON/XOFF out", 115200, 8, ONESTOPBIT, true, false, false, "115200 115200 0100"},
      {"XON/XOFF in", 57600, 8, ONESTOPBIT, false, true, false, "57600 57600 0010"},
      {"RTS/CTS", 250000, 8, ONESTOPBIT, false, false, true, "250000 250000 0001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DCB dcb;
    ASSERT_TRUE(GetCommState(port_, &dcb));
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.byteSize;
    dcb.StopBits = c.stopBits;
    dcb.fOutX = c.outX;
    dcb.fInX = c.inX;
    dcb.fRtsControl = c.handshake ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    ASSERT_TRUE(SetCommState(port_, &dcb));
    const termios2 t = FarTerminal(master_);
    EXPECT_EQ(
        std::to_string(t.c_ospeed) + " " + std::to_string(t.c_ispeed) + " " +
            std::to_string((t.c_cflag & CSTOPB) != 0) + std::to_string((t.c_iflag & IXON) != 0) +
            std::to_string((t.c_iflag & IXOFF) != 0) + std::to_string((t.c_cflag & CRTSCTS) != 0),
        c.terminal);
    // A pseudo-terminal carries whole bytes, five bits asked or not, and the line is raw.
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB), tcflag_t{CS8});
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);  // a read takes what has arrived
  }
}

// A total read time-out grows with the bytes asked for and ends a read with what arrived; a gap
// between bytes ends it too, and the write side's time-outs play no part.
TEST_F(SerialPorts, TimeOutsEndReadsWhenTheyShould) {
  struct Case {
    const char* what;
    COMMTIMEOUTS timeouts;
    uint32_t size;
    const char *before, *after;  // written before the read starts, and once it runs
    int atLeastMs, atMostMs;
  };
  const Case cases[] = {
      {"per byte", {0, 20, 0, 0, 0}, 10, "", "", 150, 1500},
      {"per byte and constant", {0, 10, 100, 0, 0}, 5, "", "", 120, 1500},
      {"constant only", {0, 0, 60, 5000, 5000}, 10, "", "", 40, 1500},
      {"what arrived", {0, 5, 20, 0, 0}, 8, "ab", "", 0, 1500},
      {"a gap between bytes", {30, 0, 0, 0, 0}, 8, "", "ab", 0, 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(SetCommTimeouts(port_, &c.timeouts));
    WriteMaster(c.before);
    std::vector<char> buffer(c.size);
    uint32_t bytes = 99;
    const auto start = Clock::now();
    const bool done = ReadFile(port_, buffer.data(), c.size, &bytes, &overlapped_);
    WriteMaster(c.after);
    ASSERT_TRUE(Finishes(port_, overlapped_, done, 3000, &bytes));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(std::string(buffer.data(), bytes), std::string(c.before) + c.after);
    EXPECT_GE(ms, c.atLeastMs);
    EXPECT_LE(ms, c.atMostMs);
  }
}

// Nobody reads the far side: the line fills and only the write's own time-out ends it.
TEST_F(SerialPorts, AWriteThatCannotFinishEndsAtItsOwnTimeOut) {
  COMMTIMEOUTS timeouts{0, 0, 0, 0, 80};
  ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
  const std::vector<char> data(1 << 20, 'x');
  uint32_t bytes = 0;
  const auto start = Clock::now();
  ASSERT_TRUE(Finishes(
      port_, overlapped_,
      WriteFile(port_, data.data(), static_cast<uint32_t>(data.size()), &bytes, &overlapped_), 3000,
      &bytes));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_TRUE(bytes > 0 && bytes < data.size()) << bytes;
  // What still waits on the line for the far side goes with a purge of the output.
  ASSERT_TRUE(PurgeComm(port_, PURGE_TXCLEAR));
  EXPECT_LT(ReadMaster(data.size(), 100).size(), bytes);
}

TEST_F(SerialPorts, PortsOpenOnceAndBadHandlesAreRefused) {
  Refused(CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  SetSerialPortPath(L"COM8", "/nonexistent/tty");
  Refused(CreateFile(L"\\\\.\\COM8", 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE,
          ERROR_FILE_NOT_FOUND);
  // Every call on a handle that is no port, and on a port every call without its record or
  // with flags it does not know.
  const Handle event = overlapped_.hEvent;
  DCB dcb{};
  COMMTIMEOUTS timeouts{};
  uint32_t events = 0;
  const std::pair<std::function<bool()>, uint32_t> refused[] = {
      {[&] { return GetCommState(event, &dcb); }, ERROR_INVALID_HANDLE},
      {[&] { return SetCommState(event, &dcb); }, ERROR_INVALID_HANDLE},
      {[&] { return GetCommTimeouts(event, &timeouts); }, ERROR_INVALID_HANDLE},
      {[&] { return SetCommTimeouts(event, &timeouts); }, ERROR_INVALID_HANDLE},
      {[&] { return PurgeComm(event, 0); }, ERROR_INVALID_HANDLE},
      {[&] { return ClearCommError(event, &events, nullptr); }, ERROR_INVALID_HANDLE},
      {[&] { return SetCommMask(event, 0); }, ERROR_INVALID_HANDLE},
      {[&] { return WaitCommEvent(event, &events, nullptr); }, ERROR_INVALID_HANDLE},
      {[&] { return InjectCommErrors(event, 0); }, ERROR_INVALID_HANDLE},
      {[&] { return SetCommState(port_, nullptr); }, ERROR_INVALID_PARAMETER},
      {[&] { return GetCommState(port_, nullptr); }, ERROR_INVALID_PARAMETER},
      {[&] { return SetCommTimeouts(port_, nullptr); }, ERROR_INVALID_PARAMETER},
      {[&] { return GetCommTimeouts(port_, nullptr); }, ERROR_INVALID_PARAMETER},
      {[&] { return PurgeComm(port_, 0x100); }, ERROR_INVALID_PARAMETER},
  };
  for (size_t i = 0; i < std::size(refused); ++i) {
    SCOPED_TRACE(i);
    Refused(!refused[i].first(), refused[i].second);
  }
  // The port can be opened again once closed, even while a call still running on another
  // thread holds the closed handle's file, and after an open that ran out of descriptors.
  {
    DCB line;
    ASSERT_TRUE(GetCommState(port_, &line));
    const auto inCall = detail::Lookup<detail::DeviceFile>(port_);
    ASSERT_TRUE(CloseHandle(port_));
    port_ = CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
    // Its calls no longer reach the line that the new opener has.
    EXPECT_NE(inCall->serial->core().SetState(line), ERROR_SUCCESS);
  }
  ASSERT_TRUE(CloseHandle(port_));
  WithoutStandardInput([] {
    const Handle port = CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0);
    EXPECT_TRUE(port != INVALID_HANDLE_VALUE && CloseHandle(port));
  });
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const rlimit low{zortest::CountDescriptors() + 8, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> filler;
  for (int fd = open("/dev/null", O_RDONLY); fd >= 0; fd = open("/dev/null", O_RDONLY)) {
    filler.push_back(fd);
  }
  close(filler.back());  // room for the port, none for its wake-up descriptor
  filler.pop_back();
  Refused(CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0) == INVALID_HANDLE_VALUE,
          ERROR_TOO_MANY_OPEN_FILES);
  for (int fd : filler) close(fd);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  port_ = CreateFile(L"COM7", 0, 0, OPEN_EXISTING, 0);
  EXPECT_NE(port_, INVALID_HANDLE_VALUE);
}

// (value name, data) of every value of the serial-port map.
std::vector<std::pair<std::wstring, std::wstring>> SerialCommValues() {
  std::vector<std::pair<std::wstring, std::wstring>> values;
  Handle key{};
  if (RegOpenKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return values;
  }
  for (uint32_t index = 0;; ++index) {
    wchar_t name[512];
    wchar_t data[64];
    uint32_t nameChars = 512;
    uint32_t type = 0;
    uint32_t size = sizeof(data);
    if (RegEnumValue(key, index, name, &nameChars, &type, data, &size) != ERROR_SUCCESS) break;
    EXPECT_EQ(type, REG_SZ);
    values.emplace_back(name, data);
  }
  RegCloseKey(key);
  return values;
}

TEST(SerialPortMap, ListsTheDevicesOfTheFolderAndTheMappedPorts) {
  std::string pattern = (std::filesystem::temp_directory_path() / "zordev.XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path folder = pattern;
  setenv("ZOR_SERIAL_DEVICES", folder.c_str(), 1);
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  std::filesystem::create_symlink(ptsname(master), folder / "ttyUSB3");
  for (const char* other : {"ttyACM99", "ttyUSB100", "ttyS", "ttyX1", "console"}) {
    std::ofstream(folder / other) << "";
  }
  SetSerialPortPath(L"com9", "/dev/zor-mapped");
  const std::wstring base = folder.wstring();
  using Values = std::vector<std::pair<std::wstring, std::wstring>>;
  EXPECT_EQ(SerialCommValues(), (Values{{L"/dev/zor-mapped", L"COM9"},
                                        {base + L"/ttyACM99", L"COM300"},
                                        {base + L"/ttyUSB3", L"COM104"}}));

  // A listed device opens by its name without any set-up.
  const Handle port = CreateFile(L"\\\\.\\COM104", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED);
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
  CloseHandle(port);

  Handle key{};
  ASSERT_EQ(
      RegOpenKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_ALL_ACCESS, &key),
      ERROR_SUCCESS);
  EXPECT_EQ(RegSetValue(key, L"x", REG_SZ, L"COM1", 10), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  wchar_t name[32];
  uint32_t nameChars = 32;
  ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP", KEY_READ, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegEnumKey(key, 0, name, &nameChars), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(name), L"SERIALCOMM");
  RegCloseKey(key);
  for (const wchar_t* other :
       {L"HARDWARE\\DEVICEMAP\\VIDEO", L"HARDWARE\\DEVICEMAP\\SERIALCOMM\\X"}) {
    EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, other, KEY_READ, &key), ERROR_FILE_NOT_FOUND) << other;
  }

  // A mapping to a listed device takes its place; an empty path removes a mapping.
  SetSerialPortPath(L"COM9", "");
  SetSerialPortPath(L"COM5", (folder / "ttyACM99").string());
  EXPECT_EQ(SerialCommValues(),
            (Values{{base + L"/ttyACM99", L"COM5"}, {base + L"/ttyUSB3", L"COM104"}}));
  SetSerialPortPath(L"COM5", "");
  std::filesystem::remove_all(folder);
  EXPECT_EQ(SerialCommValues(), Values{});
  setenv("ZOR_SERIAL_DEVICES", "", 1);  // empty: the system's folder
  EXPECT_EQ(detail::SerialDeviceFolder(), "/dev");
  unsetenv("ZOR_SERIAL_DEVICES");
  close(master);
}

}  // namespace
}  // namespace os
