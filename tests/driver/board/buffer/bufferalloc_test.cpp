// Buffer allocation on a board system in every layout the board takes, the
// layouts it refuses, children and bands, and frees in any order.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/kernel/kernelcodes.h"
#include "platform/boardsim/faults.h"
#include "platform/host/hostservices.h"
#include "tests/driver/board/boardfixture.h"

namespace zor::board {
namespace {

constexpr QINT64 kImage = 0x4;
constexpr QINT64 kProcessing = 0x8;
constexpr QINT64 kDeviceMemory = 0x80000;
constexpr QINT64 kBoardImage = 0x4004 | 0x8C00000;
constexpr QINT64 kFormatWord = 7701;
constexpr QINT64 kLine = kImage | 0x40 | 0x80000000000;

class BufferAlloc : public SystemFixture {
 protected:
  // Writes a ramp into every band and reads it back.
  static bool RoundTrips(QID buffer, QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 bytes) {
    std::vector<uint8_t> in(static_cast<size_t>(bands * sizeX * sizeY * bytes));
    // A loop, not std::iota: GCC 12 at -O3 then takes the vector's delete for one at an offset.
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i + 7);
    QbufPut(buffer, in.data());
    std::vector<uint8_t> out(in.size(), 0);
    QbufGet(buffer, out.data());
    return in == out;
  }

  // The images the host holds: the application's buffers and the memory the driver made them.
  static QINT64 HostImages() { return HostAppListObjects(Q_DEFAULT, 20, Q_IMAGE, 0, nullptr); }

  // The allocation is refused with its error, and leaves no host buffer and no record behind:
  // the next buffer takes the first index.
  void ExpectRefused(QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 depth, QINT64 attribute,
                     const std::string& error) const {
    const QINT64 images = HostImages();
    QID out = 1;
    EXPECT_EQ(QbufAllocColor(system_, bands, sizeX, sizeY, depth, attribute, &out), 0);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(LastError(), error);
    EXPECT_EQ(HostImages(), images) << "a host buffer was left behind";
    const QID next = QbufAllocColor(system_, 1, 64, 48, 8, kImage, nullptr);
    EXPECT_EQ(QbufInquire(next, Q_DRIVER_INDEX, nullptr), 1);
    QbufFree(next);
  }
};

struct Layout {
  QINT64 bands;
  QINT64 depth;
  QINT64 attribute;
  const char* what;
};

// Each band's host address holds that band, filled with its own number; bands interleaved in
// one row share one address.
void ExpectBandAddresses(QID buffer, const Layout& l, QINT64 sizeX, QINT64 sizeY) {
  const QINT64 rowBytes = sizeX * l.depth / 8;
  const size_t bandBytes = static_cast<size_t>(rowBytes * sizeY);
  std::vector<uint8_t> in(static_cast<size_t>(l.bands) * bandBytes);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i / bandBytes + 1);
  QbufPut(buffer, in.data());
  const bool interleaved = QbufInquire(buffer, Q_PITCH_BYTE, nullptr) > rowBytes;
  const QINT64 first = QbufInquire(buffer, Q_HOST_ADDRESS + 0x8, nullptr);
  for (QINT64 band = 0; band < l.bands; ++band) {
    SCOPED_TRACE(band);
    const QINT64 address = QbufInquire(buffer, Q_HOST_ADDRESS + (0x8 << band), nullptr);
    ASSERT_NE(address, 0);
    if (interleaved) {
      EXPECT_EQ(address, first);
      continue;
    }
    const auto* row = reinterpret_cast<const uint8_t*>(address);
    EXPECT_EQ(row[0], band + 1);
    EXPECT_EQ(row[rowBytes - 1], band + 1);
  }
}

