// The test pattern and what the decoder's registers do to it.
#include "platform/boardsim/framewriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using boardsim::Adv7180;

struct Image {
  Image(uint64_t w, uint64_t h, int bands = 1, int bytes = 1)
      : width(w), height(h), planes(bands, std::vector<uint8_t>(w * h * bytes)) {
    target.width = w;
    target.height = h;
    target.pitchBytes = w * bytes;
    target.bands = bands;
    target.bytesPerPixel = bytes;
    for (int b = 0; b < bands; ++b) target.planes[b] = planes[b].data();
  }
  uint8_t At(uint64_t x, uint64_t y, int band = 0) const { return planes[band][y * width + x]; }
  uint64_t width, height;
  std::vector<std::vector<uint8_t>> planes;
  boardsim::FrameTarget target;
};

boardsim::SourceWindow FullWindow() { return {}; }

TEST(FrameWriterTest, RampMovesWithTheFrameNumberAndDigitsShowIt) {
  Adv7180 decoder;
  Image a(640, 480), b(640, 480);
  EXPECT_EQ(boardsim::WriteFrame(decoder, 7, FullWindow(), a.target).columns, 640u);
  boardsim::WriteFrame(decoder, 8, FullWindow(), b.target);
  // Every pixel of the ramp below the digits, which ends where the first bar begins.
  int wrong = 0;
  for (uint64_t y = 32; y < 480; ++y) {
    for (uint64_t x = 0; x < 480; ++x) {
      wrong += a.At(x, y) != boardsim::PatternLuma(7, x, y);
      wrong += b.At(x, y) != boardsim::PatternLuma(8, x, y);
    }
    wrong += a.At(480, y) != a.At(499, y);
  }
  EXPECT_EQ(wrong, 0);
  // The last digit cell (frame 7 against 8) differs; the box has both inks.
  std::set<uint8_t> inks;
  bool differs = false;
  for (uint64_t y = 8; y < 24; ++y) {
    for (uint64_t x = 8 + 7 * 12; x < 8 + 8 * 12; ++x) {
      inks.insert(a.At(x, y));
      differs |= a.At(x, y) != b.At(x, y);
    }
  }
  EXPECT_TRUE(differs);
  EXPECT_EQ(inks, (std::set<uint8_t>{16, 235}));
}

