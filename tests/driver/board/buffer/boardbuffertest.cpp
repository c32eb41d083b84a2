#include "tests/driver/board/buffer/boardbuffertest.h"

namespace zor::board {
namespace {

constexpr QINT64 kBoardCopied = 59;

}  // namespace

void BoardBufferTest::SetUp() {
  SystemFixture::SetUp();
  QappControl(Q_DEFAULT, kLastCopy, 0);
}

void BoardBufferTest::TearDown() {
  for (QID buffer : buffers_) QbufFree(buffer);
  SystemFixture::TearDown();
}

QID BoardBufferTest::Buffer(QID system, QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 attribute,
                            QINT64 depth) {
  const QID id = QbufAllocColor(system, bands, sizeX, sizeY, depth, attribute, nullptr);
  EXPECT_NE(id, 0);
  buffers_.push_back(id);
  return id;
}

std::vector<uint8_t> BoardBufferTest::Pattern(QINT64 bands, QINT64 sizeX, QINT64 sizeY, int seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(bands * sizeX * sizeY));
  for (size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = static_cast<uint8_t>(
        (i * 7 + i / static_cast<size_t>(sizeX) * 13 + static_cast<size_t>(seed) * 31) & 0xFF);
  }
  return pixels;
}

std::vector<uint8_t> BoardBufferTest::Pixels(QID buffer) {
  std::vector<uint8_t> pixels(static_cast<size_t>(QbufInquire(buffer, Q_SIZE_BAND, nullptr) *
                                                  QbufInquire(buffer, Q_SIZE_X, nullptr) *
                                                  QbufInquire(buffer, Q_SIZE_Y, nullptr)));
  QbufGet(buffer, pixels.data());
  return pixels;
}

bool BoardBufferTest::BoardCopied() {
  return QappInquire(Q_DEFAULT, kLastCopy, nullptr) == kBoardCopied;
}

}  // namespace zor::board