TEST_F(BufferAlloc, EveryAcceptedLayoutHoldsItsPixels) {
  const Layout layouts[] = {
      {1, 8, kImage, "host memory, mono 8"},
      {1, 16, kImage, "host memory, mono 16"},
      {1, 32, kImage, "host memory, mono 32"},
      {3, 8, kImage, "host memory, colour 8"},
      {3, 8, kImage | kProcessing, "processing, colour 8"},
      {3, 8, kImage | 0x800, "packed colour"},
      {1, 8, kImage | kDeviceMemory, "device memory, mono 8"},
      {3, 8, kImage | kDeviceMemory, "device memory, colour 8"},
      {1, 8, kImage | kDeviceMemory | 0x300, "device memory, 8 bits in a 16-bit format"},
      {3, 8, kImage | kDeviceMemory | 0xB00, "device memory, 8 bits in a 48-bit format"},
      {3, 8, kImage | kDeviceMemory | 0x20700, "device memory, packed 0x700"},
      {1, 8, kBoardImage | 0x200, "on-board, mono 8"},
      {3, 8, kBoardImage | 0x1700, "on-board, colour 8"},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.what);
    const QID buffer = QbufAllocColor(system_, l.bands, 64, 48, l.depth, l.attribute, nullptr);
    ASSERT_NE(buffer, 0);
    EXPECT_EQ(LastError(), Err(0));
    EXPECT_EQ(QbufInquire(buffer, Q_SIZE_X, nullptr), 64);
    EXPECT_EQ(QbufInquire(buffer, Q_SIZE_Y, nullptr), 48);
    EXPECT_EQ(QbufInquire(buffer, Q_SIZE_BAND, nullptr), l.bands);
    EXPECT_TRUE(RoundTrips(buffer, l.bands, 64, 48, l.depth / 8));
    ExpectBandAddresses(buffer, l, 64, 48);
    QbufFree(buffer);
  }
}

TEST_F(BufferAlloc, GrabBuffersGetTheFormatTheBoardGrabsInto) {
  const QID mono = QbufAllocColor(system_, 1, 64, 48, 8, kImage | kDeviceMemory, nullptr);
  const QID colour = QbufAllocColor(system_, 3, 64, 48, 8, kImage | kDeviceMemory, nullptr);
  ASSERT_NE(mono, 0);
  ASSERT_NE(colour, 0);
  EXPECT_EQ(QbufInquire(mono, kFormatWord, nullptr) & 0x63F00, 0x40200);
  EXPECT_EQ(QbufInquire(colour, kFormatWord, nullptr) & 0x63F00, 0x21700);
  // The board's memory: the kernel knows a board address for it.
  EXPECT_NE(QbufInquire(mono, 0x400000, nullptr), 0);
  for (QID buffer : {mono, colour}) QbufFree(buffer);
  // The second band's child starts past the first band in either colour layout the board grabs.
  for (QINT64 layout : {0x21700, 0x21C00}) {
    const QID parent =
        QbufAllocColor(system_, 3, 64, 48, 8, kImage | kDeviceMemory | layout, nullptr);
    const QID first = QbufChildColor2d(parent, 8, 0, 0, 64, 48, nullptr);
    const QID second = QbufChildColor2d(parent, 16, 0, 0, 64, 48, nullptr);
    EXPECT_GT(QbufInquire(second, 0x400000, nullptr), QbufInquire(first, 0x400000, nullptr))
        << layout;
    for (QID buffer : {first, second, parent}) QbufFree(buffer);
  }
}

