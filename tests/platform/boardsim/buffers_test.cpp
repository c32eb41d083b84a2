// Board memory: device-memory and on-board buffers, children, transfers and
// copies that move pixels.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "platform/boardsim/framewriter.h"
#include "platform/boardsim/regioncopy.h"
#include "platform/os/sync/event.h"
#include "platform/os/sync/wait.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

struct BuffersTest : boardtest::BoardTest {
  BuffersTest() : BoardTest(1000) {}
  zor::kernel::BufAllocRequest Alloc(uint64_t bands, uint64_t x, uint64_t y, uint64_t depth = 8) {
    return client.BufAlloc(bands, x, y, depth);
  }
  uint64_t OnBoard(uint64_t x, uint64_t y) {
    auto r = client.Record<zor::kernel::OnBoardAllocRequest>();
    r->bandCount = 1;
    r->sizeX = x;
    r->sizeY = y;
    r->bitDepth = 8;
    EXPECT_EQ(client.Status(zor::kernel::kAllocOnBoardBuffer, *r), boardtest::kSucceeded);
    EXPECT_NE(r->physicalAddress, 0u);
    return r->kernelHandle;
  }
  // Grabs a frame of channel 0 into the board buffer: true once it is written.
  bool GrabInto(uint64_t kernelHandle) {
    const os::Handle event = os::CreateEvent(true, false);
    boardtest::HostImage unused(1, 1);
    auto grab = client.MakeGrab(client.AllocDigitizer(0), unused, client.RegisterEvent(event));
    grab->buffer.kernelHandle = kernelHandle;
    const bool written = client.Status(zor::kernel::kDigGrab, *grab) == boardtest::kSucceeded &&
                         os::WaitForSingleObject(event, 2000) == os::WAIT_OBJECT_0;
    os::CloseHandle(event);
    return written;
  }
};

