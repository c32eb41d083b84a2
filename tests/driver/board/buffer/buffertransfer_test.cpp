// Transfers the board makes on its own, through QbufTransfer: decimating
// copies out of device memory and the three-buffer copy and blend, checked
// against the same arithmetic done here, and what the board refuses.
#include <array>
#include <cstdint>
#include <vector>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "tests/driver/board/buffer/boardbuffertest.h"

namespace zor::board {
namespace {

constexpr QINT64 kImage = 0x4;
constexpr QINT64 kProcessing = 0x8;
constexpr QINT64 kDeviceMemory = 0x80000;
constexpr QINT64 kMapped = 0x200000;
// A host-memory layout the board writes: from its colour grab layout it takes the first band.
constexpr QINT64 kHostMono = kImage | kProcessing | kMapped;
constexpr QINT64 kGrabColour = kImage | kDeviceMemory;
constexpr QINT64 kAllBands = -1;
constexpr QINT64 kBoardType = 0x2000000;
constexpr QINT64 kCopy = 4096;
constexpr QINT64 kBlend = 0x800000;
constexpr QINT64 kAssociatedHostBuffer = 1037;
constexpr QINT64 kGrabState = 1060;

// Band-planar pixels of one buffer, as QbufGet gives them.
struct Image {
  QINT64 sizeX = 0, sizeY = 0;
  std::vector<uint8_t> pixels;
  uint8_t At(QINT64 band, QINT64 x, QINT64 y) const {
    return pixels[static_cast<size_t>((band * sizeY + y) * sizeX + x)];
  }
};

class BufferTransfer : public BoardBufferTest {
 protected:
  QID Patterned(QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 attribute, int seed) {
    const QID id = Buffer(system_, bands, sizeX, sizeY, attribute);
    QbufPut(id, Pattern(bands, sizeX, sizeY, seed).data());
    return id;
  }
  // A buffer of the three-buffer requests carries a host buffer of its own.
  QID Associated(QID buffer) {
    const QID host = Buffer(Q_DEFAULT, 3, QbufInquire(buffer, Q_SIZE_X, nullptr),
                            QbufInquire(buffer, Q_SIZE_Y, nullptr), kImage);
    QbufControl(buffer, kAssociatedHostBuffer, host);
    return buffer;
  }
  static Image Read(QID buffer) {
    return {QbufInquire(buffer, Q_SIZE_X, nullptr), QbufInquire(buffer, Q_SIZE_Y, nullptr),
            Pixels(buffer)};
  }
  static void Scale(QID source, QID destination, QINT64 x, QINT64 y, QINT64 w, QINT64 h,
                    QINT64 destX, QINT64 destY, QINT64 destW, QINT64 destH) {
    QbufTransfer(source, destination, x, y, w, h, kAllBands, destX, destY, destW, destH, kAllBands,
                 Q_DEFAULT, kBoardType, Q_DEFAULT, nullptr);
  }
  static void Three(QID source, QID destination, QINT64 x, QINT64 y, QINT64 w, QINT64 h,
                    QINT64 destX, QINT64 destY, QINT64 function, QINT64 flag, QID* third) {
    QbufTransfer(source, destination, x, y, w, h, kAllBands, destX, destY, w, h, kAllBands,
                 function, kBoardType, flag, third);
  }
  void ExpectError(QINT64 code, QINT64 subCode) { EXPECT_EQ(LastError(), Err(code, subCode)); }
};

TEST_F(BufferTransfer, ScaledTransfersTakeEveryNthPixel) {
  struct Case {
    QINT64 w, h, destW, destH;  // source region and destination sizes
    QINT64 x, y, destX, destY;
    QINT64 bufferW, bufferH;  // the destination buffer
    const char* what;
  };
  const Case cases[] = {
      {640, 480, 320, 240, 0, 0, 0, 0, 320, 240, "halves"},
      {640, 480, 640, 480, 0, 0, 0, 0, 640, 480, "whole size"},
      {640, 480, 160, 120, 0, 0, 0, 0, 160, 120, "quarters"},
      {640, 480, 40, 160, 0, 0, 0, 0, 40, 160, "sixteenth in X, third in Y"},
      {640, 480, 212, 96, 0, 0, 0, 0, 212, 96, "scales that do not divide the size"},
      {640, 480, 320, 240, 0, 0, 80, 40, 400, 280, "at a destination offset"},
      {320, 240, 160, 120, 64, 32, 0, 0, 160, 120, "from a source offset"},
  };
  const QID source = Patterned(3, 640, 480, kGrabColour, 1);
  const Image in = Read(source);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QappControl(Q_DEFAULT, kLastCopy, 0);
    const QID destination = Buffer(system_, 1, c.bufferW, c.bufferH, kHostMono);
    QbufClear(destination, 0);
    Scale(source, destination, c.x, c.y, c.w, c.h, c.destX, c.destY, c.destW, c.destH);
    EXPECT_EQ(LastError(), Err(0));
    EXPECT_TRUE(BoardCopied());
    const QINT64 stepX = c.w / c.destW;
    const QINT64 stepY = c.h / c.destH;
    const Image out = Read(destination);
    int wrong = 0;
    for (QINT64 j = 0; j < c.bufferH; ++j) {
      for (QINT64 i = 0; i < c.bufferW; ++i) {
        const bool inside =
            i >= c.destX && j >= c.destY && i < c.destX + c.destW && j < c.destY + c.destH;
        const uint8_t expected =
            inside ? in.At(0, c.x + (i - c.destX) * stepX, c.y + (j - c.destY) * stepY) : 0;
        wrong += out.At(0, i, j) != expected;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(BufferTransfer, TheHostScalesAsTheBoardDoes) {
  const QID source = Patterned(3, 640, 480, kGrabColour, 2);
  const QID destination = Buffer(system_, 1, 320, 240, kHostMono);
  const QID hostSource = Buffer(Q_DEFAULT, 3, 640, 480, kImage);
  const QID hostDestination = Buffer(Q_DEFAULT, 1, 320, 240, kImage);
  QbufPut(hostSource, Read(source).pixels.data());
  Scale(source, destination, 0, 0, 640, 480, 0, 0, 320, 240);
  QbufTransfer(hostSource, hostDestination, 0, 0, 640, 480, 0, 0, 0, 320, 240, 0, Q_DEFAULT,
               kBoardType, Q_DEFAULT, nullptr);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(Read(destination).pixels, Read(hostDestination).pixels);
}

TEST_F(BufferTransfer, ScaledTransfersTheBoardCannotMakeAreRefused) {
  struct Case {
    QINT64 sourceAttribute, destinationAttribute, w, h, destW, destH;
    const char* what;
    QINT64 type = kBoardType;
  };
  const Case cases[] = {
      {kGrabColour, kHostMono, 640, 480, 20, 480, "scale X of 32"},
      {kGrabColour, kHostMono, 640, 480, 320, 0, "destination size Y of 0"},
      {kGrabColour, kHostMono, 640, 480, 0, 240, "destination size X of 0"},
      {kGrabColour, kHostMono, 640, 100, 320, 240, "source smaller than destination in Y"},
      {kGrabColour, kHostMono, 300, 480, 320, 240, "source smaller than destination in X"},
      {kGrabColour, kHostMono, 640, 480, 37, 240, "a seventeenth in X"},
      {kHostMono, kHostMono, 640, 480, 320, 240, "source in host memory"},
      {kGrabColour, kGrabColour, 640, 480, 320, 240, "destination in device memory"},
      {kGrabColour, kHostMono, 640, 480, 320, 240, "a transfer type not the board's", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QappControl(Q_DEFAULT, kLastCopy, 0);
    const QID source = Patterned(3, 640, 480, c.sourceAttribute, 3);
    const QID destination = Buffer(system_, 1, 320, 240, c.destinationAttribute);
    QbufClear(destination, 5);
    const Image before = Read(destination);
    QbufTransfer(source, destination, 0, 0, c.w, c.h, kAllBands, 0, 0, c.destW, c.destH, kAllBands,
                 Q_DEFAULT, c.type, Q_DEFAULT, nullptr);
    ExpectError(4330, 1);
    EXPECT_FALSE(BoardCopied());
    // No host copy stands in for the board.
    EXPECT_EQ(Read(destination).pixels, before.pixels);
  }
}

// The board unpacks either colour layout it grabs into these host layouts only; into any
// other the host copies.
TEST_F(BufferTransfer, ScaledTransfersWriteTheHostLayoutsTheBoardUnpacksInto) {
  struct Case {
    QINT64 sourceLayout, bands, attribute;
    bool board;
  };
  const Case cases[] = {
      {0x21700, 3, kHostMono | 0x21000, true},       {0x21700, 3, kHostMono | 0x21100, true},
      {0x21700, 3, kHostMono | 0x21700, true},       {0x21C00, 3, kHostMono | 0x21C00, true},
      {0x21700, 1, kHostMono | 0x40200, true},       {0x21C00, 3, kImage | kMapped | 0x40800, true},
      {0x21700, 3, kImage | kMapped | 0x800, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attribute);
    QappControl(Q_DEFAULT, kLastCopy, 0);
    const QID source = Patterned(3, 640, 480, kGrabColour | c.sourceLayout, 16);
    const QID destination = Buffer(system_, c.bands, 320, 240, c.attribute);
    Scale(source, destination, 0, 0, 640, 480, 0, 0, 320, 240);
    EXPECT_EQ(BoardCopied(), c.board);
  }
}

TEST_F(BufferTransfer, AKernelRefusalStaysTheCallersError) {
  const QID source = Patterned(3, 640, 480, kGrabColour, 5);
  const QID destination = Buffer(system_, 1, 320, 240, kHostMono);
  SimBoard().ArmFault(zor::kernel::kBufTransfer, boardsim::Fault{.code = 4300, .subCode = 2});
  Scale(source, destination, 0, 0, 640, 480, 0, 0, 320, 240);
  SimBoard().ClearFaults();
  ExpectError(4300, 2);
}

TEST_F(BufferTransfer, ThreeBufferCopyPlacesTheSourceRegion) {
  const QID source = Associated(Patterned(3, 128, 64, kGrabColour, 6));
  const QID destination = Associated(Patterned(3, 160, 96, kGrabColour, 7));
  const Image in = Read(source);
  Image expected = Read(destination);
  Three(source, destination, 32, 8, 64, 40, 96, 16, kCopy, 0, nullptr);
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_TRUE(BoardCopied());
  for (QINT64 b = 0; b < 3; ++b) {
    for (QINT64 j = 0; j < 40; ++j) {
      for (QINT64 i = 0; i < 64; ++i) {
        expected.pixels[static_cast<size_t>((b * 96 + 16 + j) * 160 + 96 + i)] =
            in.At(b, 32 + i, 8 + j);
      }
    }
  }
  EXPECT_EQ(Read(destination).pixels, expected.pixels);
}

TEST_F(BufferTransfer, BlendWeighsTheThirdBufferByTheOperationFlag) {
  for (QINT64 flag : {0, 128, 255}) {
    SCOPED_TRACE(flag);
    const QID first = Associated(Patterned(3, 64, 32, kGrabColour, 8));
    QID third = Associated(Patterned(3, 64, 32, kGrabColour, 9));
    const QID destination = Associated(Patterned(3, 64, 32, kGrabColour, 10));
    const Image a = Read(first);
    const Image c = Read(third);
    Three(first, destination, 0, 0, 64, 32, 0, 0, kBlend, flag, &third);
    EXPECT_EQ(LastError(), Err(0));
    const Image out = Read(destination);
    int wrong = 0;
    for (size_t i = 0; i < out.pixels.size(); ++i) {
      wrong += out.pixels[i] != ((a.pixels[i] * (256 - flag) + c.pixels[i] * flag) >> 8);
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(BufferTransfer, ThreeBufferChecksInTheirOrder) {
  const QID source = Associated(Patterned(3, 64, 32, kGrabColour, 11));
  QID third = Associated(Patterned(3, 64, 32, kGrabColour, 12));
  const QID destination = Associated(Buffer(system_, 3, 64, 32, kGrabColour));
  const QID plain = Buffer(system_, 3, 64, 32, kGrabColour);  // no host buffer of its own
  const QID mono = Associated(Buffer(system_, 1, 64, 32, kGrabColour));
  QID narrow = Associated(Buffer(system_, 3, 32, 32, kGrabColour));
  QID shallow = Associated(Buffer(system_, 3, 64, 16, kGrabColour));
  QID noHandle = Associated(Buffer(system_, 3, 64, 32, kImage | 0x21700));
  QID notABuffer = system_;
  struct Case {
    QID source, destination;
    QINT64 x, w, function, flag;
    QID* third;
    QINT64 code, subCode;
    const char* what;
  };
  const Case cases[] = {
      {source, destination, 0, 64, kBlend, 256, &third, 4332, 2, "operation flag 256"},
      {source, destination, 0, 64, kBlend, 0, nullptr, 4326, 4, "no third buffer"},
      {source, destination, 0, 64, kBlend, 0, &notABuffer, 4326, 4, "a third that is no buffer"},
      {plain, destination, 0, 64, kCopy, 0, nullptr, 4326, 4, "no associated host buffer"},
      {source, destination, 16, 32, kBlend, 0, &third, 4330, 2, "source offset X of 16"},
      {source, destination, 0, 48, kCopy, 0, nullptr, 4330, 2, "size X of 48"},
      {source, destination, 0, 64, kBlend, 0, &narrow, 4330, 2, "third narrower"},
      {source, destination, 0, 64, kBlend, 0, &shallow, 4330, 2, "third shallower"},
      {source, mono, 0, 64, kCopy, 0, nullptr, 4326, 1, "mono destination"},
      {source, destination, 0, 64, kBlend, 0, &noHandle, 4327, 2, "third in host memory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QappControl(Q_DEFAULT, kLastCopy, 0);
    Three(c.source, c.destination, c.x, 0, c.w, 32, 0, 0, c.function, c.flag, c.third);
    ExpectError(c.code, c.subCode);
    EXPECT_FALSE(BoardCopied());
  }
  // The destination's offset keeps to the same steps, and its region is the source's size.
  for (const auto& [x, w, h] : {std::array<QINT64, 3>{16, 64, 32}, {0, 32, 32}, {0, 64, 16}}) {
    QbufTransfer(source, destination, 0, 0, 64, 32, kAllBands, x, 0, w, h, kAllBands, kCopy,
                 kBoardType, 0, nullptr);
    ExpectError(4330, 2);
  }
}

TEST_F(BufferTransfer, ARefusedBlendSendsNothing) {
  const QID source = Associated(Patterned(3, 64, 32, kGrabColour, 13));
  QID third = Associated(Patterned(3, 64, 32, kGrabColour, 14));
  const QID destination = Associated(Buffer(system_, 3, 64, 32, kGrabColour));
  SimBoard().ArmFault(zor::kernel::kBufTripleTransfer, boardsim::Fault{.code = 4300, .subCode = 7});
  Three(source, destination, 0, 0, 64, 32, 0, 0, kBlend, 256, &third);
  ExpectError(4332, 2);
  // The fault is still armed: the refused request never reached the board.
  Three(source, destination, 0, 0, 64, 32, 0, 0, kBlend, 255, &third);
  SimBoard().ClearFaults();
  ExpectError(4300, 7);
}

TEST_F(BufferTransfer, AFailedQueueEndsTheHostBuffersPendingGrab) {
  const QID source = Associated(Patterned(3, 64, 32, kGrabColour, 15));
  const QID destination = Buffer(system_, 3, 64, 32, kGrabColour);
  const QID host = Buffer(Q_DEFAULT, 3, 64, 32, kImage);
  QbufControl(destination, kAssociatedHostBuffer, host);
  SimBoard().ArmFault(zor::kernel::kBufQueueGrab, boardsim::Fault{.code = 4300, .subCode = 8});
  Three(source, destination, 0, 0, 64, 32, 0, 0, kCopy, 0, nullptr);
  SimBoard().ClearFaults();
  ExpectError(4300, 8);
  EXPECT_EQ(QbufInquire(host, kGrabState, nullptr), 2);
}

}  // namespace
}  // namespace zor::board
