#include "tests/driver/board/boardfixture.h"

#include <stdlib.h>

#include "platform/boardsim/deviceprovider.h"

namespace zor::board {

void BoardFixture::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zorgenicam.XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  genicam_ = pattern;
  InstallGenICam();
  // No serial port of the machine: a test that wants ports makes its own.
  std::filesystem::create_directories(genicam_ / "dev");
  setenv("ZOR_SERIAL_DEVICES", (genicam_ / "dev").c_str(), 1);
  // Board 1 is there for the tests that use two; the others use board 0.
  setenv("ZOR_BOARDSIM_BOARDS", "2", 1);
  boardsim::ShareBoards();
  // The boards live as long as the process: what an earlier test set on them goes.
  for (uint32_t unit : {0u, 1u}) SimBoard(unit).RestoreDefaults();
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
}

void BoardFixture::TearDown() {
  std::error_code ignored;
  std::filesystem::remove_all(genicam_, ignored);
}

void BoardFixture::InstallGenICam() {
  std::filesystem::create_directories(genicam_ / "genicam" / "v3_1");
  std::filesystem::create_directories(genicam_ / "xml");
  setenv("ZOR_GENICAM_PATH", (genicam_ / "genicam").c_str(), 1);
  setenv("ZOR_XML_REPOSITORY", (genicam_ / "xml").c_str(), 1);
}

QID BoardFixture::Alloc(QINT64 number, QINT64 flags) {
  return QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", number, flags, nullptr);
}

boardsim::Board& BoardFixture::SimBoard(uint32_t unit) {
  return *boardsim::LocalBoards().Find(unit);
}

QINT64 BoardFixture::ErrorCode() { return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr); }

QINT64 BoardFixture::SubCode(int index) {
  const QINT64 types[] = {Q_CURRENT_SUB_1, Q_CURRENT_SUB_2, Q_CURRENT_SUB_3};
  QINT64 value = 0;
  QappGetError(Q_DEFAULT, types[index - 1], &value);
  return value;
}

std::string BoardFixture::LastError() {
  return Err(ErrorCode(), SubCode(1), SubCode(2), SubCode(3));
}

std::string BoardFixture::Err(QINT64 code, QINT64 sub1, QINT64 sub2, QINT64 sub3) {
  return std::to_string(code) + "/" + std::to_string(sub1) + "/" + std::to_string(sub2) + "/" +
         std::to_string(sub3);
}

std::wstring BoardFixture::ErrorText(QINT64 type) {
  wchar_t text[Q_ERROR_TEXT_SIZE] = {};
  QappGetError(Q_DEFAULT, type, text);
  return text;
}

void BoardFixture::ExpectSteps(QID object, void (*control)(QID, QINT64, QINT64),
                               QINT64 (*inquire)(QID, QINT64, void*),
                               const std::vector<ControlStep>& steps) {
  for (const ControlStep& step : steps) {
    SCOPED_TRACE(testing::Message() << "type " << step.type << " set to " << step.value);
    control(object, step.type, step.value);
    EXPECT_EQ(LastError(), step.error);
    QINT64 read = -12345;
    inquire(object, step.type, &read);
    EXPECT_EQ(read, step.read);
  }
}

void SystemFixture::SetUp() {
  BoardFixture::SetUp();
  system_ = Alloc();
  ASSERT_NE(system_, 0) << "error " << ErrorCode();
}

void SystemFixture::TearDown() {
  if (system_ != 0) QsysFree(system_);
  BoardFixture::TearDown();
}

}  // namespace zor::board
