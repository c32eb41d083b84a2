// Host buffers: memory, children, caller memory, clearing, export; and board buffers, whose
// memory the driver makes through the host.
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <utility>
#include <vector>

#include "platform/host/bufferdescription.h"
#include "platform/host/hostservices.h"
#include "tests/platform/host/hostfixture.h"

namespace {

using BufferTest = HostTest;

std::vector<uint8_t> Ramp(size_t size) {
  std::vector<uint8_t> data(size);
  std::iota(data.begin(), data.end(), uint8_t{1});
  return data;
}

TEST_F(BufferTest, ColorBufferKeepsBandsApartAndChildrenShareMemory) {
  const QID buffer = QbufAllocColor(Q_DEFAULT_HOST, 3, 4, 2, 8, Q_IMAGE, nullptr);
  ASSERT_NE(buffer, 0);
  const std::vector<uint8_t> data = Ramp(24);
  QbufPut(buffer, data.data());
  std::vector<uint8_t> back(24);
  QbufGet(buffer, back.data());
  EXPECT_EQ(back, data);
  uint8_t green[8] = {};
  HostBufGetBand(buffer, 0, 1, green);
  EXPECT_EQ(green[0], 9);

  const QID child = QbufChild2d(buffer, 1, 1, 2, 1, nullptr);
  ASSERT_NE(child, 0);
  // What the driver asks of any buffer: its parent, a region copy's target and flags, and each
  // plane's address, a row and a pixel on from the parent's.
  const QINT64 plane1 = QbufInquire(buffer, Q_HOST_ADDRESS + 0x10, nullptr);
  for (const auto& [type, answer] : {std::pair<QINT64, QINT64>{Q_PARENT_ID, buffer},
                                     {1192, child},
                                     {6703, 0},
                                     {Q_HOST_ADDRESS + 0x10, plane1 + 5}}) {
    EXPECT_EQ(QbufInquire(child, type, nullptr), answer) << type;
    EXPECT_EQ(ErrorCode(), 0) << type;
  }
  // A list as long as the caller's room; the count is the whole; no other application has them.
  QID listed[2] = {};
  EXPECT_EQ(HostAppListObjects(Q_DEFAULT, 15, Q_IMAGE, 1, listed), 2);
  EXPECT_NE(listed[0], 0);
  EXPECT_EQ(listed[1], 0);
  EXPECT_EQ(HostAppListObjects(0x7777, 20, Q_IMAGE, 0, nullptr), 0);
  EXPECT_EQ(HostAppListObjects(Q_DEFAULT, 15, Q_IMAGE, 0, nullptr), 2);
  for (const auto& [kind, room, code] :
       {std::array<QINT64, 3>{15, 1, Q_ERR_NULL_POINTER}, {16, 0, Q_ERR_INVALID_PARAMETER}}) {
    EXPECT_EQ(HostAppListObjects(Q_DEFAULT, kind, Q_IMAGE, room, nullptr), 0);
    EXPECT_EQ(ErrorCode(), code) << kind;
  }
  uint8_t window[6] = {};
  QbufGet(child, window);
  EXPECT_EQ(window[0], 6);   // band 0, row 1, column 1
  EXPECT_EQ(window[2], 14);  // band 1
  // A child of one band, the first as well as a later one, holds that band only.
  for (const QINT64 band : {0, 2}) {
    const QID bandChild =
        (band == 0 ? QbufChildColor2d : HostBufChildAlloc)(buffer, band, 1, 1, 2, 1, nullptr);
    EXPECT_EQ(QbufInquire(bandChild, Q_SIZE_BAND, nullptr), 1);
    const auto* d = reinterpret_cast<const HostBufferDescription*>(
        QbufInquire(bandChild, Q_BUFFER_DESCRIPTION, nullptr));
    EXPECT_EQ(std::vector<uint64_t>({d->sizeX, d->sizeY, d->bands, d->dataType, d->pitch}),
              (std::vector<uint64_t>{2, 1, 1, 8, 4}));
    QbufGet(bandChild, window);
    EXPECT_EQ(window[0], 6 + 8 * band);
    QbufFree(bandChild);
  }
  // The driver's band services: a whole band, then a region of another put and read back.
  const uint8_t band1[8] = {30, 31, 32, 33, 34, 35, 36, 37};
  HostBufPutBand(buffer, 0, 1, band1);
  HostBufGetBand(buffer, 0, 1, green);
  EXPECT_EQ(std::vector<uint8_t>(green, green + 8), std::vector<uint8_t>(band1, band1 + 8));
  const uint8_t two[2] = {50, 51};
  HostBufPutBandRegion(buffer, 0, 2, 1, 0, 2, 1, two);
  uint8_t row[3] = {};
  HostBufGetBandRegion(buffer, 0, 2, 0, 0, 3, 1, row);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 3), (std::vector<uint8_t>{17, 50, 51}));
  const uint8_t ones[6] = {255, 255, 255, 255, 255, 255};
  QbufPut(child, ones);
  QbufFree(buffer);  // the child's memory outlives its parent
  QbufGet(child, window);
  EXPECT_EQ(window[5], 255);
  QbufFree(child);
  EXPECT_EQ(CountObjects(Q_IMAGE), 0);

  // A packed RGB buffer's child starts at the same pixel: its X offset counts whole pixels.
  const QID packed =
      QbufAllocColor(Q_DEFAULT_HOST, 3, 4, 2, 8, Q_IMAGE | Q_PACKED | 0x800, nullptr);
  ASSERT_NE(packed, 0);
  QbufPut(packed, data.data());
  const QID packedChild = QbufChild2d(packed, 1, 1, 2, 1, nullptr);
  ASSERT_NE(packedChild, 0);
  QbufGet(packedChild, window);
  EXPECT_EQ(std::vector<uint8_t>(window, window + 6), (std::vector<uint8_t>{6, 7, 14, 15, 22, 23}));
  const QINT64 packedAt = QbufInquire(packedChild, Q_HOST_ADDRESS, nullptr);
  QbufFree(packedChild);
  // One band of it starts at that band's sample of the same pixel.
  const QID greenChild = QbufChildColor2d(packed, 1, 1, 1, 2, 1, nullptr);
  EXPECT_EQ(QbufInquire(greenChild, Q_HOST_ADDRESS, nullptr), packedAt + 1);
  QbufGet(greenChild, window);
  EXPECT_EQ(std::vector<uint8_t>(window, window + 2), (std::vector<uint8_t>{14, 15}));
  QbufFree(greenChild);
  QbufFree(packed);
}

