// Board memory: device-memory and on-board buffers, children, and the
// transfers and copies that move pixels between them and host memory.
#include <algorithm>

#include "platform/boardsim/board.h"
#include "platform/boardsim/regioncopy.h"
#include "platform/boardsim/reply.h"

namespace boardsim {

namespace {
constexpr uint32_t kBufferIds = 8;
constexpr uint64_t kOnBoardAttribute = 0x80000;
constexpr uint64_t kMaxBufferBytes = 256ull << 20;
constexpr uint64_t kPageSize = 4096;
constexpr uint64_t kGrabState = 5080;
constexpr uint64_t kGrabMode = 5085;

int BytesOfDepth(uint64_t depth) {
  switch (depth) {
    case 8:
      return 1;
    case 16:
      return 2;
    case 32:
      return 4;
    default:
      return 0;
  }
}

// Tells the host that a transfer wrote a region of one of its buffers.
void RaiseHostBufferWritten(DeviceEventHub& events, uint64_t hostBuffer, uint64_t columns,
                            uint64_t lines, uint64_t bufferIndex, Deferred& out) {
  zor::kernel::BufferModifiedPayload payload{};
  payload.hostObject = hostBuffer;
  payload.count = columns;
  payload.further = lines;
  payload.bufferIndex = bufferIndex;
  payload.eventWord = zor::kernel::kGrabEndWord;
  events.Raise(zor::kernel::kHookBufferModified,
               DeviceEvent::Of(zor::kernel::kHookBufferModified, payload), out);
}

// Shared by the device-memory and the on-board allocation; 0 after a failure.
uint64_t Place(BoardBuffer& b, uint64_t bands, uint64_t sizeX, uint64_t sizeY, uint64_t depth,
               uint64_t pitch, uint64_t byteSize, zor::kernel::RequestHeader& header) {
  b.bytesPerPixel = BytesOfDepth(depth);
  if (bands < 1 || bands > zor::kernel::kMaxBands || sizeX == 0 || sizeY == 0 ||
      b.bytesPerPixel == 0) {
    Fail(header, err::kBufferAttribute, 1);
    return 0;
  }
  if (pitch == 0) pitch = sizeX;
  if (pitch < sizeX || pitch > kMaxBufferBytes || sizeY > kMaxBufferBytes) {
    Fail(header, err::kBadArgument, 2);
    return 0;
  }
  b.bands = static_cast<int>(bands);
  b.sizeX = sizeX;
  b.sizeY = sizeY;
  b.pitchBytes = pitch * b.bytesPerPixel;
  b.planeBytes = b.pitchBytes * sizeY;
  const uint64_t total = std::max(b.planeBytes * bands, byteSize);
  if (total > kMaxBufferBytes) {
    Fail(header, err::kNoResources, 2);
    return 0;
  }
  b.storage = std::make_shared<std::vector<uint8_t>>(total);
  return total;
}
}  // namespace

BoardBuffer* Board::FindBuffer(uint64_t handle) {
  auto it = buffers_.find(handle);
  return it == buffers_.end() ? nullptr : &it->second;
}

void Board::BufAlloc(Call& call) {
  auto& r = call.As<zor::kernel::BufAllocRequest>();
  BoardBuffer b;
  const uint64_t total =
      Place(b, r.bandCount, r.sizeX, r.sizeY, r.type & 0xFF, r.pitch, r.byteSize, r.header);
  if (total == 0) return;
  b.onBoard = (r.attributes & kOnBoardAttribute) != 0;
  b.physical = nextPhysical_;
  nextPhysical_ += (total + kPageSize - 1) / kPageSize * kPageSize;
  r.kernelHandle = NewId(kBufferIds);
  for (int band = 0; band < b.bands; ++band) {
    r.hostAddress[band] = reinterpret_cast<uint64_t>(b.Plane(band));
    r.physicalAddress[band] = b.physical + band * b.planeBytes;
  }
  r.kernelPitch = b.pitchBytes / b.bytesPerPixel;
  buffers_.emplace(r.kernelHandle, std::move(b));
}

void Board::OnBoardAlloc(Call& call) {
  auto& r = call.As<zor::kernel::OnBoardAllocRequest>();
  BoardBuffer b;
  const uint64_t total =
      Place(b, r.bandCount, r.sizeX, r.sizeY, r.bitDepth, r.pitch, r.byteSize, r.header);
  if (total == 0) return;
  b.onBoard = true;
  b.physical = nextPhysical_;
  nextPhysical_ += (total + kPageSize - 1) / kPageSize * kPageSize;
  r.kernelHandle = NewId(kBufferIds);
  r.physicalAddress = b.physical;
  buffers_.emplace(r.kernelHandle, std::move(b));
}

void Board::BufChildAlloc(Call& call) {
  auto& r = call.As<zor::kernel::BufChildAllocRequest>();
  BoardBuffer* parent = FindBuffer(r.parentHandle);
  if (parent == nullptr) return Fail(r.header, err::kBufferHandle, 2);
  if (r.band < -1 || r.band >= parent->bands)
    return Fail(r.header, err::kBufferHandle, 1);  // invalid band
  if (r.sizeX == 0 || r.sizeY == 0 || r.offsetX > parent->sizeX ||
      r.sizeX > parent->sizeX - r.offsetX || r.offsetY > parent->sizeY ||
      r.sizeY > parent->sizeY - r.offsetY) {
    return Fail(r.header, err::kBadArgument, 2);
  }
  BoardBuffer child = *parent;
  child.controls.clear();
  const uint64_t shift = r.offsetY * parent->pitchBytes + r.offsetX * parent->bytesPerPixel +
                         (r.band >= 0 ? r.band * parent->planeBytes : 0);
  child.offset += shift;
  child.physical += shift;
  child.sizeX = r.sizeX;
  child.sizeY = r.sizeY;
  if (r.band >= 0) child.bands = 1;
  r.childHandle = NewId(kBufferIds);
  buffers_.emplace(r.childHandle, std::move(child));
}

void Board::BufFree(Call& call) {
  auto& r = call.As<zor::kernel::BufHandleRequest>();
  const BoardBuffer* b = FindBuffer(r.kernelHandle);
  if (b == nullptr || (call.function == zor::kernel::kFreeOnBoardBuffer && !b->onBoard)) {
    return Fail(r.header, err::kBufferHandle, 2);
  }
  buffers_.erase(r.kernelHandle);
}

void Board::BufInquire(Call& call) {
  auto& r = call.As<zor::kernel::BufInquireRequest>();
  BoardBuffer* b = FindBuffer(r.kernelHandle);
  if (b == nullptr) return Fail(r.header, err::kBufferHandle, 2);
  if (r.type != zor::kernel::kBufInquirePhysicalAddress) return Fail(r.header, err::kInquire, 1);
  r.value = b->physical;
}

void Board::BufControl(Call& call) {
  auto& r = call.As<zor::kernel::BufControlRequest>();
  BoardBuffer* b = FindBuffer(r.kernelHandle);
  if (b == nullptr) return Fail(r.header, err::kBufferHandle, 2);
  if (r.type != kGrabState && r.type != kGrabMode) return Fail(r.header, err::kControl, 2);
  b->controls[r.type] = r.value;
}

void Board::BufPassWords(Call& call) {
  auto& r = call.As<zor::kernel::BufPassWordsRequest>();
  if (FindBuffer(r.kernelHandle) == nullptr) Fail(r.header, err::kBufferHandle, 2);
}

void Board::BufQueueGrab(Call& call) {
  auto& r = call.As<zor::kernel::BufQueueGrabRequest>();
  BoardBuffer* b = FindBuffer(r.kernelHandle);
  if (b == nullptr) return Fail(r.header, err::kBufferHandle, 2);
  const FrameTarget src = b->Target();
  if (r.offsetX > src.width || r.width > src.width - r.offsetX || r.offsetY > src.height ||
      r.height > src.height - r.offsetY) {
    return Fail(r.header, err::kBadArgument, 2);
  }
  // The host buffer is known from an earlier grab or transfer that described it.
  auto host = hostBuffers_.find(r.hostBuffer);
  FrameTarget dst;
  if (host != hostBuffers_.end() && PlaneTarget(host->second, dst)) {
    Region region;
    region.srcX = region.dstX = r.offsetX;
    region.srcY = region.dstY = r.offsetY;
    region.width = r.width;
    region.height = r.height;
    CopyRegion(src, dst, region);
  }
  RaiseHostBufferWritten(events_, r.hostBuffer, r.width, r.height, r.bufferIndex, *call.out);
}

void Board::BufTransfer(Call& call) {
  auto& r = call.As<zor::kernel::BufTransferRequest>();
  BoardBuffer* device = FindBuffer(r.deviceHandle);
  if (device == nullptr) return Fail(r.header, err::kBufferHandle, 2);
  FrameTarget other;
  if (!PlaneTarget(r.other, other)) return Fail(r.header, err::kBufferAttribute, 1);
  if (r.other.hostBufferId != 0) hostBuffers_[r.other.hostBufferId] = r.other;
  const FrameTarget dev = device->Target();
  const bool intoDevice = r.direction == 1;
  const FrameTarget& src = intoDevice ? other : dev;
  const FrameTarget& dst = intoDevice ? dev : other;
  Region region;
  region.srcX = r.srcOffsetX;
  region.srcY = r.srcOffsetY;
  region.dstX = r.destOffsetX;
  region.dstY = r.destOffsetY;
  region.width = r.sizeX;
  region.height = r.sizeY;
  // A skip of all ones would wrap to a step of 0.
  region.stepX = std::max<uint64_t>(r.skipX + 1, 1);
  region.stepY = std::max<uint64_t>(r.skipY + 1, 1);
  const bool scaled = r.skipX != 0 || r.skipY != 0;
  // A scaled transfer names the whole source: it reads from the offset on and
  // writes what fits the destination.
  if (scaled && !intoDevice) {
    if (region.srcX <= src.width) region.width = std::min(region.width, src.width - region.srcX);
    if (region.srcY <= src.height) {
      region.height = std::min(region.height, src.height - region.srcY);
    }
    if (region.dstX <= dst.width) {
      region.width = std::min(region.width, (dst.width - region.dstX) * region.stepX);
    }
    if (region.dstY <= dst.height) {
      region.height = std::min(region.height, (dst.height - region.dstY) * region.stepY);
    }
  }
  region.srcBand = scaled ? -1 : BandOf(r.srcBand, src.bands);
  region.dstBand = scaled ? -1 : BandOf(r.destBand, dst.bands);
  if (region.srcBand < 0 || region.dstBand < 0) region.srcBand = region.dstBand = -1;
  if (!CopyRegion(src, dst, region)) return Fail(r.header, err::kBadArgument, 2);
  if (r.grabMark == 0 || intoDevice) return;
  RaiseHostBufferWritten(events_, r.other.hostBufferId,
                         (region.width + region.stepX - 1) / region.stepX,
                         (region.height + region.stepY - 1) / region.stepY, 0, *call.out);
}

void Board::BufTripleTransfer(Call& call) {
  auto& r = call.As<zor::kernel::BufTripleTransferRequest>();
  BoardBuffer* first = FindBuffer(r.firstHandle);
  BoardBuffer* dest = FindBuffer(r.destHandle);
  BoardBuffer* third = r.thirdHandle ? FindBuffer(r.thirdHandle) : nullptr;
  if (first == nullptr || dest == nullptr || (r.thirdHandle != 0 && third == nullptr)) {
    return Fail(r.header, err::kBufferHandle, 2);
  }
  if (r.transferFunction != zor::kernel::kTransferFunctionCopy &&
      r.transferFunction != zor::kernel::kTransferFunctionThree) {
    return Fail(r.header, err::kBadArgument, 2);
  }
  if (r.transferFunction == zor::kernel::kTransferFunctionCopy && r.firstHandle != r.destHandle) {
    return Fail(r.header, err::kBadArgument, 2);  // a copy's first buffer is its destination
  }
  // The request carries the source offsets twice, once for each engine: they must agree.
  if (r.srcOffsetXAgain != r.srcOffsetX || r.srcOffsetYAgain != r.srcOffsetY) {
    return Fail(r.header, err::kBadArgument, 2);
  }
  Region region;
  region.srcX = r.srcOffsetX;
  region.srcY = r.srcOffsetY;
  region.dstX = r.destOffsetX;
  region.dstY = r.destOffsetY;
  region.width = r.srcSizeX;
  region.height = r.srcSizeY;
  const FrameTarget d = dest->Target();
  const bool blend = r.transferFunction == zor::kernel::kTransferFunctionThree && third != nullptr;
  const FrameTarget t = blend ? third->Target() : FrameTarget{};
  // The third buffer is checked before the first is copied: a refused blend writes nothing.
  if (blend && (t.bytesPerPixel != 1 || d.bytesPerPixel != 1 ||
                r.srcOffsetX + r.srcSizeX > t.width || r.srcOffsetY + r.srcSizeY > t.height)) {
    return Fail(r.header, err::kBufferAttribute, 1);
  }
  // Copy: the third buffer into the destination. Blend: the first and the
  // third, weighted by the operation flag (0 first only, 256 third only).
  const BoardBuffer* source =
      r.transferFunction == zor::kernel::kTransferFunctionCopy ? third : first;
  if (source == nullptr) source = first;
  if (!CopyRegion(source->Target(), d, region)) return Fail(r.header, err::kBadArgument, 2);
  if (!blend) return;
  const uint64_t w = std::min<uint64_t>(r.operationFlag, 256);
  for (int p = 0; p < std::min(t.bands, d.bands); ++p) {
    for (uint64_t j = 0; j < r.srcSizeY; ++j) {
      const uint8_t* s = t.planes[p] + (r.srcOffsetY + j) * t.pitchBytes + r.srcOffsetX;
      uint8_t* o = d.planes[p] + (r.destOffsetY + j) * d.pitchBytes + r.destOffsetX;
      for (uint64_t i = 0; i < r.srcSizeX; ++i) {
        o[i] = static_cast<uint8_t>((o[i] * (256 - w) + s[i] * w) >> 8);
      }
    }
  }
}

}  // namespace boardsim
