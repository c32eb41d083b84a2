#include "examples/zordemo/pngfile.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace zordemo {

namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// The picture row after row, the bands of each pixel side by side.
std::vector<uint8_t> Interleave(const std::vector<uint8_t>& planes, int width, int height,
                                int bands) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> image(pixels * static_cast<size_t>(bands));
  for (size_t i = 0; i < pixels; ++i) {
    for (int b = 0; b < bands; ++b) {
      image[i * static_cast<size_t>(bands) + static_cast<size_t>(b)] =
          planes[static_cast<size_t>(b) * pixels + i];
    }
  }
  return image;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, int bands,
              const std::vector<uint8_t>& planes) {
  if ((bands != 1 && bands != 3) ||
      planes.size() < static_cast<size_t>(width) * height * static_cast<size_t>(bands)) {
    return false;
  }
  std::vector<uint8_t> image = Interleave(planes, width, height, bands);
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (size_t row = 0; row < rows.size(); ++row) {
    rows[row] = image.data() + row * static_cast<size_t>(width) * static_cast<size_t>(bands);
  }
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  // libpng reports its errors by jumping back here, so everything with a destructor is made
  // before this point.
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               bands == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file.release()) == 0;
}

}  // namespace zordemo