TEST_F(BufferTest, RegionsOutsideTheBufferAreRefused) {
  const QID buffer = QbufAlloc2d(Q_DEFAULT_HOST, 4, 4, 16, Q_IMAGE, nullptr);
  uint16_t pixels[16] = {};
  EXPECT_EQ(ErrorOf([&] { QbufGet2d(buffer, 3, 0, 2, 1, pixels); }), Q_ERR_INVALID_PARAMETER);
  EXPECT_EQ(ErrorOf([&] { QbufPut2d(buffer, 0, -1, 1, 1, pixels); }), Q_ERR_INVALID_PARAMETER);
  // An empty region, in either direction, is no error.
  for (const auto& [w, h] : {std::pair<QINT64, QINT64>{0, 1}, {1, 0}}) {
    EXPECT_EQ(ErrorOf([&] { QbufGet2d(buffer, 0, 0, w, h, pixels); }), 0) << w << " x " << h;
  }
  // A child may end on the last row or column, one pixel high or wide, not one past it.
  for (const auto& [x, y, w, h] : {std::array<QINT64, 4>{0, 3, 4, 1}, {3, 0, 1, 4}}) {
    const QID last = QbufChild2d(buffer, x, y, w, h, nullptr);
    EXPECT_NE(last, 0) << w << " x " << h;
    QbufFree(last);
  }
  for (const auto& [x, y, w, h] :
       {std::array<QINT64, 4>{0, 3, 4, 2}, {3, 0, 2, 4}, {2, 2, 3, 1}, {2, 0, INT64_MAX, 1}}) {
    EXPECT_EQ(QbufChild2d(buffer, x, y, w, h, nullptr), 0) << x << ", " << y;
    EXPECT_EQ(ErrorCode(), Q_ERR_INVALID_PARAMETER);
  }
  EXPECT_EQ(QbufAlloc2d(Q_DEFAULT_HOST, 0, 4, 8, Q_IMAGE, nullptr), 0);
  for (const QINT64 depth : {0, 65})
    EXPECT_EQ(QbufAlloc2d(Q_DEFAULT_HOST, 4, 4, depth, Q_IMAGE, nullptr), 0);
  const QID binary = QbufAlloc2d(Q_DEFAULT_HOST, 4, 4, 1, Q_IMAGE, nullptr);  // one bit, one byte
  EXPECT_EQ(QbufInquire(binary, Q_SIZE_BIT, nullptr), 1);
  QbufFree(binary);
  EXPECT_EQ(QbufAlloc2d(Q_DEFAULT_HOST, 4, 4, 12 | Q_FLOAT, Q_IMAGE, nullptr), 0);
  EXPECT_EQ(QbufAlloc2d(Q_DEFAULT_HOST, 1 << 30, 1 << 30, 8, Q_IMAGE, nullptr), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_OUT_OF_MEMORY);
  QbufFree(buffer);
}