TEST_F(BuffersTest, DeviceMemoryIsMappedAndGrabbedInto) {
  auto r = Alloc(3, 100, 50);
  ASSERT_EQ(r.header.status.errorSet, 0);
  ASSERT_NE(r.kernelHandle, 0u);
  EXPECT_EQ(r.kernelPitch, 100u);
  EXPECT_EQ(r.physicalAddress[1] - r.physicalAddress[0], 100u * 50);
  auto* band2 = reinterpret_cast<uint8_t*>(r.hostAddress[2]);
  band2[100 * 50 - 1] = 7;  // the last byte of the last band is ours

  ASSERT_TRUE(GrabInto(r.kernelHandle));
  const auto* band0 = reinterpret_cast<const uint8_t*>(r.hostAddress[0]);
  EXPECT_EQ(band0[40 * 100 + 30], boardsim::PatternLuma(board.FrameCount(0), 30, 40));
  // A band named on one side only: every band moves.
  boardtest::HostImage copy(100, 50, 3);
  auto out = client.Transfer(r.kernelHandle, copy, 0, 100, 50);
  out->destBand = 16;
  ASSERT_EQ(client.Status(zor::kernel::kBufTransfer, *out), boardtest::kSucceeded);
  for (int band = 0; band < 3; ++band) EXPECT_EQ(copy.At(30, 40, band), band0[40 * 100 + 30]);

  // Device memory, not on-board.
  EXPECT_EQ(
      boardtest::StatusText(client.BufferRequest(zor::kernel::kFreeOnBoardBuffer, r.kernelHandle)),
      "4327.2.0/1,0,0");

  // Each depth's pixel size and the bounds of bands, sizes, pitch and the board's memory:
  // {bands, x, y, depth, pitch, code, sub-code, bytes a plane}.
  const uint64_t allocations[][8] = {
      {4, 10, 10, 8, 0, 0, 0, 100},   {2, 10, 10, 16, 12, 0, 0, 240},
      {2, 10, 10, 32, 0, 0, 0, 400},  {0, 10, 10, 8, 0, 4326, 1, 0},
      {1, 10, 10, 12, 0, 4326, 1, 0}, {5, 10, 10, 8, 0, 4326, 1, 0},
      {1, 0, 10, 8, 0, 4326, 1, 0},   {1, 10, 0, 8, 0, 4326, 1, 0},
      {1, 10, 10, 8, 9, 4300, 2, 0},  {3, 8192, 8192, 16, 0, 4302, 2, 0}};
  for (const auto& [bands, x, y, depth, pitch, code, subCode, plane] : allocations) {
    auto a = client.Record<zor::kernel::BufAllocRequest>();
    a->bandCount = bands;
    a->sizeX = x;
    a->sizeY = y;
    a->type = depth;
    a->pitch = pitch;
    EXPECT_EQ(client.Status(zor::kernel::kBufAlloc, *a), boardtest::ErrorText(code, subCode))
        << bands << " bands of " << x << " x " << depth;
    if (code != 0) continue;
    EXPECT_EQ(a->physicalAddress[bands - 1] - a->physicalAddress[0], (bands - 1) * plane);
    EXPECT_EQ(a->kernelPitch, pitch != 0 ? pitch : x);
  }
  // Buffers lie whole pages apart: one page exactly, a byte over one, a byte size beyond the
  // planes'; a depth's bits above the lowest byte are not the depth's.
  const auto physical = [&](uint64_t y, uint64_t byteSize) {
    auto a = client.Record<zor::kernel::BufAllocRequest>();
    a->bandCount = 1;
    a->sizeX = 64;
    a->sizeY = y;
    a->type = 0x1008;
    a->byteSize = byteSize;
    client.Send(zor::kernel::kBufAlloc, *a);
    return a->physicalAddress[0];
  };
  const uint64_t places[] = {physical(64, 0), physical(65, 0), physical(1, 8193), physical(1, 0)};
  EXPECT_EQ(
      (std::vector<uint64_t>{places[1] - places[0], places[2] - places[1], places[3] - places[2]}),
      (std::vector<uint64_t>{4096, 8192, 12288}));
  // Device memory allocated as on-board memory is freed as such.
  auto onBoard = client.Record<zor::kernel::BufAllocRequest>();
  onBoard->bandCount = onBoard->sizeX = onBoard->sizeY = 1;
  onBoard->type = 8;
  onBoard->attributes = 0x80000;
  client.Send(zor::kernel::kBufAlloc, *onBoard);
  EXPECT_EQ(boardtest::StatusText(
                client.BufferRequest(zor::kernel::kFreeOnBoardBuffer, onBoard->kernelHandle)),
            boardtest::kSucceeded);
  // The buffer's controls are the grab state and mode; its words pass, a buffer's that is
  // not there do not.
  for (const auto& [handle, type, code] :
       {std::tuple<uint64_t, uint64_t, std::string>{r.kernelHandle, 5080, "0.0.0/0,0,0"},
        {r.kernelHandle, 5085, "0.0.0/0,0,0"},
        {r.kernelHandle, 5081, "4307.2.0/1,0,0"},
        {r.kernelHandle + 1, 5080, "4327.2.0/1,0,0"}}) {
    auto control = client.Record<zor::kernel::BufControlRequest>();
    control->kernelHandle = handle;
    control->type = type;
    EXPECT_EQ(client.Status(zor::kernel::kBufControl, *control), code) << type;
    auto words = client.Record<zor::kernel::BufPassWordsRequest>();
    words->kernelHandle = handle;
    EXPECT_EQ(client.Status(zor::kernel::kBufPassWords, *words),
              handle == r.kernelHandle ? boardtest::kSucceeded : "4327.2.0/1,0,0");
  }
}

