#include "platform/boardsim/framewriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace boardsim {

namespace {

constexpr uint64_t kPixelsPerFrame = 4;  // ramp movement
constexpr uint64_t kDigitX = 8;
constexpr uint64_t kDigitY = 8;
constexpr uint64_t kCellWidth = 12;
constexpr uint64_t kCellHeight = 16;
constexpr int kFrameDigits = 8;
constexpr size_t kCells = kFrameDigits + 2;  // a gap, then the standard code

// 5x7 glyphs of 0-9, one row a byte, bit 4 the leftmost column.
constexpr uint8_t kFont[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

struct Rgb {
  uint8_t r, g, b;
};

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0l, 255l)); }

// Brightness and contrast as the decoder applies them to luma.
std::array<uint8_t, 256> LumaTable(const Adv7180& decoder) {
  const double contrast = decoder.Read(Adv7180::kContrast) / 128.0;
  // Signed brightness: 0x7F is +30 IRE, about 66 codes of 8-bit video.
  const double offset = static_cast<int8_t>(decoder.Read(Adv7180::kBrightness)) * 66.0 / 127.0;
  std::array<uint8_t, 256> table{};
  for (int y = 0; y < 256; ++y) table[y] = Clamp((y - 16) * contrast + 16 + offset);
  return table;
}