TEST_F(BufferTest, WrappedMemoryHonoursThePitchAndDescription) {
  std::vector<uint8_t> memory(6 * 3, 0);
  const QID buffer = QbufCreate2d(Q_DEFAULT_HOST, 4, 3, 8, Q_IMAGE, 6, memory.data(), nullptr);
  ASSERT_NE(buffer, 0);
  QbufClear(buffer, 7);
  EXPECT_EQ(memory[3], 7);
  EXPECT_EQ(memory[4], 0);  // padding beyond the row stays untouched
  EXPECT_EQ(QbufInquire(buffer, Q_HOST_ADDRESS, nullptr), reinterpret_cast<QINT64>(memory.data()));
  const auto* description = reinterpret_cast<const HostBufferDescription*>(
      QbufInquire(buffer, Q_BUFFER_DESCRIPTION, nullptr));
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(std::vector<uint64_t>({description->sizeX, description->pitch, description->allocFlags,
                                   description->flags & 1, description->hostAddress[0]}),
            (std::vector<uint64_t>{4, 6, 0, 1, reinterpret_cast<uint64_t>(memory.data())}));
  QbufControl(buffer, 7300, -5);
  HostBufControlDouble(buffer, 7301, 9.0);
  EXPECT_EQ(QbufInquire(buffer, 7300, nullptr), -5);
  EXPECT_EQ(QbufInquire(buffer, 7301, nullptr), 9);
  QbufFree(buffer);
  EXPECT_EQ(memory[0], 7);  // the caller's memory is left alone
}

// A two-pixel buffer of the type cleared to value: both pixels, which must agree.
template <typename Pixel>
Pixel ClearedPixel(QINT64 type, double value) {
  const QID buffer = QbufAlloc2d(Q_DEFAULT_HOST, 2, 1, type, Q_IMAGE, nullptr);
  HostBufClear(buffer, value);
  Pixel pixels[2] = {};
  QbufGet(buffer, pixels);
  QbufFree(buffer);
  EXPECT_EQ(pixels[0], pixels[1]);
  return pixels[1];
}

// Integers saturate in their own width; a floating plane keeps the value whole.
TEST_F(BufferTest, ClearSaturatesToThePixelType) {
  EXPECT_EQ(ClearedPixel<uint8_t>(8, 300), 255);
  EXPECT_EQ(ClearedPixel<int16_t>(16 | Q_SIGNED, -40000), -32768);
  EXPECT_EQ(ClearedPixel<float>(32 | Q_FLOAT, 1.5), 1.5f);
  EXPECT_EQ(ClearedPixel<uint32_t>(32, 5e9), UINT32_MAX);
  EXPECT_EQ(ClearedPixel<uint64_t>(64, -3), 0u);
  EXPECT_EQ(ClearedPixel<double>(64 | Q_FLOAT, 0.1), 0.1);
}

