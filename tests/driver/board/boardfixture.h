// Tests that allocate Dravion Lyn systems through libZOR.so, as an
// application does, on the simulated boards shared with the driver library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/boardsim/board.h"
#include "platform/host/zor.h"

namespace zor::board {

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

  std::filesystem::path genicam_;
};

}  // namespace zor::board
