// Sends kernel requests to a simulated board the way the driver does, with
// the records of driver/board/kernel.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/kernel/kernelrequests.h"
#include "platform/boardsim/board.h"
#include "platform/os/core/handle.h"

namespace boardtest {

class TestRequest : public os::IoRequest {
 public:
  TestRequest(uint32_t code, const void* input, uint32_t inputSize, uint32_t outputSize);
  Kind kind() const override { return Kind::kControl; }
  uint32_t code() const override { return code_; }
  void* buffer() override { return data_.data(); }
  uint32_t inputSize() const override { return inputSize_; }
  uint32_t outputSize() const override { return outputSize_; }
  void Complete(uint32_t error, uint32_t bytes) override;
  bool IsDone() const override;
  bool WaitFor(int milliseconds);
  uint32_t Error() const;
  uint32_t Bytes() const;
  template <class T>
  T& As() {
    return *reinterpret_cast<T*>(data_.data());
  }
  // The payload of a completed device-event wait.
  template <class P>
  const P& Payload() {
    return *reinterpret_cast<const P*>(As<zor::kernel::DeviceEventRecord>().payload);
  }

 private:
  uint32_t code_;
  uint32_t inputSize_;
  uint32_t outputSize_;
  std::vector<uint8_t> data_;
  mutable std::mutex mutex_;
  std::condition_variable done_;
  bool complete_ = false;
  uint32_t error_ = 0;
  uint32_t bytes_ = 0;
};

// A DCF register block with INFO_XSIZE, INFO_YSIZE and ADV7180 registers.
class DcfBlock {
 public:
  DcfBlock(uint32_t width = 640, uint32_t height = 480);
  void Register(uint8_t reg, uint8_t value);
  const uint8_t* Data() const { return bytes_.data(); }

 private:
  std::vector<uint8_t> bytes_;
};

// A buffer in host memory and the kernel descriptor that names it.
struct HostImage {
  HostImage(uint64_t width, uint64_t height, int bands = 1, int bitsPerPixel = 8);
  uint8_t At(uint64_t x, uint64_t y, int band = 0) const;
  std::vector<std::vector<uint8_t>> planes;
  zor::kernel::KernelBufferDescriptor descriptor{};
};

// A status as one word: code.subCode.extra/errorSet,extraSet,statusByte.
std::string StatusText(const zor::kernel::ErrorTriple& s);
// The word of a plain error (code 0: success).
std::string ErrorText(uint64_t code, uint64_t subCode);
inline const std::string kSucceeded = "0.0.0/0,0,0";

class BoardClient {
 public:
  explicit BoardClient(boardsim::Board& board);

  zor::kernel::RequestHeader Header() const;
  // A request record with this client's header, the rest zero.
  template <class T>
  std::unique_ptr<T> Record() {
    auto r = std::make_unique<T>();
    r->header = Header();
    return r;
  }
  // Sends and waits for the completion (at most 5 s); the record receives the reply.
  template <class T>
  uint32_t Send(uint32_t function, T& record) {
    auto request = Start(function, &record, sizeof(T));
    request->WaitFor(5000);
    std::memcpy(&record, request->buffer(), sizeof(T));
    return request->Bytes();
  }
  // Sends and answers the reply's status as its word.
  template <class T>
  std::string Status(uint32_t function, T& record) {
    Send(function, record);
    return StatusText(record.header.status);
  }
  // Sends again with a fresh header, as a new request.
  template <class T>
  std::string Resend(uint32_t function, T& record) {
    record.header = Header();
    return Status(function, record);
  }
  std::shared_ptr<TestRequest> Start(uint32_t function, const void* record, uint32_t size);
  std::shared_ptr<TestRequest> StartRaw(uint32_t code, const void* input, uint32_t inputSize,
                                        uint32_t outputSize);
  // An overlapped wait for the next device event of the type.
  std::shared_ptr<TestRequest> WaitDeviceEvent(uint64_t type);

  uint64_t AllocSystem();
  uint64_t AllocObject(int32_t kind = zor::kernel::kObjectKindPlain);
  // Device memory of the board (depth: bits per pixel).
  zor::kernel::BufAllocRequest BufAlloc(uint64_t bands, uint64_t x, uint64_t y, uint64_t depth);
  uint64_t RegisterEvent(os::Handle event);
  // Allocates a digitizer on a channel, of the record's own largest size when given; the returned
  // record carries its kernel words.
  zor::kernel::DigChannelRecord AllocDigitizer(uint64_t channel, const DcfBlock& dcf = DcfBlock(),
                                               zor::kernel::ErrorTriple* status = nullptr,
                                               std::pair<uint64_t, uint64_t> maxSize = {});
  std::unique_ptr<zor::kernel::GrabRequest> MakeGrab(const zor::kernel::DigChannelRecord& record,
                                                     const HostImage& image, uint64_t registration,
                                                     uint64_t objectId = 0);
  // The grabs pending on the digitizer that the object id names (0: none named).
  uint64_t PendingGrabs(uint64_t objectId = 0);
  // Continuous grabs into a host image, or into board memory with a kernel handle, sent.
  std::unique_ptr<zor::kernel::GrabRequest> GrabContinuously(
      const zor::kernel::DigChannelRecord& record, const HostImage& image,
      uint64_t kernelHandle = 0);
  // A transfer of every band between a board buffer and a host image (direction 1: into the board).
  std::unique_ptr<zor::kernel::BufTransferRequest> Transfer(uint64_t device, const HostImage& other,
                                                            uint32_t direction, uint64_t width,
                                                            uint64_t height);
  uint64_t SysRequest(uint64_t word, zor::kernel::ErrorTriple* status = nullptr);
  zor::kernel::ErrorTriple SysControl(uint64_t type, uint64_t value);
  // A request of the channel's type and value, sent; a control, or another such request (the
  // hook enables).
  std::unique_ptr<zor::kernel::DigChannelRequest> DigChannel(
      const zor::kernel::DigChannelRecord& record, uint64_t type, uint64_t value,
      uint32_t function);
  zor::kernel::ErrorTriple DigControl(const zor::kernel::DigChannelRecord& record, uint64_t type,
                                      uint64_t value, uint32_t function = zor::kernel::kDigControl);
  uint64_t DigInquire(const zor::kernel::DigChannelRecord& record, uint64_t type,
                      zor::kernel::ErrorTriple* status = nullptr);
  // A request that names a digitizer (a stop or a free), or a board buffer, or a kernel object's
  // value (a control or an inquire).
  zor::kernel::ErrorTriple DigRecord(uint32_t function,
                                     const zor::kernel::DigChannelRecord& record);
  zor::kernel::ErrorTriple BufferRequest(uint32_t function, uint64_t kernelHandle);
  zor::kernel::ObjectValueRequest ObjectValue(uint32_t function, uint64_t id, uint64_t type,
                                              uint64_t value = 0);

  std::shared_ptr<boardsim::EventPort> port;
  uint64_t systemId = zor::kernel::kNoHandle;

 private:
  boardsim::Board& board_;
};

// A board and a client of a system on it; a frame time of 0 keeps the board's own.
struct BoardTest : testing::Test {
  explicit BoardTest(uint32_t frameTime = 0, const boardsim::BoardConfig& config = {})
      : board(config) {
    if (frameTime != 0) board.SetFrameTime(frameTime);
    client.AllocSystem();
  }
  boardsim::Board board;
  BoardClient client{board};
};

}  // namespace boardtest