TEST_F(BufferAlloc, RefusedLayoutsLeaveNothingBehind) {
  struct Refused {
    QINT64 bands, sizeX, sizeY, depth, attribute, code, subCode;
    const char* what;
  };
  const Refused refused[] = {
      {3, 64, 48, 8, kImage | 0x200, 4328, 1, "three bands of a mono format"},
      {2, 64, 48, 8, kImage, 4328, 1, "two bands"},
      {1, 64, 48, 8, kImage | 0x2, 4326, 1, "attribute bit 1"},
      {1, 64, 48, 16, kImage | kDeviceMemory, 4407, 1, "16-bit grab buffer"},
      {1, 1024, 48, 8, kImage | kDeviceMemory, 4409, 1, "grab buffer 1024 wide"},
      {1, 64, 1024, 8, kImage | kDeviceMemory, 4409, 1, "grab buffer 1024 high"},
      {1, 64, 48, 8, 0x20004, 4331, 3, "format asked for but not given"},
      // Refused after the host buffer was made.
      {1, 64, 48, 8, kImage | kProcessing | 0x4000, 4331, 1, "processing with bit 14"},
      {1, 64, 48, 16, kImage | kProcessing, 4328, 3, "16-bit grab buffer in host memory"},
      // The format left open is the one of the bands and depth asked for.
      {1, 64, 48, 32, kImage | kProcessing, 4328, 3, "32-bit grab buffer in host memory"},
      {1, 64, 48, 1, kImage | kProcessing, 4328, 3, "1-bit grab buffer in host memory"},
      {3, 64, 48, 16, kImage | kProcessing, 4328, 3, "16-bit colour grab buffer"},
      {3, 64, 48, 32, kImage | kProcessing, 4328, 3, "32-bit colour grab buffer"},
      {3, 64, 48, 1, kImage | kProcessing, 4328, 3, "1-bit colour grab buffer"},
      {3, 64, 48, 8, kImage | kProcessing | 0x40000, 4328, 2, "planar colour grab buffer"},
      {1, 64, 48, 8, kImage | kDeviceMemory | 0x21000, 4328, 2, "device memory, packed BGR"},
      {1, 64, 48, 8, kImage | kDeviceMemory | kProcessing | 0x40200, 4326, 1,
       "grab buffer in device memory, mono"},
      {3, 64, 48, 8, kImage | kDeviceMemory | kProcessing | 0x21000, 4326, 1,
       "grab buffer in device memory, packed BGR"},
      {1, 65536, 1, 8, kLine, 4416, 2, "line buffer on a board without them"},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.what);
    ExpectRefused(r.bands, r.sizeX, r.sizeY, r.depth, r.attribute, Err(r.code, r.subCode));
  }
  // The board refuses, or its request is lost, after the record was placed: the code of a lost
  // request is the driver's own.
  using boardsim::FaultKind;
  struct BoardRefusal {
    uint32_t function;
    FaultKind kind;
    QINT64 attribute, size, code, subCode, detail;
    const char* what;
  };
  const BoardRefusal boardRefusals[] = {
      {kernel::kAllocOnBoardBuffer, FaultKind::kErrorTriple, kBoardImage | 0x200, 2048, 4302, 2, 0,
       "on-board memory short"},
      {kernel::kAllocOnBoardBuffer, FaultKind::kTransportFailure, kBoardImage | 0x200, 2048, 4336,
       2, 6, "on-board request lost"},
      {kernel::kBufAlloc, FaultKind::kTransportFailure, kImage | kDeviceMemory, 64, 4336, 2, 6,
       "device memory request lost"},
  };
  for (const BoardRefusal& r : boardRefusals) {
    SCOPED_TRACE(r.what);
    SimBoard().ArmFault(r.function, boardsim::Fault{r.kind, static_cast<uint64_t>(r.code),
                                                    static_cast<uint64_t>(r.subCode)});
    ExpectRefused(1, r.size, r.size, 8, r.attribute, Err(r.code, r.subCode, r.detail));
  }
}