// 75% colour bars through the decoder's luma table, saturation and hue.
std::array<Rgb, 8> ColourBars(const Adv7180& decoder, const std::array<uint8_t, 256>& luma,
                              bool colour) {
  static constexpr Rgb kBars[8] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                   {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};
  const double satCb = decoder.Read(Adv7180::kSaturationCb) / 128.0;
  const double satCr = decoder.Read(Adv7180::kSaturationCr) / 128.0;
  const double hue = static_cast<int8_t>(decoder.Read(Adv7180::kHue)) * (M_PI / 2) / 128.0;
  std::array<Rgb, 8> out{};
  for (int i = 0; i < 8; ++i) {
    const double r = kBars[i].r, g = kBars[i].g, b = kBars[i].b;
    const double y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0;
    const double cb = (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0;
    const double cr = (112.0 * r - 93.786 * g - 18.214 * b) / 255.0;
    const double yo = luma[Clamp(y)];
    if (!colour) {
      out[i] = {Clamp(yo), Clamp(yo), Clamp(yo)};
      continue;
    }
    const double cbo = satCb * (cb * std::cos(hue) - cr * std::sin(hue));
    const double cro = satCr * (cb * std::sin(hue) + cr * std::cos(hue));
    const double yl = (yo - 16) * 255.0 / 219.0;
    out[i] = {Clamp(yl + 1.402 * cro * 255.0 / 224.0),
              Clamp(yl - (0.344136 * cbo + 0.714136 * cro) * 255.0 / 224.0),
              Clamp(yl + 1.772 * cbo * 255.0 / 224.0)};
  }
  return out;
}

class PixelWriter {
 public:
  explicit PixelWriter(const FrameTarget& target) : t_(target) {}

  void Put(uint64_t x, uint64_t y, Rgb c) const {
    const uint64_t row = y * t_.pitchBytes;
    switch (t_.bytesPerPixel) {
      case 1:
        if (t_.bands == 3) {
          t_.planes[0][row + x] = c.r;
          t_.planes[1][row + x] = c.g;
          t_.planes[2][row + x] = c.b;
        } else {
          for (int b = 0; b < t_.bands; ++b) t_.planes[b][row + x] = c.g;
        }
        break;
      case 2:
        for (int b = 0; b < t_.bands; ++b) {
          const uint16_t v = static_cast<uint16_t>((t_.bands == 3 ? (&c.r)[b] : c.g) << 8);
          std::memcpy(t_.planes[b] + row + 2 * x, &v, 2);
        }
        break;
      default: {
        uint8_t* p = t_.planes[0] + row + x * t_.bytesPerPixel;
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
        if (t_.bytesPerPixel == 4) p[3] = 0;
      }
    }
  }

 private:
  const FrameTarget& t_;
};

constexpr uint64_t kBoxWidth = kCells * kCellWidth;
using DigitBox = std::array<uint8_t, kBoxWidth * kCellHeight>;

// One cell of the box: a glyph with each of its pixels drawn 2 x 2, or none.
using Cell = std::array<std::array<uint8_t, kCellWidth>, kCellHeight>;
constexpr int kBlankCell = 10;

constexpr std::array<Cell, kBlankCell + 1> DrawCells() {
  std::array<Cell, kBlankCell + 1> cells{};
  for (int digit = 0; digit <= kBlankCell; ++digit) {
    Cell& cell = cells[digit];
    for (auto& row : cell) row.fill(16);
    if (digit == kBlankCell) continue;
    for (uint64_t gy = 0; gy < 7; ++gy) {
      for (uint64_t gx = 0; gx < 5; ++gx) {
        if (((kFont[digit][gy] >> (4 - gx)) & 1) == 0) continue;
        cell[2 * gy][2 * gx] = cell[2 * gy][2 * gx + 1] = 235;
        cell[2 * gy + 1][2 * gx] = cell[2 * gy + 1][2 * gx + 1] = 235;
      }
    }
  }
  return cells;
}
constexpr std::array<Cell, kBlankCell + 1> kCellImages = DrawCells();

// The box in source pixels: the frame number in eight digits, a gap and the
// standard code.
DigitBox DrawDigits(uint64_t frameNumber, int standard) {
  int digits[kCells] = {};
  for (int cell = kFrameDigits - 1; cell >= 0; --cell, frameNumber /= 10) {
    digits[cell] = static_cast<int>(frameNumber % 10);
  }
  digits[kFrameDigits] = kBlankCell;
  digits[kFrameDigits + 1] = standard;
  DigitBox box;
  for (size_t cell = 0; cell < kCells; ++cell) {
    const Cell& image = kCellImages[digits[cell]];
    for (uint64_t row = 0; row < kCellHeight; ++row) {
      std::memcpy(box.data() + row * kBoxWidth + cell * kCellWidth, image[row].data(), kCellWidth);
    }
  }
  return box;
}

constexpr uintptr_t kCacheLine = 64;

// One plane's rows, kept at the offset within a cache line of the pixels they are copied to, so
// that the block copy moves whole lines: rows a few bytes off copy about a tenth slower.
class PlaneRows {
 public:
  void Assign(size_t bytes) {
    storage_.assign(bytes + 2 * kCacheLine, 0);
    bytes_ = bytes;
    phase_ = 0;
  }
  bool Empty() const { return bytes_ == 0; }
  uint8_t* Data() { return Aligned(storage_.data()) + phase_; }
  const uint8_t* Data() const { return Aligned(storage_.data()) + phase_; }
  void AlignWith(const uint8_t* pixels) {
    const size_t phase = reinterpret_cast<uintptr_t>(pixels) % kCacheLine;
    if (phase == phase_ || bytes_ == 0) return;
    uint8_t* base = Aligned(storage_.data());
    std::memmove(base + phase, base + phase_, bytes_);
    phase_ = phase;
  }

 private:
  template <typename T>
  static T* Aligned(T* p) {
    return p + (kCacheLine - reinterpret_cast<uintptr_t>(p) % kCacheLine) % kCacheLine;
  }

  std::vector<uint8_t> storage_;
  size_t bytes_ = 0;
  size_t phase_ = 0;
};

// The pattern's rows for one decoder setting and one sampling of the source
// columns: row s holds the line whose ramp starts at value s. Frames only
// differ in which rows they take, so a frame is a few copies out of it.
struct RowTable {
  std::array<uint8_t, 5> registers{};
  bool colour = false;
  uint64_t fullWidth = 0, offsetX = 0, width = 0, stepX = 0;
  bool flipX = false;
  std::vector<uint64_t> columnX;      // source column of each output column
  uint64_t boxBegin = 0, boxEnd = 0;  // output columns that show the digit box
  PlaneRows planes[3];                // 256 rows of `width` bytes: luma, or R, G, B

  const uint8_t* Row(int plane, uint64_t s) const { return planes[plane].Data() + s * width; }
};

RowTable& Rows(const Adv7180& decoder, const SourceWindow& window, uint64_t outW, bool colour) {
  thread_local RowTable table;
  const std::array<uint8_t, 5> registers = {
      decoder.Read(Adv7180::kContrast), decoder.Read(Adv7180::kBrightness),
      decoder.Read(Adv7180::kHue), decoder.Read(Adv7180::kSaturationCb),
      decoder.Read(Adv7180::kSaturationCr)};
  const uint64_t stepX = std::max<uint64_t>(window.stepX, 1);
  if (table.registers == registers && table.colour == colour &&
      table.fullWidth == window.fullWidth && table.offsetX == window.offsetX &&
      table.width == outW && table.stepX == stepX && table.flipX == window.flipX &&
      !table.planes[0].Empty()) {
    return table;
  }
  table.registers = registers;
  table.colour = colour;
  table.fullWidth = window.fullWidth;
  table.offsetX = window.offsetX;
  table.width = outW;
  table.stepX = stepX;
  table.flipX = window.flipX;
  const std::array<uint8_t, 256> luma = LumaTable(decoder);
  const std::array<Rgb, 8> bars = ColourBars(decoder, luma, colour);
  const uint64_t rampWidth = window.fullWidth * 3 / 4;
  const uint64_t barsWidth = std::max<uint64_t>(window.fullWidth - rampWidth, 1);
  table.columnX.resize(outW);
  table.boxBegin = table.boxEnd = 0;
  const int planes = colour ? 3 : 1;
  uint8_t* rows[3] = {};
  for (int p = 0; p < 3; ++p) {
    table.planes[p].Assign(p < planes ? 256 * outW : 0);
    rows[p] = table.planes[p].Data();
  }
  for (uint64_t i = 0; i < outW; ++i) {
    const uint64_t sx = window.offsetX + (window.flipX ? outW - 1 - i : i) * stepX;
    table.columnX[i] = sx;
    if (sx >= kDigitX && sx < kDigitX + kBoxWidth) {
      // Source columns are monotonic, so the box is one run of output columns.
      if (table.boxBegin == table.boxEnd) table.boxBegin = i;
      table.boxEnd = i + 1;
    }
    if (sx < rampWidth) {
      for (uint64_t row = 0; row < 256; ++row) {
        const uint8_t y = luma[(row + sx) & 0xFF];
        for (int p = 0; p < planes; ++p) rows[p][row * outW + i] = y;
      }
    } else {
      const Rgb bar = bars[std::min<uint64_t>((sx - rampWidth) * 8 / barsWidth, 7)];
      const uint8_t values[3] = {colour ? bar.r : bar.g, bar.g, bar.b};
      for (uint64_t row = 0; row < 256; ++row) {
        for (int p = 0; p < planes; ++p) rows[p][row * outW + i] = values[p];
      }
    }
  }
  return table;
}

// Some processors' block copy (memcpy's rep movsb above a few kilobytes) runs
// many times slower when the destination lies a few bytes past the source
// within a page; such rows are copied one at a time, below that size.
void CopyRows(uint8_t* dst, const uint8_t* src, uint64_t rows, uint64_t width) {
  const uintptr_t distance =
      (reinterpret_cast<uintptr_t>(dst) - reinterpret_cast<uintptr_t>(src)) & 4095;
  if (rows == 1 || distance == 0 || distance >= 64) {
    std::memcpy(dst, src, rows * width);
    return;
  }
  for (uint64_t r = 0; r < rows; ++r) std::memcpy(dst + r * width, src + r * width, width);
}

}  // namespace

