// A Dravion Lyn system allocated through libZOR.so with the GenICam runtime
// installed, and GUF files made for it.
#pragma once

#include <string>
#include <vector>

#include "tests/driver/board/boardfixture.h"

namespace zor::genicam {

class GenICamSystemFixture : public board::BoardFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A GUF file in the fixture's folder with one update per payload, each for
  // the given model.
  std::string WriteGuf(const std::string& name, const std::vector<std::string>& payloads,
                       const std::string& model = "QdigControl");
  // A payload of that many bytes that differs with the seed.
  static std::string Firmware(size_t size, unsigned seed);
  // Runs the system's firmware update control with a wide path.
  void Update(const std::string& path, int64_t device = 0);
  std::wstring SubText(int index);
  // Allocations of the channel's digitizer since the test began.
  uint64_t Allocations(int64_t channel);
  // What the board gives each channel as its identity.
  uint64_t DefaultIdentity(int64_t channel);

  // Runs the script's steps on the digitizer, or on the system for 0: "type=value" (or
  // "type=default") controls, "type?" inquires. Gives each step back, an inquiry as
  // "type:answer", with "!code/sub" when it left an error.
  std::string Steps(QID digitizer, const std::string& script);

  static constexpr int64_t kChannels = 4;
  QID system_ = 0;
  uint64_t allocations_[kChannels] = {};
};

}  // namespace zor::genicam