TEST_F(BuffersTest, OnBoardGrabTransfersToHostMemory) {
  const uint64_t onBoard = OnBoard(64, 48);
  ASSERT_TRUE(GrabInto(onBoard));
  const uint64_t frame = board.FrameCount(0);

  // A marked transfer tells the driver that the host buffer was modified.
  zor::kernel::DeviceEventRecord wait{};
  wait.typeOrCode = zor::kernel::kHookBufferModified;
  auto modified = client.Start(zor::kernel::kWaitDeviceEvent, &wait, sizeof(wait));
  boardtest::HostImage host(64, 48);
  auto out = client.Transfer(onBoard, host, 0, 64, 48);
  out->grabMark = 1;
  ASSERT_EQ(client.Status(zor::kernel::kBufTransfer, *out), boardtest::kSucceeded);
  EXPECT_EQ(host.At(30, 40), boardsim::PatternLuma(frame, 30, 40));
  ASSERT_TRUE(modified->IsDone());
  const auto& payload = modified->Payload<zor::kernel::BufferModifiedPayload>();
  EXPECT_EQ(payload.hostObject, host.descriptor.hostBufferId);
  EXPECT_EQ(payload.count, 64u);

  // Scaled: every second pixel of the source.
  boardtest::HostImage half(32, 24);
  out = client.Transfer(onBoard, half, 0, 64, 48);
  out->skipX = out->skipY = 1;
  client.Send(zor::kernel::kBufTransfer, *out);
  EXPECT_EQ(half.At(15, 20), host.At(30, 40));
  // Steps that differ in X and Y, or a skip in one axis only: each skip steps its own axis, and
  // what does not fit a destination one pixel short of the steps' size is left out.
  for (const auto& [skipX, skipY] : {std::pair<uint64_t, uint64_t>{1, 3}, {3, 1}, {1, 0}, {0, 1}}) {
    boardtest::HostImage scaled(64 / (skipX + 1) - 1, 48 / (skipY + 1) - 1);
    out = client.Transfer(onBoard, scaled, 0, 64, 48);
    out->skipX = skipX;
    out->skipY = skipY;
    ASSERT_EQ(client.Status(zor::kernel::kBufTransfer, *out), boardtest::kSucceeded);
    int wrong = 0;
    for (uint64_t y = 0; y < 48 / (skipY + 1) - 1; ++y) {
      for (uint64_t x = 0; x < 64 / (skipX + 1) - 1; ++x) {
        wrong += scaled.At(x, y) != host.At(x * (skipX + 1), y * (skipY + 1));
      }
    }
    EXPECT_EQ(wrong, 0) << skipX << ", " << skipY;
  }
  // A scaled transfer reads and writes what fits: at the far edge of either buffer, nothing.
  const std::array<uint64_t, 4> edges[] = {
      {64, 0, 0, 0}, {0, 48, 0, 0}, {0, 0, 32, 0}, {0, 0, 0, 24}};
  for (const auto& [sourceX, sourceY, destinationX, destinationY] : edges) {
    boardtest::HostImage edge(32, 24);
    out = client.Transfer(onBoard, edge, 0, 64, 48);
    out->skipX = out->skipY = 1;
    out->srcOffsetX = sourceX;
    out->srcOffsetY = sourceY;
    out->destOffsetX = destinationX;
    out->destOffsetY = destinationY;
    EXPECT_EQ(client.Status(zor::kernel::kBufTransfer, *out), boardtest::kSucceeded)
        << sourceX << sourceY << destinationX << destinationY;
  }

  // Into device memory at an offset, out of range refused.
  auto in = client.Transfer(onBoard, half, 1, 32, 24);
  in->destOffsetX = 32;
  in->destOffsetY = 24;
  EXPECT_EQ(client.Status(zor::kernel::kBufTransfer, *in), boardtest::kSucceeded);
  in->destOffsetX = 33;
  EXPECT_EQ(client.Status(zor::kernel::kBufTransfer, *in), "4300.2.0/1,0,0");

  auto inquire = client.Record<zor::kernel::BufInquireRequest>();
  inquire->kernelHandle = onBoard;
  inquire->type = zor::kernel::kBufInquirePhysicalAddress;
  client.Send(zor::kernel::kBufInquire, *inquire);
  EXPECT_NE(inquire->value, 0u);
  inquire->type = zor::kernel::kBufInquirePhysicalAddress + 1;
  EXPECT_EQ(client.Resend(zor::kernel::kBufInquire, *inquire), "4310.1.0/1,0,0");
  inquire->type = zor::kernel::kBufInquirePhysicalAddress;
  EXPECT_EQ(client.BufferRequest(zor::kernel::kFreeOnBoardBuffer, onBoard).errorSet, 0);
  EXPECT_EQ(client.Status(zor::kernel::kBufInquire, *inquire), "4327.2.0/1,0,0");
}

