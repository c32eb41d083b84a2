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
constexpr uint64_t kFrameDigits = 8;
constexpr uint64_t kCells = kFrameDigits + 2;  // a gap, then the standard code

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

uint8_t DigitAt(uint64_t frameNumber, int standard, uint64_t sx, uint64_t sy, bool* inBox) {
  *inBox = sx >= kDigitX && sx < kDigitX + kCells * kCellWidth && sy >= kDigitY &&
           sy < kDigitY + kCellHeight;
  if (!*inBox) return 0;
  const uint64_t cell = (sx - kDigitX) / kCellWidth;
  const uint64_t cx = (sx - kDigitX) % kCellWidth / 2;
  const uint64_t cy = (sy - kDigitY) / 2;
  if (cell == kFrameDigits || cx >= 5 || cy >= 7) return 16;
  uint64_t digit = static_cast<uint64_t>(standard);
  if (cell < kFrameDigits) {
    digit = frameNumber;
    for (uint64_t k = cell + 1; k < kFrameDigits; ++k) digit /= 10;
    digit %= 10;
  }
  return (kFont[digit][cy] >> (4 - cx)) & 1 ? 235 : 16;
}

}  // namespace

uint8_t PatternLuma(uint64_t frameNumber, uint64_t x, uint64_t y) {
  return static_cast<uint8_t>((x + y + kPixelsPerFrame * frameNumber) & 0xFF);
}

WrittenSize WriteFrame(const Adv7180& decoder, uint64_t frameNumber, const SourceWindow& window,
                       const FrameTarget& target) {
  const uint64_t stepX = std::max<uint64_t>(window.stepX, 1);
  const uint64_t stepY = std::max<uint64_t>(window.stepY, 1);
  const uint64_t outW = std::min(target.width, (window.width + stepX - 1) / stepX);
  const uint64_t outH = std::min(target.height, (window.height + stepY - 1) / stepY);
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

  const std::array<uint8_t, 256> luma = LumaTable(decoder);
  const std::array<Rgb, 8> bars = ColourBars(decoder, luma, colour);
  const uint64_t rampWidth = window.fullWidth * 3 / 4;
  const uint64_t barsWidth = std::max<uint64_t>(window.fullWidth - rampWidth, 1);
  const uint64_t shift = kPixelsPerFrame * frameNumber;
  const int standard = static_cast<int>(decoder.Standard());

  // Ramp values of a whole row start at ext + ((sy + shift) & 255).
  std::vector<uint8_t> ext(window.fullWidth + window.offsetX + outW * stepX + 256);
  for (size_t k = 0; k < ext.size(); ++k) ext[k] = luma[k & 0xFF];
  std::vector<uint64_t> columnX(outW);
  std::vector<Rgb> barColumn(outW);
  for (uint64_t i = 0; i < outW; ++i) {
    const uint64_t r = window.flipX ? outW - 1 - i : i;
    columnX[i] = window.offsetX + r * stepX;
    const uint64_t bar = columnX[i] < rampWidth ? 0 : (columnX[i] - rampWidth) * 8 / barsWidth;
    barColumn[i] = bars[std::min<uint64_t>(bar, 7)];
  }
  const bool contiguous = stepX == 1 && !window.flipX && target.bytesPerPixel == 1;
  const uint64_t rampColumns =
      std::min(outW, rampWidth > window.offsetX ? rampWidth - window.offsetX : 0);
  std::vector<uint8_t> barPlanes[3];
  if (contiguous) {
    for (int b = 0; b < 3; ++b) {
      barPlanes[b].resize(outW);
      for (uint64_t i = 0; i < outW; ++i) barPlanes[b][i] = (&barColumn[i].r)[colour ? b : 1];
    }
  }

  for (uint64_t j = 0; j < outH; ++j) {
    const uint64_t sy = window.offsetY + (window.flipY ? outH - 1 - j : j) * stepY;
    const uint8_t* ramp = ext.data() + ((sy + shift) & 0xFF);
    if (contiguous) {
      for (int b = 0; b < target.bands; ++b) {
        uint8_t* row = target.planes[b] + j * target.pitchBytes;
        std::memcpy(row, ramp + window.offsetX, rampColumns);
        std::memcpy(row + rampColumns, barPlanes[target.bands == 3 ? b : 1].data() + rampColumns,
                    outW - rampColumns);
      }
    } else {
      for (uint64_t i = 0; i < outW; ++i) {
        const uint64_t sx = columnX[i];
        if (sx < rampWidth) {
          const uint8_t y = ramp[sx];
          put.Put(i, j, {y, y, y});
        } else {
          put.Put(i, j, barColumn[i]);
        }
      }
    }
    if (sy < kDigitY || sy >= kDigitY + kCellHeight) continue;
    for (uint64_t i = 0; i < outW; ++i) {
      bool inBox = false;
      const uint8_t y = DigitAt(frameNumber, standard, columnX[i], sy, &inBox);
      if (inBox) put.Put(i, j, {y, y, y});
    }
  }
  return {outW, outH};
}

}  // namespace boardsim