// A line buffer: one 8-bit band of one line of at least 65536 pixels, on a board that has them.
TEST_F(BufferAlloc, LineBuffersAreOneLongEightBitLine) {
  QsysFree(system_);
  SimBoard().SetCapabilities(kernel::kCapFourChannels | kernel::kCapLineBuffers);
  system_ = Alloc();
  const struct {
    QINT64 bands, sizeX, sizeY, depth, code, subCode;
  } cases[] = {{1, 65536, 1, 8, 0, 0},
               {1, 65535, 1, 8, 4407, 4},
               {1, 65536, 2, 8, 4407, 4},
               {3, 65536, 1, 8, 4328, 1},
               {1, 65536, 1, 16, 4330, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.bands << " " << c.sizeX << " " << c.sizeY << " " << c.depth);
    const QID line = QbufAllocColor(system_, c.bands, c.sizeX, c.sizeY, c.depth, kLine, nullptr);
    EXPECT_EQ(LastError(), Err(c.code, c.subCode));
    EXPECT_EQ(line != 0, c.code == 0);
    if (line == 0) continue;
    // The board takes a line buffer non-paged.
    EXPECT_NE(QbufInquire(line, Q_ATTRIBUTE, nullptr) & 0x200000, 0);
    QbufFree(line);
  }
  SimBoard().SetCapabilities(kernel::kCapFourChannels);
}

TEST_F(BufferAlloc, FreedIndexesAreReusedFromTheFirst) {
  const auto alloc = [this] { return QbufAllocColor(system_, 1, 32, 32, 8, kImage, nullptr); };
  const QID a = alloc(), b = alloc(), c = alloc();
  for (QID id : {a, b}) QbufFree(id);
  const QID d = alloc(), e = alloc(), f = alloc();
  EXPECT_EQ(QbufInquire(d, Q_DRIVER_INDEX, nullptr), 1);
  EXPECT_EQ(QbufInquire(e, Q_DRIVER_INDEX, nullptr), 2);
  EXPECT_EQ(QbufInquire(f, Q_DRIVER_INDEX, nullptr), 4);
  for (QID id : {c, d, e, f}) QbufFree(id);
}

TEST_F(BufferAlloc, ChildrenSeeTheirParentsPixels) {
  for (QINT64 attribute : {kImage, kImage | kDeviceMemory}) {
    SCOPED_TRACE(attribute);
    const QID parent = QbufAllocColor(system_, 3, 64, 48, 8, attribute, nullptr);
    ASSERT_NE(parent, 0);
    std::vector<uint8_t> planes(3 * 64 * 48);
    for (size_t i = 0; i < planes.size(); ++i) planes[i] = static_cast<uint8_t>(i / (64 * 48) + 1);
    QbufPut(parent, planes.data());
    // Band 16 names the second plane; a band number names itself.
    const QID green = QbufChildColor2d(parent, 16, 8, 4, 16, 8, nullptr);
    const QID numbered = QbufChildColor2d(parent, 1, 0, 0, 64, 48, nullptr);
    const QID whole = QbufChild2d(parent, 0, 0, 64, 48, nullptr);
    for (QID child : {green, numbered, whole}) ASSERT_NE(child, 0);
    EXPECT_EQ(QbufInquire(green, Q_SIZE_X, nullptr), 16);
    EXPECT_EQ(QbufInquire(green, Q_PARENT_ID, nullptr), parent);
    // Whether grabs are enabled is the root's.
    QbufControl(parent, 1030, 0);
    EXPECT_EQ(QbufInquire(green, 1030, nullptr), 0);
    std::vector<uint8_t> seen(16 * 8);
    QbufGet(green, seen.data());
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 2), 16 * 8);
    const QID third = QbufChildColor2d(parent, 32, 8, 4, 16, 8, nullptr);
    QbufGet(third, seen.data());
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 3), 16 * 8) << "band 32 names the third plane";
    QbufFree(third);
    // Writes through a child land in the parent; the parent goes first.
    std::vector<uint8_t> nine(64 * 48, 9);
    QbufPut(numbered, nine.data());
    QbufFree(parent);
    std::vector<uint8_t> all(3 * 64 * 48);
    QbufGet(whole, all.data());
    EXPECT_EQ(all[0], 1);
    EXPECT_EQ(all[64 * 48], 9);
    EXPECT_EQ(all[2 * 64 * 48], 3);
    for (QID child : {whole, green, numbered}) QbufFree(child);
    EXPECT_EQ(LastError(), Err(0));
  }
}