TEST(FrameWriterTest, DigitsAreTheGlyphsDrawnTwoByTwoWithAGapBeforeTheStandard) {
  Adv7180 decoder;
  Image image(640, 480);
  boardsim::WriteFrame(decoder, 1, FullWindow(), image.target);
  // The last frame digit's cell: a "1", each glyph pixel 2 x 2, blank below and to the right.
  const char* const kOne[16] = {"....##......", "....##......", "..####......", "..####......",
                                "....##......", "....##......", "....##......", "....##......",
                                "....##......", "....##......", "....##......", "....##......",
                                "..######....", "..######....", "............", "............"};
  auto cellRow = [&](int cell, uint64_t row) {
    std::string text;
    for (uint64_t x = 0; x < 12; ++x)
      text += image.At(8 + cell * 12 + x, 8 + row) == 235 ? '#' : '.';
    return text;
  };
  for (uint64_t row = 0; row < 16; ++row) {
    EXPECT_EQ(cellRow(7, row), kOne[row]) << "row " << row;
    EXPECT_EQ(cellRow(8, row), "............") << "gap, row " << row;
  }
  EXPECT_EQ(cellRow(0, 0), "..######....");  // a leading "0"

  // The full-width bars: the middle of a "4" and the top of a "5".
  boardsim::WriteFrame(decoder, 45, FullWindow(), image.target);
  for (uint64_t row : {0, 1}) EXPECT_EQ(cellRow(7, row), "##########..") << "5, row " << row;
  for (uint64_t row : {8, 9}) EXPECT_EQ(cellRow(6, row), "##########..") << "4, row " << row;

  // Every glyph, read back a glyph row at a time (bit 4 the leftmost column).
  const std::vector<uint8_t> kGlyphs[10] = {
      {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
      {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
      {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
      {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
      {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
  };
  auto glyph = [&](int cell) {
    std::vector<uint8_t> rows(7);
    for (uint64_t gy = 0; gy < 7; ++gy) {
      for (uint64_t gx = 0; gx < 5; ++gx) {
        if (image.At(8 + cell * 12 + 2 * gx, 8 + 2 * gy) == 235) rows[gy] |= 0x10 >> gx;
      }
    }
    return rows;
  };
  boardsim::WriteFrame(decoder, 12345678, FullWindow(), image.target);
  for (int cell = 0; cell < 8; ++cell) EXPECT_EQ(glyph(cell), kGlyphs[cell + 1]) << cell + 1;
  boardsim::WriteFrame(decoder, 90, FullWindow(), image.target);
  EXPECT_EQ(glyph(6), kGlyphs[9]);
  EXPECT_EQ(glyph(7), kGlyphs[0]);
}

TEST(FrameWriterTest, BrightnessAndContrastChangeLuma) {
  Adv7180 plain, bright, flat;
  bright.Write(Adv7180::kBrightness, 0x7F);
  flat.Write(Adv7180::kContrast, 0x40);
  Image p(640, 480), b(640, 480), f(640, 480);
  boardsim::WriteFrame(plain, 0, FullWindow(), p.target);
  boardsim::WriteFrame(bright, 0, FullWindow(), b.target);
  boardsim::WriteFrame(flat, 0, FullWindow(), f.target);
  EXPECT_EQ(p.At(100, 100), 200);
  EXPECT_EQ(b.At(100, 100), 255);  // +66, clamped
  EXPECT_EQ(b.At(50, 50), 166);
  EXPECT_EQ(f.At(100, 100), 108);  // (200 - 16) / 2 + 16
}

TEST(FrameWriterTest, SaturationAndHueChangeTheColourBars) {
  Adv7180 normal, grey, turned;
  grey.Write(Adv7180::kSaturationCb, 0);
  grey.Write(Adv7180::kSaturationCr, 0);
  turned.Write(Adv7180::kHue, 0x40);
  boardsim::SourceWindow window;
  window.colour = true;
  Image n(640, 480, 3), g(640, 480, 3), t(640, 480, 3);
  boardsim::WriteFrame(normal, 0, window, n.target);
  boardsim::WriteFrame(grey, 0, window, g.target);
  boardsim::WriteFrame(turned, 0, window, t.target);
  // Every bar's middle (eight bars of 20 pixels) in colour, grey and turned by 45 degrees.
  const auto bars = [](const Image& image) {
    std::string text;
    for (uint64_t x = 490; x < 640; x += 20) {
      for (int band = 0; band < 3; ++band) text += std::to_string(image.At(x, 300, band)) + ",";
      text += " ";
    }
    return text;
  };
  EXPECT_EQ(bars(n),
            "191,191,191, 191,191,0, 0,191,191, 0,191,0, 191,0,191, 191,0,0, 0,0,191, 0,0,0, ");
  EXPECT_EQ(bars(g),
            "191,191,191, 169,169,169, 134,134,134, 112,112,112, 79,79,79, 57,57,57, "
            "22,22,22, 0,0,0, ");
  EXPECT_EQ(bars(t),
            "191,191,191, 90,236,30, 71,135,255, 0,180,133, 221,11,58, 120,56,0, "
            "101,0,161, 0,0,0, ");
  // A mono buffer sees luma only, whatever the saturation.
  Image mn(640, 480), mg(640, 480);
  boardsim::WriteFrame(normal, 0, FullWindow(), mn.target);
  boardsim::WriteFrame(grey, 0, FullWindow(), mg.target);
  EXPECT_EQ(mn.planes[0], mg.planes[0]);
}

TEST(FrameWriterTest, StandardSelectionAndFreeRun) {
  Adv7180 decoder;
  EXPECT_FALSE(decoder.Is50Hz());
  EXPECT_EQ(decoder.Read(Adv7180::kStatus1), 0x05);              // from power-on: NTSC, in lock
  decoder.SetInputStandard(boardsim::VideoStandard::kPalBghid);  // autodetected
  decoder.UpdateStatus();
  EXPECT_TRUE(decoder.Is50Hz());
  EXPECT_EQ(decoder.Read(Adv7180::kStatus1) >> 4, 4);
  decoder.Write(Adv7180::kInputControl, 0x50);  // forced NTSC M
  EXPECT_FALSE(decoder.Is50Hz());
  Image ntsc(640, 480), pal(640, 480);
  boardsim::WriteFrame(decoder, 0, FullWindow(), ntsc.target);
  decoder.Write(Adv7180::kInputControl, 0x80);  // forced PAL
  boardsim::WriteFrame(decoder, 0, FullWindow(), pal.target);
  EXPECT_NE(ntsc.planes[0], pal.planes[0]);  // the standard digit

  decoder.SetSignalPresent(false);
  EXPECT_TRUE(decoder.ProducesFrames());  // automatic free-run is on by default
  Image blue(64, 48);
  boardsim::WriteFrame(decoder, 3, FullWindow(), blue.target);
  EXPECT_EQ(std::set<uint8_t>(blue.planes[0].begin(), blue.planes[0].end()),
            std::set<uint8_t>{0x34});
  decoder.Write(Adv7180::kDefaultY, 0x34);  // free-run off
  EXPECT_FALSE(decoder.ProducesFrames());
  // Forced free-run holds with a signal too; the automatic one only without. The status keeps
  // its other bits.
  decoder.Write(Adv7180::kStatus3, 0xEB);
  for (const auto& [signal, defaultY, freeRun] : {std::tuple{true, 0x35, true},
                                                  {true, 0x36, false},
                                                  {false, 0x36, true},
                                                  {false, 0x34, false}}) {
    decoder.SetSignalPresent(signal);
    decoder.Write(Adv7180::kDefaultY, static_cast<uint8_t>(defaultY));
    decoder.UpdateStatus();
    EXPECT_EQ(decoder.FreeRun(), freeRun) << signal << " " << defaultY;
    EXPECT_EQ(decoder.Read(Adv7180::kStatus3), 0xEB | 0x04 | (freeRun ? 0x10 : 0));
    EXPECT_EQ(decoder.Read(Adv7180::kStatus1), 0x40 | (signal ? 0x05 : 0x02));
  }

  // VID_SEL 0 to 3 autodetect (here PAL); the others force a standard.
  const int kForced[16] = {4, 4, 4, 4, 0, 0, 3, 1, 4, 6, 2, 2, 6, 6, 5, 5};
  for (int vidSel = 0; vidSel < 16; ++vidSel) {
    decoder.Write(Adv7180::kInputControl, static_cast<uint8_t>(vidSel << 4));
    decoder.UpdateStatus();
    EXPECT_EQ(static_cast<int>(decoder.Standard()), kForced[vidSel]) << vidSel;
    EXPECT_EQ(decoder.Read(Adv7180::kStatus1), kForced[vidSel] << 4 | 0x02) << vidSel;
    const bool is50Hz = kForced[vidSel] >= 4 && kForced[vidSel] <= 6;
    EXPECT_EQ(decoder.Is50Hz(), is50Hz) << vidSel;
    EXPECT_EQ(decoder.Read(Adv7180::kStatus3), 0xEB | (is50Hz ? 0x04 : 0)) << vidSel;
  }
}

TEST(FrameWriterTest, WindowDecimationAndFlips) {
  Adv7180 decoder;
  boardsim::SourceWindow window;
  window.offsetX = 100;
  window.offsetY = 40;
  window.width = 200;
  window.height = 100;
  window.stepX = 2;
  window.stepY = 3;
  window.flipX = true;
  Image out(160, 120);
  // Then the same window a column further on: no column of the last frame is taken again.
  for (uint64_t offsetX : {100, 101}) {
    window.offsetX = offsetX;
    const auto size = boardsim::WriteFrame(decoder, 5, window, out.target);
    EXPECT_EQ(std::pair(size.columns, size.lines), std::pair(uint64_t{100}, uint64_t{34}));
    for (auto [i, j] : {std::pair{0, 0}, std::pair{99, 33}, std::pair{10, 20}}) {
      const uint64_t x = offsetX + (99 - i) * 2, y = 40 + j * 3;
      EXPECT_EQ(out.At(i, j), boardsim::PatternLuma(5, x, y)) << offsetX << ": " << i << "," << j;
    }
    EXPECT_EQ(out.At(100, 0), 0);  // beyond the window: untouched
  }
  // A window without a line or without a column writes nothing, as its size tells.
  for (const auto& [width, height] : {std::pair{0u, 10u}, {10u, 0u}}) {
    window = {};
    window.width = width;
    window.height = height;
    const auto size = boardsim::FrameSize(window, out.target);
    EXPECT_EQ(std::pair(size.columns, size.lines), std::pair(uint64_t{0}, uint64_t{0})) << width;
  }

  window = {};
  window.flipY = true;
  Image flipped(640, 480);
  boardsim::WriteFrame(decoder, 5, window, flipped.target);
  EXPECT_EQ(flipped.At(300, 0), boardsim::PatternLuma(5, 300, 479));
  // Mirrored, the digits too: each column is the unflipped frame's column from the other side.
  window = {};
  window.flipX = true;
  Image mirrored(640, 480), straight(640, 480);
  boardsim::WriteFrame(decoder, 5, window, mirrored.target);
  boardsim::WriteFrame(decoder, 5, FullWindow(), straight.target);
  int wrong = 0;
  for (uint64_t y = 0; y < 32; ++y) {
    for (uint64_t x = 0; x < 640; ++x) wrong += mirrored.At(x, y) != straight.At(639 - x, y);
  }
  EXPECT_EQ(wrong, 0);
}

TEST(FrameWriterTest, WideAndPackedPixels) {
  Adv7180 decoder;
  Image wide(64, 48, 1, 2), packed(64, 48, 1, 4);
  boardsim::WriteFrame(decoder, 1, FullWindow(), wide.target);
  boardsim::WriteFrame(decoder, 1, FullWindow(), packed.target);
  EXPECT_EQ(wide.planes[0][2 * (30 * 64 + 40) + 1], boardsim::PatternLuma(1, 40, 30));
  const uint8_t* pixel = packed.planes[0].data() + 4 * (30 * 64 + 40);
  EXPECT_EQ(pixel[0], boardsim::PatternLuma(1, 40, 30));
  EXPECT_EQ(pixel[1], pixel[2]);
  // A colour bar in wide bands (high bytes) and in packed blue-green-red pixels.
  boardsim::SourceWindow colour;
  colour.colour = true;
  Image bands(640, 480, 3), wideBands(640, 480, 3, 2), bgr(640, 480, 1, 3), bgra(640, 480, 1, 4);
  for (Image* image : {&bands, &wideBands, &bgr, &bgra}) {
    boardsim::WriteFrame(decoder, 1, colour, image->target);
  }
  const uint64_t yellow = 300 * 640 + 480 + 20 + 10;
  EXPECT_NE(bands.planes[0][yellow], bands.planes[2][yellow]);
  for (int band = 0; band < 3; ++band) {
    EXPECT_EQ(wideBands.planes[band][2 * yellow], 0) << band;
    EXPECT_EQ(wideBands.planes[band][2 * yellow + 1], bands.planes[band][yellow]) << band;
    EXPECT_EQ(bgr.planes[0][3 * yellow + 2 - band], bands.planes[band][yellow]) << band;
    EXPECT_EQ(bgra.planes[0][4 * yellow + 2 - band], bands.planes[band][yellow]) << band;
  }
  EXPECT_EQ(bgra.planes[0][4 * yellow + 3], 0);
}

}  // namespace

// Rows are copied in blocks, or one at a time where a block copy would be slow
// for where the rows lie; the picture is the same wherever the buffer starts.
TEST(FrameWriterTest, SamePictureAtEveryPlaceInAPage) {
  Adv7180 decoder;
  Image reference(640, 480);
  for (uint64_t frame : {5, 70}) {
    boardsim::WriteFrame(decoder, frame, FullWindow(), reference.target);
    std::vector<uint8_t> block(640 * 480 + 4096 + 64);
    const uintptr_t start = reinterpret_cast<uintptr_t>(block.data());
    uint8_t* page = block.data() + ((4096 - start % 4096) % 4096);
    for (uint64_t offset = 0; offset < 64; ++offset) {
      boardsim::FrameTarget target = reference.target;
      target.planes[0] = page + offset;
      boardsim::WriteFrame(decoder, frame, FullWindow(), target);
      ASSERT_EQ(std::memcmp(target.planes[0], reference.planes[0].data(), 640 * 480), 0)
          << "frame " << frame << " at offset " << offset;
    }
  }
}

// Each band's rows follow where that band lies within a cache line: bands of one buffer that lie
// differently, and a buffer that moves between frames, keep each band's own picture; a mono
// picture grabbed into three bands is the same in all three.
TEST(FrameWriterTest, EachBandKeepsItsPictureWhereverItLies) {
  Adv7180 decoder;
  constexpr uint64_t kBytes = 640 * 480;
  std::vector<uint8_t> block(3 * (kBytes + 4096) + 4096);
  const uintptr_t start = reinterpret_cast<uintptr_t>(block.data());
  uint8_t* pages = block.data() + ((4096 - start % 4096) % 4096);
  const uint64_t places[][3] = {{0, 17, 40}, {40, 0, 17}, {5, 5, 63}};
  for (bool colour : {true, false}) {
    boardsim::SourceWindow window;
    window.colour = colour;
    for (uint64_t frame : {3, 90}) {
      Image reference(640, 480, 3);
      boardsim::WriteFrame(decoder, frame, window, reference.target);
      for (const auto& offsets : places) {
        boardsim::FrameTarget target = reference.target;
        for (int band = 0; band < 3; ++band) {
          target.planes[band] = pages + band * (kBytes + 4096) + offsets[band];
        }
        boardsim::WriteFrame(decoder, frame, window, target);
        for (int band = 0; band < 3; ++band) {
          const int expected = colour ? band : 0;
          ASSERT_EQ(std::memcmp(target.planes[band], reference.planes[expected].data(), kBytes), 0)
              << (colour ? "colour" : "mono") << " frame " << frame << " band " << band
              << " at offset " << offsets[band];
        }
      }
    }
  }
}

// A band that lies a few bytes behind the rows it is copied from takes them a row at a time; at
// some place in a page every band does, and nothing is written past its end.
TEST(FrameWriterTest, RowByRowCopiesStopAtTheBandsEnd) {
  Adv7180 decoder;
  constexpr uint64_t kBytes = 640 * 480;
  Image reference(640, 480, 3);
  boardsim::WriteFrame(decoder, 3, FullWindow(), reference.target);
  std::vector<uint8_t> block(kBytes + 4096 + 640);
  for (uint64_t offset = 0; offset < 4096; offset += 32) {
    boardsim::FrameTarget target = reference.target;
    target.planes[1] = block.data() + offset;
    std::fill(block.begin(), block.end(), 0x5A);
    boardsim::WriteFrame(decoder, 3, FullWindow(), target);
    ASSERT_EQ(std::memcmp(target.planes[1], reference.planes[0].data(), kBytes), 0) << offset;
    ASSERT_EQ(std::count(target.planes[1] + kBytes, target.planes[1] + kBytes + 640, 0x5A), 640)
        << offset;
  }
}
