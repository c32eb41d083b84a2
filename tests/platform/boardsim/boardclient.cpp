#include "tests/platform/boardsim/boardclient.h"

#include <algorithm>
#include <chrono>

#include "platform/boardsim/oseventport.h"

namespace boardtest {

TestRequest::TestRequest(uint32_t code, const void* input, uint32_t inputSize, uint32_t outputSize)
    : code_(code),
      inputSize_(inputSize),
      outputSize_(outputSize),
      data_(std::max(inputSize, outputSize)) {
  if (inputSize > 0) std::memcpy(data_.data(), input, inputSize);
}

void TestRequest::Complete(uint32_t error, uint32_t bytes) {
  std::lock_guard lock(mutex_);
  if (complete_) return;
  complete_ = true;
  error_ = error;
  bytes_ = bytes;
  done_.notify_all();
}

bool TestRequest::IsDone() const {
  std::lock_guard lock(mutex_);
  return complete_;
}

bool TestRequest::WaitFor(int milliseconds) {
  std::unique_lock lock(mutex_);
  return done_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return complete_; });
}

uint32_t TestRequest::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

uint32_t TestRequest::Bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

DcfBlock::DcfBlock(uint32_t width, uint32_t height) : bytes_(zor::kernel::kDcfBlockSize) {
  std::memcpy(bytes_.data() + 4, &width, 4);
  std::memcpy(bytes_.data() + 8, &height, 4);
  bytes_[zor::kernel::kDcfValueImageSize + 4] = 1;
  bytes_[zor::kernel::kDcfValueImageSize + 8] = 1;
}

void DcfBlock::Register(uint8_t reg, uint8_t value) {
  bytes_[zor::kernel::kDcfAdv7180Offset + reg] = value;
  bytes_[zor::kernel::kDcfValueImageSize + zor::kernel::kDcfAdv7180Offset + reg] = 1;
}

HostImage::HostImage(uint64_t width, uint64_t height, int bands, int bitsPerPixel) {
  const int planeCount = bitsPerPixel > 16 ? 1 : bands;
  for (int b = 0; b < planeCount; ++b) planes.emplace_back(width * height * bitsPerPixel / 8);
  descriptor.sizeX = width;
  descriptor.sizeY = height;
  descriptor.bandCount = static_cast<uint64_t>(bands);
  descriptor.bitDepth = 8;
  descriptor.pitch = width;
  descriptor.bitsPerPixel = bitsPerPixel;
  descriptor.byteSize = width * height * bitsPerPixel / 8 * planeCount;
  descriptor.hostBufferId = 0x4242;
  descriptor.finalWord = -1;
  for (int b = 0; b < planeCount; ++b) {
    descriptor.hostAddress[b] = reinterpret_cast<uint64_t>(planes[b].data());
  }
}

uint8_t HostImage::At(uint64_t x, uint64_t y, int band) const {
  return planes[band][y * descriptor.pitch * (descriptor.bitsPerPixel / 8) + x];
}

BoardClient::BoardClient(boardsim::Board& board)
    : port(std::make_shared<boardsim::OsEventPort>()), board_(board) {}

zor::kernel::RequestHeader BoardClient::Header() const {
  zor::kernel::RequestHeader header{};
  header.deviceHandle = 0x1234;
  header.systemId = systemId;
  return header;
}

std::shared_ptr<TestRequest> BoardClient::StartRaw(uint32_t code, const void* input,
                                                   uint32_t inputSize, uint32_t outputSize) {
  auto request = std::make_shared<TestRequest>(code, input, inputSize, outputSize);
  board_.Control(request, port);
  return request;
}

std::shared_ptr<TestRequest> BoardClient::Start(uint32_t function, const void* record,
                                                uint32_t size) {
  return StartRaw(zor::kernel::ControlCode(function), record, size, size);
}

std::shared_ptr<TestRequest> BoardClient::WaitDeviceEvent(uint64_t type) {
  zor::kernel::DeviceEventRecord r{};
  r.handlePair[0] = r.handlePair[1] = zor::kernel::kNoHandle;
  r.magic = zor::kernel::kDeviceEventMagic;
  r.typeOrCode = type;
  return Start(zor::kernel::kWaitDeviceEvent, &r, sizeof(r));
}

uint64_t BoardClient::AllocSystem() {
  auto r = Record<zor::kernel::SysAllocRequest>();
  Send(zor::kernel::kSysAlloc, *r);
  systemId = r->systemId;
  return systemId;
}

uint64_t BoardClient::AllocObject(int32_t kind) {
  auto r = Record<zor::kernel::ObjectAllocRequest>();
  r->kind = kind;
  Send(zor::kernel::kKernelObjectAlloc, *r);
  return r->header.objectId;
}

zor::kernel::BufAllocRequest BoardClient::BufAlloc(uint64_t bands, uint64_t x, uint64_t y,
                                                   uint64_t depth) {
  auto r = Record<zor::kernel::BufAllocRequest>();
  r->bandCount = bands;
  r->sizeX = x;
  r->sizeY = y;
  r->type = depth;
  Send(zor::kernel::kBufAlloc, *r);
  return *r;
}

uint64_t BoardClient::RegisterEvent(os::Handle event) {
  auto r = Record<zor::kernel::ContextEventRequest>();
  r->eventHandle = os::HandleValue(event);
  Send(zor::kernel::kThreadContextEvent, *r);
  return r->registration;
}