// The description tells a driver the layout: planes of the depth unless the image names one.
TEST_F(BufferTest, DescriptionNamesTheLayoutAndSize) {
  struct Case {
    QINT64 bands, type, attribute;
    uint64_t formatWord, byteSize;
  };
  constexpr QINT64 kImage = Q_IMAGE;
  constexpr QINT64 kPlanes = Q_IMAGE | Q_PLANAR;
  const Case cases[] = {
      {1, 1, kImage, kPlanes | 0x100, 6},
      {1, 8, kImage, kPlanes | 0x200, 6},
      {1, 16 | Q_SIGNED, kImage, kPlanes | 0x300, 12},
      {1, 32, kImage, kPlanes | 0x400, 24},
      {1, 64 | Q_FLOAT, kImage, kPlanes, 48},
      {3, 1, kImage, kPlanes | 0xD00, 18},
      {3, 8, kImage, kPlanes | 0x800, 18},
      {3, 16, kImage, kPlanes | 0xB00, 36},
      {3, 32, kImage, kPlanes | 0xC00, 72},
      {1, 8, Q_PROC, Q_PROC, 6},
      {1, 8, kPlanes, kPlanes, 6},
      {3, 8, kImage | Q_PACKED | 0x1100, kImage | Q_PACKED | 0x1100, 24},
      {3, 16, kImage | Q_PACKED | 0x1100, kImage | Q_PACKED | 0x1100, 36},
      {1, 8, kImage | Q_PACKED | 0x1100, kImage | Q_PACKED | 0x1100, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bands) + " x " + std::to_string(c.type));
    const QID buffer = QbufAllocColor(Q_DEFAULT_HOST, c.bands, 3, 2, c.type, c.attribute, nullptr);
    ASSERT_NE(buffer, 0);
    const auto* d = reinterpret_cast<const HostBufferDescription*>(
        QbufInquire(buffer, Q_BUFFER_DESCRIPTION, nullptr));
    const uint64_t depth = static_cast<uint64_t>(c.type & 0xFF);
    EXPECT_EQ(
        std::vector<uint64_t>({d->formatWord, d->byteSize, d->bitDepth, d->depthSigned, d->flags}),
        (std::vector<uint64_t>{c.formatWord, c.byteSize, depth,
                               static_cast<uint64_t>(c.type & (0xFF | Q_SIGNED)), 0}));
    // Each plane's address, and no bus address for host memory.
    for (const auto& [type, address] :
         {std::pair<QINT64, uint64_t>{Q_HOST_ADDRESS + 0x8, d->hostAddress[0]},
          {Q_HOST_ADDRESS + 0x10, d->hostAddress[1]},
          {Q_HOST_ADDRESS + 0x20, d->hostAddress[2]},
          {Q_PHYSICAL_ADDRESS, 0},
          {0x4004, 0}}) {
      EXPECT_EQ(static_cast<uint64_t>(QbufInquire(buffer, type, nullptr)), address) << type;
      EXPECT_EQ(ErrorCode(), 0) << type;
    }
    QbufFree(buffer);
  }
}

