#include "examples/zordemo/framefiles.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "examples/zordemo/pngfile.h"

namespace zordemo {

namespace {

constexpr QINT64 kGrabbedImage = Q_IMAGE + Q_GRAB + Q_PROC;

QINT64 Inquire(QID digitizer, QINT64 type) {
  QINT64 value = 0;
  QdigInquire(digitizer, type, &value);
  return value;
}

}  // namespace

int SaveFrames(QID system, QID digitizer, int count, const std::string& folder) {
  const QINT64 width = Inquire(digitizer, Q_SIZE_X);
  const QINT64 height = Inquire(digitizer, Q_SIZE_Y);
  const QINT64 bands = Inquire(digitizer, Q_SIZE_BAND) == 3 ? 3 : 1;
  std::error_code ignored;  // a folder that cannot be made shows as a file that cannot be written
  std::filesystem::create_directories(folder, ignored);
  QID buffer = 0;
  if (QbufAllocColor(system, bands, width, height, 8, kGrabbedImage, &buffer) == 0) return 0;
  std::vector<uint8_t> planes(static_cast<size_t>(bands * width * height));
  int written = 0;
  for (int frame = 1; frame <= count; ++frame) {
    QdigGrab(digitizer, buffer);
    if (QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) != 0) break;
    QbufGet(buffer, planes.data());
    const std::string path =
        (std::filesystem::path(folder) / ("zordemo-frame-" + std::to_string(frame) + ".png"))
            .string();
    if (!WritePng(path, static_cast<int>(width), static_cast<int>(height), static_cast<int>(bands),
                  planes)) {
      std::printf("zordemo: could not write %s\n", path.c_str());
      break;
    }
    std::printf("zordemo: frame %d written to %s\n", frame, path.c_str());
    ++written;
  }
  QbufFree(buffer);
  return written;
}

}  // namespace zordemo
