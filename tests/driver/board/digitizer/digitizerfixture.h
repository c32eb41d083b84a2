// A board system allocated through libZOR.so, with the standard camera files
// found through "DRAVIONLYNDCF" and frames a few milliseconds apart.
#pragma once

#include <filesystem>
#include <string>

#include "tests/driver/board/boardfixture.h"

namespace zor::board {

class DigitizerFixture : public BoardFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A digitizer of the system on a channel; 0 when the allocation failed.
  QID Digitizer(const wchar_t* dcf, QINT64 channel = 0) const;
  // Writes a camera file into the test's folder; returns its path.
  std::filesystem::path WriteDcf(const std::string& name, const std::string& text) const;
  static std::string DcfWith(const std::string& sectionLines);
  static QINT64 Inquire(QID digitizer, QINT64 type);
  static double InquireDouble(QID digitizer, QINT64 type);

  QID system_ = 0;
  std::filesystem::path files_;
};

}  // namespace zor::board