TEST_F(BuffersTest, ChildrenShareTheParentsMemory) {
  auto parent = Alloc(3, 64, 32);
  auto child = client.Record<zor::kernel::BufChildAllocRequest>();
  child->parentHandle = parent.kernelHandle;
  child->band = 1;
  child->offsetX = 8;
  child->offsetY = 4;
  child->sizeX = 16;
  child->sizeY = 8;
  ASSERT_EQ(client.Status(zor::kernel::kBufChildAlloc, *child), boardtest::kSucceeded);
  // Its board address is its first pixel's in the parent.
  auto inquire = client.Record<zor::kernel::BufInquireRequest>();
  inquire->kernelHandle = child->childHandle;
  inquire->type = zor::kernel::kBufInquirePhysicalAddress;
  client.Send(zor::kernel::kBufInquire, *inquire);
  EXPECT_EQ(inquire->value, parent.physicalAddress[1] + 4 * 64 + 8);

  boardtest::HostImage ones(16, 8);
  std::fill(ones.planes[0].begin(), ones.planes[0].end(), 9);
  auto in = client.Transfer(child->childHandle, ones, 1, 16, 8);
  client.Send(zor::kernel::kBufTransfer, *in);
  const auto* band1 = reinterpret_cast<const uint8_t*>(parent.hostAddress[1]);
  EXPECT_EQ(band1[4 * 64 + 8], 9);
  EXPECT_EQ(band1[11 * 64 + 23], 9);
  EXPECT_EQ(band1[11 * 64 + 24], 0);
  // A child of one band moves that band only.
  child->band = 0;
  ASSERT_EQ(client.Resend(zor::kernel::kBufChildAlloc, *child), boardtest::kSucceeded);
  boardtest::HostImage bands(16, 8, 3);
  client.Send(zor::kernel::kBufTransfer, *client.Transfer(child->childHandle, bands, 0, 16, 8));
  EXPECT_EQ(bands.At(0, 0, 1), 0);

  // The last band and the places and sizes that just fit, and the first that do not.
  const struct {
    int32_t band;
    uint64_t x, y, width, height;
    const char* status;
  } children[] = {{2, 48, 24, 16, 8, "0.0.0/0,0,0"},    {-1, 0, 0, 64, 32, "0.0.0/0,0,0"},
                  {3, 0, 0, 1, 1, "4327.1.0/1,0,0"},    {-2, 0, 0, 1, 1, "4327.1.0/1,0,0"},
                  {-1, 49, 0, 16, 8, "4300.2.0/1,0,0"}, {-1, 0, 25, 16, 8, "4300.2.0/1,0,0"},
                  {-1, 65, 0, 1, 8, "4300.2.0/1,0,0"},  {-1, 0, 33, 8, 1, "4300.2.0/1,0,0"},
                  {-1, 0, 0, 0, 8, "4300.2.0/1,0,0"},   {-1, 0, 0, 8, 0, "4300.2.0/1,0,0"}};
  for (const auto& c : children) {
    child->band = c.band;
    child->offsetX = c.x;
    child->offsetY = c.y;
    child->sizeX = c.width;
    child->sizeY = c.height;
    EXPECT_EQ(client.Resend(zor::kernel::kBufChildAlloc, *child), c.status)
        << c.band << ": " << c.x << "," << c.y << " " << c.width << " x " << c.height;
  }
}

