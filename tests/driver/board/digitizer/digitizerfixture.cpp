#include "tests/driver/board/digitizer/digitizerfixture.h"

#include <stdlib.h>

#include <fstream>

namespace zor::board {

void DigitizerFixture::SetUp() {
  BoardFixture::SetUp();
  files_ = genicam_ / "dcf";
  std::filesystem::create_directories(files_);
  setenv("DRAVIONLYNDCF", ZOR_STANDARD_DCF_DIR, 1);
  SimBoard().SetFrameTime(2000);
  system_ = Alloc();
  ASSERT_NE(system_, 0) << "error " << ErrorCode();
}

void DigitizerFixture::TearDown() {
  if (system_ != 0) QsysFree(system_);
  unsetenv("DRAVIONLYNDCF");
  BoardFixture::TearDown();
}

QID DigitizerFixture::Digitizer(const wchar_t* dcf, QINT64 channel) const {
  QID digitizer = 0;
  QdigAlloc(system_, channel, dcf, Q_DEFAULT, &digitizer);
  return digitizer;
}

std::filesystem::path DigitizerFixture::WriteDcf(const std::string& name,
                                                 const std::string& text) const {
  const std::filesystem::path path = files_ / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string DigitizerFixture::DcfWith(const std::string& sectionLines) {
  return "DRAVIONLYN\n[REG_DIGIT]\n" + sectionLines + "[EOF]\n";
}

QINT64 DigitizerFixture::Inquire(QID digitizer, QINT64 type) {
  QINT64 value = -12345;
  QdigInquire(digitizer, type, &value);
  return value;
}

double DigitizerFixture::InquireDouble(QID digitizer, QINT64 type) {
  double value = -12345.0;
  QdigInquire(digitizer, type, &value);
  return value;
}

}  // namespace zor::board
