// What the board's buffer tests share: a system, buffers freed after the
// test, patterned pixels, and whether the board made the last copy.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/driver/board/boardfixture.h"

namespace zor::board {

class BoardBufferTest : public SystemFixture {
 protected:
  // The application setting that says who made the last copy (59: the board).
  static constexpr QINT64 kLastCopy = 15007;

  void SetUp() override;
  void TearDown() override;

  // A buffer, of 8 bits unless told, freed after the test.
  QID Buffer(QID system, QINT64 bands, QINT64 sizeX, QINT64 sizeY, QINT64 attribute,
             QINT64 depth = 8);
  // A pattern that no two rows or bands share; seeds give different ones.
  static std::vector<uint8_t> Pattern(QINT64 bands, QINT64 sizeX, QINT64 sizeY, int seed = 0);
  // Band after band, rows packed.
  static std::vector<uint8_t> Pixels(QID buffer);
  static bool BoardCopied();

  std::vector<QID> buffers_;
};

}  // namespace zor::board