TEST_F(BufferAlloc, InvalidChildBandsAreRefused) {
  const QID mono = QbufAllocColor(system_, 1, 64, 48, 8, kImage | 0x200, nullptr);
  // Band 0 of a mono buffer is its only band.
  for (const auto& [band, error] : {std::pair{16, Err(4327, 1)},
                                    {32, Err(4327, 1)},
                                    {1, Err(4327, 1)},
                                    {0, Err(0)},
                                    {8, Err(0)},
                                    {-1, Err(0)}}) {
    const QID child = QbufChildColor2d(mono, band, 0, 0, 8, 8, nullptr);
    EXPECT_EQ(LastError(), error) << band;
    EXPECT_EQ(child != 0, error == Err(0)) << band;
    if (child != 0) QbufFree(child);
  }
  QbufFree(mono);
}

// Grab buffers lend parts of themselves: those in host memory have no kernel buffer to split,
// and the board splits the packed layouts it grabs into device memory.
TEST_F(BufferAlloc, GrabBuffersLendParts) {
  for (const auto& [bands, attribute] : {std::pair{1, kImage | kProcessing},
                                         {3, kImage | kProcessing},
                                         {3, kImage | kDeviceMemory | kProcessing | 0x21700}}) {
    SCOPED_TRACE(attribute);
    const QID parent = QbufAllocColor(system_, bands, 64, 48, 8, attribute, nullptr);
    ASSERT_NE(parent, 0);
    for (const QID child :
         {QbufChild2d(parent, 8, 8, 16, 16, nullptr), QbufChild2d(parent, 0, 0, 64, 48, nullptr)}) {
      EXPECT_NE(child, 0);
      EXPECT_EQ(LastError(), Err(0));
      QbufFree(child);
    }
    QbufFree(parent);
  }
}

