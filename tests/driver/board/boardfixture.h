// Tests that allocate Dravion Lyn systems through libZOR.so, as an
// application does, on the simulated boards shared with the driver library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/boardsim/board.h"
#include "platform/host/zor.h"

namespace zor::board {

// One control and what it leaves behind: the whole last error and the value read back.
struct ControlStep {
  QINT64 type;
  QINT64 value;
  std::string error;  // as BoardFixture::Err gives it
  QINT64 read;
};

class BoardFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The GenICam installation an installer would make: the runtime's root
  // with v3_1 and an XML repository beside it.
  void InstallGenICam();

  static QID Alloc(QINT64 number = 0, QINT64 flags = Q_DEFAULT);
  static boardsim::Board& SimBoard(uint32_t unit = 0);
  static QINT64 ErrorCode();
  static QINT64 SubCode(int index);
  // The whole last error, code and sub-codes, so one comparison sees each part.
  static std::string LastError();
  static std::string Err(QINT64 code, QINT64 sub1 = 0, QINT64 sub2 = 0, QINT64 sub3 = 0);
  static std::wstring ErrorText(QINT64 type);
  // Runs the controls in turn on one object, each checked (named by its type and value).
  static void ExpectSteps(QID object, void (*control)(QID, QINT64, QINT64),
                          QINT64 (*inquire)(QID, QINT64, void*),
                          const std::vector<ControlStep>& steps);

  std::filesystem::path genicam_;
};

// A board system of board 0, freed after the test unless the test freed it (and set it to 0).
class SystemFixture : public BoardFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  QID system_ = 0;
};

}  // namespace zor::board