TEST_F(BuffersTest, ThreeBufferRequestCopiesOrBlends) {
  auto first = Alloc(1, 64, 32), third = Alloc(1, 64, 32);
  std::fill_n(reinterpret_cast<uint8_t*>(first.hostAddress[0]), 64 * 32, 100);
  std::fill_n(reinterpret_cast<uint8_t*>(third.hostAddress[0]), 64 * 32, 200);
  auto dest = Alloc(1, 64, 32);
  auto r = client.Record<zor::kernel::BufTripleTransferRequest>();
  r->firstHandle = first.kernelHandle;
  r->thirdHandle = third.kernelHandle;
  r->destHandle = dest.kernelHandle;
  r->srcSizeX = 32;
  r->srcSizeY = 32;
  r->transferFunction = zor::kernel::kTransferFunctionThree;
  r->operationFlag = 128;
  ASSERT_EQ(client.Status(zor::kernel::kBufTripleTransfer, *r), boardtest::kSucceeded);
  const auto* d = reinterpret_cast<const uint8_t*>(dest.hostAddress[0]);
  EXPECT_EQ(d[5], 150);
  EXPECT_EQ(d[40], 0);  // outside the region
  // A third buffer too small for the region, or of wide pixels, refuses the blend before
  // anything is written.
  const auto small = Alloc(1, 16, 16), wide = Alloc(1, 64, 32, 16);
  for (uint64_t refused : {small.kernelHandle, wide.kernelHandle}) {
    r->thirdHandle = refused;
    r->destOffsetX = 32;
    EXPECT_EQ(client.Resend(zor::kernel::kBufTripleTransfer, *r), "4326.1.0/1,0,0");
    EXPECT_EQ(d[40], 0);
  }
  r->thirdHandle = third.kernelHandle;
  r->destOffsetX = 0;

  // A copy names the destination as its first buffer too.
  r->transferFunction = zor::kernel::kTransferFunctionCopy;
  r->destOffsetX = 32;
  EXPECT_EQ(client.Resend(zor::kernel::kBufTripleTransfer, *r), "4300.2.0/1,0,0");
  EXPECT_EQ(d[40], 0);
  r->firstHandle = dest.kernelHandle;
  client.Resend(zor::kernel::kBufTripleTransfer, *r);
  EXPECT_EQ(d[40], 200);
  // Source offsets given twice that disagree in X or in Y are refused.
  for (const auto& [x2, y2] : {std::pair<uint32_t, uint32_t>{8, 0}, {0, 8}}) {
    r->srcOffsetXAgain = x2;
    r->srcOffsetYAgain = y2;
    EXPECT_EQ(client.Resend(zor::kernel::kBufTripleTransfer, *r), "4300.2.0/1,0,0")
        << x2 << ", " << y2;
  }
  r->srcOffsetXAgain = r->srcOffsetYAgain = 0;
  r->thirdHandle = 12345;
  EXPECT_EQ(client.Resend(zor::kernel::kBufTripleTransfer, *r), "4327.2.0/1,0,0");
}

TEST_F(BuffersTest, QueuedGrabMovesARegionToTheKnownHostBuffer) {
  auto device = Alloc(1, 64, 32);
  std::fill_n(reinterpret_cast<uint8_t*>(device.hostAddress[0]), 64 * 32, 77);
  boardtest::HostImage host(64, 32);
  // A transfer makes the host buffer known to the board.
  auto known = client.Transfer(device.kernelHandle, host, 0, 1, 1);
  client.Send(zor::kernel::kBufTransfer, *known);
  host.planes[0][0] = 0;
  auto r = client.Record<zor::kernel::BufQueueGrabRequest>();
  r->kernelHandle = device.kernelHandle;
  r->hostBuffer = host.descriptor.hostBufferId;
  r->offsetX = 4;
  r->offsetY = 2;
  r->width = 8;
  r->height = 4;
  r->bufferIndex = 3;
  auto written = client.WaitDeviceEvent(zor::kernel::kHookBufferModified);
  ASSERT_EQ(client.Status(zor::kernel::kBufQueueGrab, *r), boardtest::kSucceeded);
  ASSERT_TRUE(written->IsDone());
  // The host buffer, the region's size and the buffer's index.
  const auto& payload = written->Payload<zor::kernel::BufferModifiedPayload>();
  EXPECT_EQ(std::tuple(payload.hostObject, payload.count, payload.further, payload.bufferIndex,
                       payload.eventWord),
            std::tuple(host.descriptor.hostBufferId, uint64_t{8}, uint64_t{4}, uint64_t{3},
                       uint64_t{zor::kernel::kGrabEndWord}));
  EXPECT_EQ(host.At(4, 2), 77);
  EXPECT_EQ(host.At(11, 5), 77);
  EXPECT_EQ(host.At(12, 5), 0);
  // The region that just fits the 64 x 32 buffer at each side, and one a pixel beyond.
  const uint64_t regions[][5] = {{56, 28, 8, 4, 0}, {57, 28, 8, 4, 1}, {56, 29, 8, 4, 1},
                                 {65, 0, 0, 1, 1},  {0, 33, 1, 0, 1},  {0, 0, 64, 32, 0},
                                 {0, 0, 65, 1, 1},  {0, 0, 1, 33, 1}};
  for (const auto& [x, y, width, height, refused] : regions) {
    r->offsetX = x;
    r->offsetY = y;
    r->width = width;
    r->height = height;
    EXPECT_EQ(client.Resend(zor::kernel::kBufQueueGrab, *r),
              refused ? "4300.2.0/1,0,0" : boardtest::kSucceeded)
        << x << "," << y << " " << width << " x " << height;
  }
}

}  // namespace

