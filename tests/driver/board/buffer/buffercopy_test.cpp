// Copies between board buffers: whatever moves the pixels, the board's
// engine or the host library, the destination holds what a copy made on the
// host holds.
#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "tests/driver/board/buffer/boardbuffertest.h"

namespace zor::board {
namespace {

constexpr QINT64 kImage = 0x4;
constexpr QINT64 kDeviceMemory = 0x80000;
constexpr QINT64 kMappedMono = kImage | 0x200 | 0x200000;

class BufferCopy : public BoardBufferTest {
 protected:
  // The same source and destination on the host's own system.
  std::pair<QID, QID> HostPair(QID source, QID destination) {
    const QID s = Buffer(Q_DEFAULT, QbufInquire(source, Q_SIZE_BAND, nullptr),
                         QbufInquire(source, Q_SIZE_X, nullptr),
                         QbufInquire(source, Q_SIZE_Y, nullptr), kImage);
    const QID d = Buffer(Q_DEFAULT, QbufInquire(destination, Q_SIZE_BAND, nullptr),
                         QbufInquire(destination, Q_SIZE_X, nullptr),
                         QbufInquire(destination, Q_SIZE_Y, nullptr), kImage);
    QbufPut(s, Pixels(source).data());
    QbufPut(d, Pixels(destination).data());
    return {s, d};
  }
};

// Whichever call makes it, a copy the board's engine can move is the board's.
TEST_F(BufferCopy, CopiesTheBoardMakes) {
  struct Case {
    QINT64 sourceAttribute, sourceX, sourceY, destinationAttribute, destinationX, destinationY;
    void (*copy)(QID, QID);
    const char* what;
  };
  const Case cases[] = {
      {kImage | kDeviceMemory, 320, 240, kMappedMono, 160, 120,
       [](QID s, QID d) { QbufCopy(s, d); }, "plain copy out of device memory"},
      {kImage | kDeviceMemory, 128, 64, kMappedMono, 160, 96,
       [](QID s, QID d) { QbufCopyClip(s, d, 64, 40); }, "clipped copy placed at the offset"},
      {kMappedMono, 256, 64, kImage | kDeviceMemory, 256, 64,
       [](QID s, QID d) { QbufCopyColor2d(s, d, -1, 16, 8, -1, 32, 4, 64, 32); },
       "region into device memory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QappControl(Q_DEFAULT, kLastCopy, 0);
    const QID source = Buffer(system_, 1, c.sourceX, c.sourceY, c.sourceAttribute);
    const QID destination =
        Buffer(system_, 1, c.destinationX, c.destinationY, c.destinationAttribute);
    QbufPut(source, Pattern(1, c.sourceX, c.sourceY).data());
    auto [hostSource, hostDestination] = HostPair(source, destination);
    c.copy(source, destination);
    EXPECT_EQ(LastError(), Err(0));
    EXPECT_TRUE(BoardCopied());
    c.copy(hostSource, hostDestination);
    EXPECT_EQ(Pixels(destination), Pixels(hostDestination));
  }
}

// Offsets and sizes all differ, so that no two can take each other's place.
TEST_F(BufferCopy, OneBandOfAColourBuffer) {
  const QID source = Buffer(system_, 3, 64, 32, kImage | kDeviceMemory);
  const QID destination = Buffer(system_, 1, 64, 32, kMappedMono);
  QbufPut(source, Pattern(3, 64, 32).data());
  auto [hostSource, hostDestination] = HostPair(source, destination);
  for (QINT64 band : {8, 16, 32}) {
    QbufCopyColor2d(source, destination, band, 8, 4, 8, 2, 6, 48, 20);
    QbufCopyColor2d(hostSource, hostDestination, band, 8, 4, 8, 2, 6, 48, 20);
    EXPECT_EQ(LastError(), Err(0)) << band;
    EXPECT_EQ(Pixels(destination), Pixels(hostDestination)) << band;
  }
}

// Each bound of what the board's engine takes, on both sides; either way the destination holds
// the host's copy.
TEST_F(BufferCopy, WhatTheBoardCannotMoveTheHostCopies) {
  struct Case {
    QINT64 sourceAttribute, destinationAttribute, sizeX, sizeY, sourceX, sourceBand,
        destinationBand;
    bool board;
    const char* what;
    QINT64 sourceWidth = 0;  // 0: sizeX
  };
  constexpr QINT64 kDevice = kImage | kDeviceMemory;
  const Case cases[] = {
      {kImage, kImage, 64, 32, 0, -1, -1, false, "two host-memory buffers"},
      {kDevice, kDevice, 64, 32, 0, -1, -1, false, "two device-memory buffers"},
      {kMappedMono, kDevice, 16, 32, 0, -1, -1, false, "a row of 16 bytes"},
      {kMappedMono, kDevice, 64, 32, 34, -1, -1, false, "a row of 30 bytes"},
      {kMappedMono, kDevice, 64, 32, 31, -1, -1, false, "a row of 33 bytes"},
      {kMappedMono, kDevice, 32, 32, 0, -1, -1, true, "a row of 32 bytes"},
      {kMappedMono, kDevice, 64, 2, 0, -1, -1, true, "a source pitch of 16380", 16380},
      {kMappedMono, kDevice, 64, 2, 0, -1, -1, false, "a source pitch of 16384", 16384},
      {kMappedMono, kDevice, 64, 1, 0, -1, -1, true, "one row"},
      {kMappedMono, kDevice, 64, 1023, 0, -1, -1, true, "1023 rows"},
      {kDevice, kImage, 1023, 32, 0, -1, -1, false, "a destination the board cannot write"},
      {kDevice, kMappedMono, 30, 32, 0, -1, -1, false, "rows of 30 bytes out of device memory"},
      {kDevice, kMappedMono, 64, 32, 4, -1, -1, true, "a source column on a word"},
      {kDevice, kMappedMono, 64, 32, 2, -1, -1, false, "a source column off a word"},
      {kDevice, kMappedMono, 64, 32, 0, 8, 8, true, "the first band by its name"},
      {kDevice, kMappedMono, 64, 32, 0, 0, 0, false, "the first band by its number"},
      {kDevice, kMappedMono, 64, 32, 0, 8, 0, false, "a named source band, a numbered destination"},
      {kDevice, kMappedMono, 64, 32, 0, 0, 8, false, "a numbered source band, a named destination"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QappControl(Q_DEFAULT, kLastCopy, 0);
    const QINT64 sourceWidth = c.sourceWidth != 0 ? c.sourceWidth : c.sizeX;
    const QID source = Buffer(system_, 1, sourceWidth, c.sizeY, c.sourceAttribute);
    const QID destination = Buffer(system_, 1, c.sizeX, c.sizeY, c.destinationAttribute);
    QbufPut(source, Pattern(1, sourceWidth, c.sizeY).data());
    auto [hostSource, hostDestination] = HostPair(source, destination);
    const QINT64 width = c.sizeX - c.sourceX;
    QbufCopyColor2d(source, destination, c.sourceBand, c.sourceX, 0, c.destinationBand, 0, 0, width,
                    c.sizeY);
    EXPECT_EQ(LastError(), Err(0));
    EXPECT_EQ(BoardCopied(), c.board);
    QbufCopyColor2d(hostSource, hostDestination, c.sourceBand, c.sourceX, 0, c.destinationBand, 0,
                    0, width, c.sizeY);
    EXPECT_EQ(Pixels(destination), Pixels(hostDestination));
  }
}

// The engine moves 8 and 16-bit pixels only; the host refuses the rest.
TEST_F(BufferCopy, TheBoardMovesEightAndSixteenBitPixels) {
  const struct {
    QINT64 depth;
    bool board;
    std::string error;
  } rows[] = {{8, true, Err(0)}, {16, true, Err(0)}, {32, false, Err(1006)}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.depth);
    QappControl(Q_DEFAULT, kLastCopy, 0);
    const QID source = Buffer(system_, 1, 64, 32, kMappedMono, row.depth);
    QbufCopy(source, Buffer(system_, 1, 64, 32, kImage | kDeviceMemory));
    EXPECT_EQ(LastError(), row.error);
    EXPECT_EQ(BoardCopied(), row.board);
  }
}

TEST_F(BufferCopy, AKernelRefusalEndsInTheHostsCopy) {
  const QID source = Buffer(system_, 1, 128, 64, kImage | kDeviceMemory);
  const QID destination = Buffer(system_, 1, 128, 64, kMappedMono);
  QbufPut(source, Pattern(1, 128, 64).data());
  SimBoard().ArmFault(zor::kernel::kBufTransfer, boardsim::Fault{.code = 4300, .subCode = 2});
  QbufCopy(source, destination);
  SimBoard().ClearFaults();
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_FALSE(BoardCopied());
  EXPECT_EQ(Pixels(destination), Pixels(source));
}

}  // namespace
}  // namespace zor::board