uint8_t PatternLuma(uint64_t frameNumber, uint64_t x, uint64_t y) {
  return static_cast<uint8_t>((x + y + kPixelsPerFrame * frameNumber) & 0xFF);
}

WrittenSize FrameSize(const SourceWindow& window, const FrameTarget& target) {
  const uint64_t stepX = std::max<uint64_t>(window.stepX, 1);
  const uint64_t stepY = std::max<uint64_t>(window.stepY, 1);
  const uint64_t outW = std::min(target.width, (window.width + stepX - 1) / stepX);
  const uint64_t outH = std::min(target.height, (window.height + stepY - 1) / stepY);
  if (outW == 0 || outH == 0) return {};
  return {outW, outH};
}

WrittenSize WriteFrame(const Adv7180& decoder, uint64_t frameNumber, const SourceWindow& window,
                       const FrameTarget& target) {
  const uint64_t stepY = std::max<uint64_t>(window.stepY, 1);
  const auto [outW, outH] = FrameSize(window, target);
  if (outW == 0 || outH == 0) return {};
  const PixelWriter put(target);
  const bool colour = (window.colour && target.bands == 3) || target.bytesPerPixel >= 3;

  if (decoder.FreeRun()) {
    // Free-run output: the default colour, nothing of the pattern.
    const uint8_t y = static_cast<uint8_t>(decoder.Read(Adv7180::kDefaultY) & 0xFC);
    for (uint64_t j = 0; j < outH; ++j)
      for (uint64_t i = 0; i < outW; ++i) put.Put(i, j, {y, y, y});
    return {outW, outH};
  }

  RowTable& rows = Rows(decoder, window, outW, colour);
  const uint64_t shift = kPixelsPerFrame * frameNumber;
  auto sourceLine = [&, outH = outH](uint64_t j) {
    return window.offsetY + (window.flipY ? outH - 1 - j : j) * stepY;
  };

  if (target.bytesPerPixel == 1) {
    // Rows come straight from the table; with consecutive source lines and
    // packed rows, up to 256 rows at a time.
    const bool packed = stepY == 1 && !window.flipY && target.pitchBytes == outW;
    for (int b = 0; b < target.bands; ++b) {
      const int plane = rows.colour && target.bands == 3 ? b : 0;
      uint8_t* dst = target.planes[b];
      // A plane's rows follow the band they belong to; a mono plane copied to three bands
      // follows the first.
      if (plane == b) rows.planes[plane].AlignWith(dst);
      for (uint64_t j = 0; j < outH;) {
        const uint64_t s = (sourceLine(j) + shift) & 0xFF;
        const uint64_t n = packed ? std::min(outH - j, 256 - s) : 1;
        CopyRows(dst + j * target.pitchBytes, rows.Row(plane, s), n, outW);
        j += n;
      }
    }
  } else {
    for (uint64_t j = 0; j < outH; ++j) {
      const uint64_t s = (sourceLine(j) + shift) & 0xFF;
      for (uint64_t i = 0; i < outW; ++i) {
        const uint8_t r = rows.Row(0, s)[i];
        put.Put(i, j, rows.colour ? Rgb{r, rows.Row(1, s)[i], rows.Row(2, s)[i]} : Rgb{r, r, r});
      }
    }
  }

  // The digits, over the rows and columns that show the box.
  const DigitBox box = DrawDigits(frameNumber, static_cast<int>(decoder.Standard()));
  // Output columns of the box that are consecutive source columns take a copy.
  const bool consecutive = !window.flipX && std::max<uint64_t>(window.stepX, 1) == 1;
  for (uint64_t j = 0; j < outH; ++j) {
    const uint64_t sy = sourceLine(j);
    if (sy < kDigitY || sy >= kDigitY + kCellHeight) {
      // Source lines run one way: past the box, no later line shows it.
      if (window.flipY ? sy < kDigitY : sy >= kDigitY + kCellHeight) break;
      continue;
    }
    const uint8_t* ink = box.data() + (sy - kDigitY) * kBoxWidth - kDigitX;
    if (target.bytesPerPixel != 1) {
      for (uint64_t i = rows.boxBegin; i < rows.boxEnd; ++i) {
        const uint8_t y = ink[rows.columnX[i]];
        put.Put(i, j, {y, y, y});
      }
      continue;
    }
    for (int b = 0; b < target.bands; ++b) {
      uint8_t* row = target.planes[b] + j * target.pitchBytes;
      if (consecutive && rows.boxBegin < rows.boxEnd) {
        std::memcpy(row + rows.boxBegin, ink + rows.columnX[rows.boxBegin],
                    rows.boxEnd - rows.boxBegin);
        continue;
      }
      for (uint64_t i = rows.boxBegin; i < rows.boxEnd; ++i) row[i] = ink[rows.columnX[i]];
    }
  }
  return {outW, outH};
}

}  // namespace boardsim