TEST_F(BufferTest, RawExportWritesHeaderAndPackedRows) {
  std::vector<uint8_t> memory(8 * 2, 0xEE);
  const QID buffer =
      HostBufCreate2d(Q_DEFAULT_HOST, 3, 2, 8, Q_IMAGE, 0, 8, memory.data(), nullptr);
  const uint8_t pixels[6] = {1, 2, 3, 4, 5, 6};
  QbufPut(buffer, pixels);
  EXPECT_EQ(memory[8], 4);  // the second row, one pitch on
  const auto path = std::filesystem::temp_directory_path() / "zorhost_export.raw";
  ASSERT_EQ(QbufExport(path.wstring().c_str(), Q_RAW, buffer), 1);
  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
  ASSERT_EQ(bytes.size(), 64u + 6u);
  EXPECT_EQ(std::string(bytes.data(), 8), std::string("ZORRAW1", 8));
  // Header size, width, height, bands, type, bytes per pixel, attribute.
  uint64_t words[7];
  std::memcpy(words, bytes.data() + 8, sizeof(words));
  EXPECT_EQ(std::vector<uint64_t>(words, words + 7),
            (std::vector<uint64_t>{64, 3, 2, 1, 8, 1, Q_IMAGE}));
  EXPECT_EQ(std::vector<char>(bytes.begin() + 64, bytes.end()),
            std::vector<char>({1, 2, 3, 4, 5, 6}));
  std::filesystem::remove(path);
  EXPECT_EQ(QbufExport(L"/nonexistent/dir/x.raw", Q_RAW, buffer), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_FILE);
  // A driver's log dump names a file in the environment's TEMP: a FIFO there is never waited on.
  const std::filesystem::path fifo = std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) / "x.raw";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(QbufExport(fifo.wstring().c_str(), Q_RAW, buffer), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_FILE);
  EXPECT_EQ(ErrorText(Q_CURRENT_SUB_2_TEXT), L"not a regular file but a FIFO");
  EXPECT_EQ(HostBufExport(path.wstring().c_str(), 2, buffer), 0);
  EXPECT_EQ(ErrorCode(), Q_ERR_NOT_SUPPORTED);
  QbufFree(buffer);
}

TEST_F(BufferTest, BoardBufferGoesThroughTheDriverToItsHostMemory) {
  ASSERT_NE(AllocBoard(), 0);
  const QID buffer = QbufAlloc2d(board_, 5, 2, 8, Q_IMAGE | Q_GRAB, nullptr);
  ASSERT_NE(buffer, 0);
  EXPECT_GT(QbufInquire(buffer, Q_DRIVER_INDEX, nullptr), 0);
  EXPECT_EQ(QbufInquire(buffer, Q_SIZE_X, nullptr), 5);  // answered by the driver
  const std::vector<uint8_t> data = Ramp(10);
  QbufPut(buffer, data.data());
  std::vector<uint8_t> back(10);
  QbufGet(buffer, back.data());
  EXPECT_EQ(back, data);
  EXPECT_EQ(CountObjects(Q_IMAGE), 2);  // the board buffer and the memory the driver made
  QbufFree(buffer);
  EXPECT_EQ(CountObjects(Q_IMAGE), 0);
}