// Each bound of a region at its last accepted and first refused value, in 8 x 4 buffers of three
// bands; and the band that a request's value names in buffers of one, two and three bands.
TEST(RegionCopyTest, BoundsAndBands) {
  std::vector<uint8_t> memory(2 * 3 * 32);
  boardsim::FrameTarget buffers[2];
  for (int i = 0; i < 2; ++i) {
    buffers[i] = {{}, 8, 4, 8, 3, 1};
    for (int b = 0; b < 3; ++b) buffers[i].planes[b] = memory.data() + (3 * i + b) * 32;
  }
  const boardsim::Region regions[] = {{0, 0, 0, 0, 8, 4},
                                      {8, 0, 0, 0, 0, 4},
                                      {9, 0, 0, 0, 0, 4},
                                      {1, 0, 0, 0, 8, 4},
                                      {0, 4, 0, 0, 8, 0},
                                      {0, 5, 0, 0, 8, 0},
                                      {0, 1, 0, 0, 8, 4},
                                      {0, 0, 8, 0, 0, 4},
                                      {0, 0, 9, 0, 0, 4},
                                      {0, 0, 1, 0, 8, 4},
                                      {0, 0, 4, 0, 8, 4, 2, 1},
                                      {0, 0, 5, 0, 8, 4, 2, 1},
                                      {0, 0, 0, 4, 8, 0},
                                      {0, 0, 0, 5, 8, 0},
                                      {0, 0, 0, 1, 8, 4},
                                      {0, 0, 0, 2, 8, 4, 1, 2},
                                      {0, 0, 0, 3, 8, 4, 1, 2},
                                      {0, 0, 0, 0, 8, 4, 1, 1, 2, 2},
                                      {0, 0, 0, 0, 8, 4, 1, 1, 3, 0},
                                      {0, 0, 0, 0, 8, 4, 1, 1, 0, 3}};
  std::string copied;
  for (const auto& region : regions) {
    copied += boardsim::CopyRegion(buffers[0], buffers[1], region) ? '1' : '0';
  }
  EXPECT_EQ(copied, "11001001001010010100");
  boardsim::FrameTarget wide = buffers[1];
  wide.bytesPerPixel = 2;
  EXPECT_FALSE(boardsim::CopyRegion(buffers[0], wide, regions[0]));

  std::string bands;
  for (int count = 1; count <= 3; ++count) {
    for (int64_t value : {8, 16, 32, 0, 1, 2, 3, -1}) {
      bands += std::to_string(boardsim::BandOf(value, count)) + ",";
    }
  }
  EXPECT_EQ(bands, "0,-1,-1,0,-1,-1,-1,-1,0,1,-1,0,1,-1,-1,-1,0,1,2,0,1,2,-1,-1,");
}