TEST_F(BufferAlloc, ControlsTheRecordKeeps) {
  const QID buffer = QbufAllocColor(system_, 1, 64, 48, 8, kImage, nullptr);
  struct Row {
    QINT64 type, value, read, answer, error;
  };
  // In turn: a refused value leaves the last one. 5079 is the mode, 5085 and 5080 the grab
  // state (kept by the record of a host buffer too), 1030 grabs enabled, 1037 and 1072 the
  // associated buffer and whether its word is taken (asked of the host, which has none: 1006).
  const Row rows[] = {{0x4000000, 255, 0x4000000, 255, 0},
                      {5079, 3, 5079, 3, 0},
                      {5079, 0, 5079, 3, 4307},
                      {5079, 1, 5079, 1, 0},
                      {5079, 4, 5079, 1, 4307},
                      {5079, Q_DEFAULT, 5079, 3, 0},
                      {5085, 3, 5085, 3, 0},
                      {5085, 4, 5085, 3, 4307},
                      {5085, 0, 5085, 3, 4307},
                      {5080, Q_ENABLE, 5080, 1, 0},
                      {5080, 2, 5085, 1, 4307},
                      {5080, Q_DISABLE, 5085, Q_DISABLE, 0},
                      {5085, 1, 5080, 1, 0},
                      {5085, Q_DEFAULT, 5085, Q_DISABLE, 0},
                      {1030, 0, 1030, 0, 0},
                      {1030, 2, 1030, 0, 4307},
                      {1030, 1, 1030, 1, 0},
                      {1030, 0, 1030, 0, 0},
                      {1030, Q_DEFAULT, 1030, 1, 0},
                      {1037, buffer, 1037, buffer, 0},
                      {1072, 1, 1072, 1, 1006},
                      {1072, 5, 1072, 1, 0},
                      {1072, 0, 1072, 0, 0},
                      {1072, 1, 1072, 1, 1006},
                      {1072, Q_DEFAULT, 1072, 0, 0}};
  for (const Row& row : rows) {
    QbufControl(buffer, row.type, row.value);
    EXPECT_EQ(ErrorCode(), row.error) << row.type << " " << row.value;
    EXPECT_EQ(QbufInquire(buffer, row.read, nullptr), row.answer) << row.type << " " << row.value;
  }
  // Not on the board's memory.
  EXPECT_EQ(QbufInquire(buffer, 6708, nullptr), 0);
  EXPECT_EQ(LastError(), Err(4332, 3));
  // The board word of a buffer not in its word layout, the board value of a host image.
  for (const QINT64 type : {5278, 8226}) {
    QbufControl(buffer, type, 1);
    EXPECT_EQ(LastError(), Err(type == 5278 ? 4326 : 4307, 1)) << type;
  }
  QbufFree(buffer);
  // The board word takes 0 to 255, the default being 0; a refused word keeps the one before.
  const QID word = QbufAllocColor(system_, 3, 64, 48, 8, kImage | 0x200000 | 0x21100, nullptr);
  const QINT64 words[][3] = {{255, 0, 255}, {256, 4307, 255}, {-1, 4307, 255}, {Q_DEFAULT, 0, 0}};
  for (const auto& [value, code, kept] : words) {
    QbufControl(word, 5278, value);
    EXPECT_EQ(LastError(), Err(code, code == 0 ? 0 : 3)) << value;
    EXPECT_EQ(QbufInquire(word, 5278, nullptr), kept) << value;
  }
  QbufFree(word);
  // A processing image's addresses are the caller's; the record words give the physical one.
  const QID kind = QbufAllocColor(system_, 1, 64, 48, 8, kImage | 0x4000, nullptr);
  QbufControl(kind, Q_PHYSICAL_ADDRESS, 0x123456);
  QbufControl(kind, Q_HOST_ADDRESS, 0x654320);
  EXPECT_EQ(QbufInquire(kind, Q_PHYSICAL_ADDRESS, nullptr), 0x123456);
  EXPECT_EQ(QbufInquire(kind, 5222, nullptr), 0x123456);
  EXPECT_EQ(QbufInquire(kind, Q_HOST_ADDRESS, nullptr), 0x654320);
  QbufFree(kind);

  // A board image's value, given as a double: truncated into 0 to 16; what no integer of the
  // range stands for is refused as an invalid value, never converted.
  constexpr QINT64 kBoardImageValue = 8226;
  const QID onBoard = QbufAllocColor(system_, 1, 64, 48, 8, kBoardImage | 0x200, nullptr);
  ASSERT_NE(onBoard, 0);
  for (const QINT64 value : {16, 17, -1}) {
    QbufControl(onBoard, kBoardImageValue, value);
    EXPECT_EQ(LastError(), value == 16 ? Err(0) : Err(4307, 3)) << value;
  }
  for (double accepted : {0.0, 16.0, 16.9, -0.5}) {
    HostBufControlDouble(onBoard, kBoardImageValue, accepted);
    EXPECT_EQ(LastError(), Err(0)) << accepted;
  }
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  for (double refused : {17.0, -1.0, 1e300, -1e300, 9223372036854775808.0, kInfinity, -kInfinity,
                         std::numeric_limits<double>::quiet_NaN()}) {
    HostBufControlDouble(onBoard, kBoardImageValue, refused);
    EXPECT_EQ(LastError(), Err(4307, 3)) << refused;
  }
  QbufFree(onBoard);
}

TEST_F(BufferAlloc, SystemFreeTakesLiveBuffersAlong) {
  QID parent = QbufAllocColor(system_, 1, 64, 48, 8, kImage | kDeviceMemory, nullptr);
  QID onBoard = QbufAllocColor(system_, 1, 64, 48, 8, kBoardImage | 0x200, nullptr);
  ASSERT_NE(onBoard, 0) << ErrorCode() << "/" << SubCode(1);
  ASSERT_NE(QbufChild2d(parent, 0, 0, 32, 32, nullptr), 0);
  QsysFree(system_);
  system_ = 0;
  EXPECT_EQ(LastError(), Err(0));
  EXPECT_EQ(QbufInquire(parent, Q_SIZE_X, nullptr), 0);
}

}  // namespace
}  // namespace zor::board