zor::kernel::DigChannelRecord BoardClient::AllocDigitizer(uint64_t channel, const DcfBlock& dcf,
                                                          zor::kernel::ErrorTriple* status,
                                                          std::pair<uint64_t, uint64_t> maxSize) {
  auto r = Record<zor::kernel::DigAllocRequest>();
  r->record.digitizerIndex = static_cast<int64_t>(channel) + 1;
  r->record.hostDigitizer = -1;
  r->record.properties.channel = channel;
  r->record.properties.fieldNum = 2;
  r->record.properties.maxWidth = maxSize.first;
  r->record.properties.maxHeight = maxSize.second;
  std::memcpy(r->dcfBlock, dcf.Data(), zor::kernel::kDcfBlockSize);
  Send(zor::kernel::kDigAlloc, *r);
  if (status) *status = r->header.status;
  return r->record;
}

std::unique_ptr<zor::kernel::GrabRequest> BoardClient::MakeGrab(
    const zor::kernel::DigChannelRecord& record, const HostImage& image, uint64_t registration,
    uint64_t objectId) {
  auto r = Record<zor::kernel::GrabRequest>();
  r->header.objectId = objectId;
  r->record = record;
  r->eventRegistration = registration;
  r->buffer.descriptor = image.descriptor;
  r->buffer.value = -1;
  r->buffer.oneBandPerPlane = 1;
  r->buffer.bothFields = 1;
  return r;
}

std::unique_ptr<zor::kernel::GrabRequest> BoardClient::GrabContinuously(
    const zor::kernel::DigChannelRecord& record, const HostImage& image, uint64_t kernelHandle) {
  auto grab = MakeGrab(record, image, 0);
  grab->continuous = 1;
  grab->buffer.kernelHandle = kernelHandle;
  Send(zor::kernel::kDigGrab, *grab);
  return grab;
}

std::unique_ptr<zor::kernel::BufTransferRequest> BoardClient::Transfer(
    uint64_t device, const HostImage& other, uint32_t direction, uint64_t width, uint64_t height) {
  auto r = Record<zor::kernel::BufTransferRequest>();
  r->direction = direction;
  r->deviceHandle = device;
  r->other = other.descriptor;
  r->destBand = r->srcBand = -1;
  r->sizeX = width;
  r->sizeY = height;
  return r;
}

uint64_t BoardClient::PendingGrabs(uint64_t objectId) {
  auto r = Record<zor::kernel::DigInquireValueRequest>();
  r->header.objectId = objectId;
  r->type = zor::kernel::kPendingGrabCount;
  Send(zor::kernel::kDigInquireValue, *r);
  return r->value;
}

uint64_t BoardClient::SysRequest(uint64_t word, zor::kernel::ErrorTriple* status) {
  auto r = Record<zor::kernel::SysRequest>();
  r->requestWord = word;
  Send(zor::kernel::kSysRequest, *r);
  if (status) *status = r->header.status;
  return r->value;
}

zor::kernel::ErrorTriple BoardClient::SysControl(uint64_t type, uint64_t value) {
  auto r = Record<zor::kernel::SysControlRequest>();
  r->type = type;
  r->value = value;
  Send(zor::kernel::kSysControl, *r);
  return r->header.status;
}

std::unique_ptr<zor::kernel::DigChannelRequest> BoardClient::DigChannel(
    const zor::kernel::DigChannelRecord& record, uint64_t type, uint64_t value, uint32_t function) {
  auto r = Record<zor::kernel::DigChannelRequest>();
  r->record = record;
  r->type = type;
  r->value = value;
  Send(function, *r);
  return r;
}

zor::kernel::ErrorTriple BoardClient::DigControl(const zor::kernel::DigChannelRecord& record,
                                                 uint64_t type, uint64_t value, uint32_t function) {
  return DigChannel(record, type, value, function)->header.status;
}

uint64_t BoardClient::DigInquire(const zor::kernel::DigChannelRecord& record, uint64_t type,
                                 zor::kernel::ErrorTriple* status) {
  const auto r = DigChannel(record, type, 0, zor::kernel::kDigInquire);
  if (status) *status = r->header.status;
  return r->value;
}

zor::kernel::ErrorTriple BoardClient::DigRecord(uint32_t function,
                                                const zor::kernel::DigChannelRecord& record) {
  auto r = Record<zor::kernel::DigRecordRequest>();
  r->record = record;
  Send(function, *r);
  return r->header.status;
}

zor::kernel::ErrorTriple BoardClient::BufferRequest(uint32_t function, uint64_t kernelHandle) {
  zor::kernel::BufHandleRequest r{Header(), kernelHandle};
  Send(function, r);
  return r.header.status;
}

zor::kernel::ObjectValueRequest BoardClient::ObjectValue(uint32_t function, uint64_t id,
                                                         uint64_t type, uint64_t value) {
  zor::kernel::ObjectValueRequest r{Header(), type, value};
  r.header.objectId = id;
  Send(function, r);
  return r;
}

std::string ErrorText(uint64_t code, uint64_t subCode) {
  return std::to_string(code) + "." + std::to_string(subCode) + (code ? ".0/1,0,0" : ".0/0,0,0");
}

std::string StatusText(const zor::kernel::ErrorTriple& s) {
  return std::to_string(s.code) + "." + std::to_string(s.subCode) + "." + std::to_string(s.extra) +
         "/" + std::to_string(s.errorSet) + "," + std::to_string(s.extraSet) + "," +
         std::to_string(s.statusByte);
}

}  // namespace boardtest