TEST_F(BufferTest, TransferCopiesBetweenBands) {
  const QID color = QbufAllocColor(Q_DEFAULT_HOST, 3, 2, 2, 8, Q_IMAGE, nullptr);
  const QID gray = QbufAlloc2d(Q_DEFAULT_HOST, 2, 2, 8, Q_IMAGE, nullptr);
  QbufClear(gray, 9);
  EXPECT_EQ(HostBufTransfer(gray, color, 0, 0, 2, 2, 0, 0, 0, 2, 2, 2, 0, 0, 0, nullptr), 1);
  uint8_t blue[4] = {};
  HostBufGetBand(color, 0, 2, blue);
  EXPECT_EQ(blue[3], 9);
  // A destination larger than the source in X, or empty in X or Y, has no scale; a region
  // past the source or the destination is refused.
  for (const auto& [x, w, h, intoX, intoW, intoH, code] :
       {std::array<QINT64, 7>{0, 1, 2, 0, 2, 2, Q_ERR_NOT_SUPPORTED},
        {0, 2, 2, 0, 0, 2, Q_ERR_NOT_SUPPORTED},
        {0, 2, 2, 0, 2, 0, Q_ERR_NOT_SUPPORTED},
        {1, 1, 2, 0, 1, 2, 0},
        {1, 2, 2, 0, 2, 2, Q_ERR_INVALID_PARAMETER},
        {0, 2, 2, 1, 2, 2, Q_ERR_INVALID_PARAMETER}}) {
    EXPECT_EQ(
        HostBufTransfer(gray, color, x, 0, w, h, 0, intoX, 0, intoW, intoH, 2, 0, 0, 0, nullptr),
        code == 0 ? 1 : 0);
    EXPECT_EQ(ErrorCode(), code) << x << ", " << w << " x " << h << " into " << intoX;
  }
  QbufFree(color);
  QbufFree(gray);

  // Copies between host buffers: whole, clipped at an offset, and regions between bands, which
  // may be named by their depth (8, 16, 32 for the first three).
  const QID source = QbufAllocColor(Q_DEFAULT_HOST, 3, 2, 2, 8, Q_IMAGE, nullptr);
  const QID wide = QbufAllocColor(Q_DEFAULT_HOST, 3, 3, 2, 8, Q_IMAGE, nullptr);
  QbufPut(source, Ramp(12).data());
  const std::pair<std::function<void()>, std::vector<uint8_t>> copies[] = {
      {[&] { QbufCopy(source, wide); }, {1, 2, 0, 3, 4, 0, 5, 6, 0, 7, 8, 0, 9, 10, 0, 11, 12, 0}},
      {[&] { QbufCopyClip(source, wide, 1, 1); },
       {0, 0, 0, 0, 1, 2, 0, 0, 0, 0, 5, 6, 0, 0, 0, 0, 9, 10}},
      {[&] { QbufCopyClip(source, wide, 0, 2); }, std::vector<uint8_t>(18)},  // all past the end
      {[&] { QbufCopyColor2d(source, wide, 32, 0, 1, 8, 1, 0, 2, 1); },
       {0, 11, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {[&] { QbufCopyColor2d(source, wide, 16, 0, 0, 2, 0, 1, 1, 1); },
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0}}};
  for (size_t i = 0; i < std::size(copies); ++i) {
    QbufClear(wide, 0);
    copies[i].first();
    EXPECT_EQ(ErrorCode(), 0) << "copy " << i;
    std::vector<uint8_t> out(18);
    QbufGet(wide, out.data());
    EXPECT_EQ(out, copies[i].second) << "copy " << i;
  }
  QbufFree(source);
  QbufFree(wide);
}

// A smaller destination takes every (size / destination size)-th pixel from the region's
// origin, as the board's scaled transfer does.
TEST_F(BufferTest, TransferIntoASmallerDestinationDecimates) {
  std::vector<uint8_t> pixels(48);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i);
  // The buffers' sizes, then the region (x, y, width, height) and where it goes (x, y, width,
  // height) in two bands.
  struct Case {
    const char* what;
    std::array<QINT64, 4> sizes;  // the source's X and Y, then the destination's
    std::array<QINT64, 8> regions;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {"scale 2 in X, 3 in Y from (1, 1)",
       {6, 4, 3, 2},
       {1, 1, 5, 3, 1, 1, 2, 1},
       {0, 0, 0, 0, 7, 9, 0, 0, 0, 0, 31, 33}},
      {"steps that differ in X and Y",
       {6, 4, 3, 2},
       {0, 0, 6, 4, 0, 0, 2, 2},
       {0, 3, 0, 12, 15, 0, 24, 27, 0, 36, 39, 0}},
      {"taller than wide, taken whole",
       {2, 6, 2, 3},
       {0, 0, 2, 6, 0, 0, 2, 3},
       {0, 1, 4, 5, 8, 9, 12, 13, 16, 17, 20, 21}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto& s = c.sizes;
    const QID from = QbufAllocColor(Q_DEFAULT_HOST, 2, s[0], s[1], 8, Q_IMAGE, nullptr);
    const QID to = QbufAllocColor(Q_DEFAULT_HOST, 2, s[2], s[3], 8, Q_IMAGE, nullptr);
    QbufPut(from, pixels.data());
    QbufClear(to, 0);
    const auto& r = c.regions;
    QbufTransfer(from, to, r[0], r[1], r[2], r[3], -1, r[4], r[5], r[6], r[7], -1, 0, 0, 0,
                 nullptr);
    std::vector<uint8_t> result(c.expected.size());
    QbufGet(to, result.data());
    EXPECT_EQ(result, c.expected);
    QbufFree(from);
    QbufFree(to);
  }
}

}  // namespace
