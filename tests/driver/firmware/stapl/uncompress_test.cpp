#include "driver/firmware/stapl/uncompress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/firmware/stapl/sixbit.h"

using namespace zor::firmware;

namespace {

// Builds a stream as the uncompressor reads it (fields least significant bit first) and keeps
// the expected output beside it.
class CStreamWriter {
 public:
  CStreamWriter(uint32_t length, int version) : version_(version) {
    for (int i = 0; i < 4; ++i) Put(length >> (8 * i), 8);
  }
  void Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i) {
      if (bit_ % 8 == 0) bytes.push_back(0);
      if ((value >> i) & 1) bytes.back() |= 1 << (bit_ % 8);
      ++bit_;
    }
  }
  void Literal(uint8_t a, uint8_t b, uint8_t c) {
    Put(0, 1);
    for (uint8_t v : {a, b, c}) Put(v, 8), expected.push_back(v);
  }
  int Width() const {
    const size_t window = version_ == 2 ? 8191 : 8192;
    size_t m = std::min(expected.size(), window);
    int w = 0;
    for (; m > 0; m >>= 1) ++w;
    return w == 0 ? 1 : w;
  }
  void Reference(uint32_t offset, uint32_t count) {
    Put(1, 1), Put(offset, Width()), Put(count, 8);
    for (uint32_t n = 0; n < count; ++n) expected.push_back(expected[expected.size() - offset]);
  }
  int64_t Run(std::vector<uint8_t>& out) const {
    return StaplUncompress(bytes.data(), static_cast<int64_t>(bytes.size()), out.data(),
                           static_cast<int64_t>(out.size()), version_);
  }

  std::vector<uint8_t> bytes;
  std::vector<uint8_t> expected;

 private:
  int version_;
  int bit_ = 0;
};

TEST(StaplUncompress, EmptyAndOversizedStreams) {
  CStreamWriter empty(0, 2);
  std::vector<uint8_t> out(4, 0xAA);
  EXPECT_EQ(empty.Run(out), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(4, 0));

  CStreamWriter big(5, 2);
  big.Literal(1, 2, 3);
  out.assign(4, 0xAA);
  EXPECT_EQ(big.Run(out), -1);
}

TEST(StaplUncompress, BackReferencesRepeatAndGrowTheirOffsetField) {
  CStreamWriter w(13, 2);
  w.Literal(7, 8, 9);       // 3 bytes: offset field 2 bits
  w.Reference(1, 2);        // offset 1 repeats the last byte
  EXPECT_EQ(w.Width(), 3);  // 5 bytes produced
  w.Reference(5, 5);
  w.Reference(1, 3);
  std::vector<uint8_t> out(13);
  ASSERT_EQ(w.Run(out), 13);
  EXPECT_EQ(out, w.expected);
  EXPECT_EQ(out, (std::vector<uint8_t>{7, 8, 9, 9, 9, 7, 8, 9, 9, 9, 9, 9, 9}));
}

TEST(StaplUncompress, WindowWidthDependsOnTheVersion) {
  for (int version : {1, 2}) {
    CStreamWriter w(8192 + 300, version);
    w.Literal(1, 2, 3);
    while (w.expected.size() + 255 <= 8192) w.Reference(3, 255);
    w.Reference(3, static_cast<uint32_t>(8192 - w.expected.size()));
    // 8192 bytes produced: 14 bits for a line-oriented program, 13 for STAPL proper.
    EXPECT_EQ(w.Width(), version == 1 ? 14 : 13);
    w.Reference(4096, 255);
    w.Reference(1, 45);
    std::vector<uint8_t> out(8192 + 300);
    ASSERT_EQ(w.Run(out), 8192 + 300) << version;
    EXPECT_EQ(out, w.expected) << version;
  }
}

TEST(StaplUncompress, NeverReadsBeforeTheOutputOrPastTheInput) {
  CStreamWriter reach(8, 2);
  reach.Literal(1, 2, 3);
  reach.Put(1, 1), reach.Put(3, 2), reach.Put(2, 8);  // 5 bytes
  reach.Put(1, 1), reach.Put(7, 3), reach.Put(2, 8);  // offset 7 with 5 bytes produced
  std::vector<uint8_t> out(8);
  EXPECT_EQ(reach.Run(out), -1);

  // Only a header: the tokens read as ones, a reference of offset 1 with nothing produced.
  CStreamWriter cut(300, 2);
  out.assign(300, 0);
  EXPECT_EQ(cut.Run(out), -1);

  // A truncated header reads as ones: far larger than any capacity.
  const uint8_t partial[2] = {5, 0};
  EXPECT_EQ(StaplUncompress(partial, 2, out.data(), 300, 2), -1);
}

// Each end of each run of characters and its neighbours outside; blanks are skipped, and a
// second unpacking starts afresh.
TEST(StaplSixBit, CharactersAndUnpacking) {
  std::string values;
  for (const char c : std::string("/09:@AZ[`az{_?"))
    values += std::to_string(StaplSixBitValue(c)) + " ";
  EXPECT_EQ(values, "-1 0 9 -1 63 10 35 -1 -1 36 61 -1 62 -1 ");
  std::vector<uint8_t> bytes{9, 9, 9};
  ASSERT_TRUE(StaplUnpackSixBit("1 0@", &bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x01, 0xF0}));
  EXPECT_FALSE(StaplUnpackSixBit("1!", &bytes));
}

}  // namespace
