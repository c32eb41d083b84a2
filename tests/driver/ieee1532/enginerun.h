#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/firmware/boardjtagport.h"
#include "driver/ieee1532/tap/iscpins.h"
#include "platform/boardsim/jtag/simjtagchain.h"

// A board port on a simulated chain that keeps the engine's messages.
class SimBoardPort : public zor::firmware::CBoardJtagPort {
 public:
  // The engine's pin word outlives a run: each port starts from the same one, so that what a
  // run plays does not depend on the tests before it.
  explicit SimBoardPort(boardsim::CSimJtagChain* chain) : zor::firmware::CBoardJtagPort(chain) {
    zor::isc::TapWritePinWord(0);
  }
  void Message(const char* text) override { text_ += text; }
  void WritePins(uint32_t pins) override;
  bool Saw(const std::string& piece) const { return text_.find(piece) != std::string::npos; }
  void SetLines(const std::vector<std::string>& lines);
  // The pin words written so far and the progress shown, for a whole comparison of what the
  // runs played.
  std::string Played() const;
  std::string text_;

 private:
  uint64_t writes_ = 0, pinHash_ = 14695981039346656037u;
};

std::string ExampleData(const std::string& name);

// The example chain: buffer (nearest TDI), the IEEE 1532 flash, fpga (nearest TDO).
std::unique_ptr<boardsim::CSimJtagChain> ExampleChain();

// Two flashes of the example's IDCODE, "b" nearest TDI, with the devices given between them.
std::unique_ptr<boardsim::CSimJtagChain> TwoFlashes(const std::string& between = "");

// The example chain behind a board port that reads its BSDL files from the examples.
class ExampleChainTest : public testing::Test {
 protected:
  void SetUp() override {
    chain_ = ExampleChain();
    port_ = std::make_unique<SimBoardPort>(chain_.get());
    port_->bsdlFolder_.Assign((ExampleData("")).c_str());
  }
  std::unique_ptr<boardsim::CSimJtagChain> chain_;
  std::unique_ptr<SimBoardPort> port_;
};

// Runs the engine as the programming flow does; false when it stopped with its exception.
bool RunEngine(const std::vector<std::string>& arguments);
// The programming flow's argument list, with the command text in the port's lines.
bool RunEngineOnLines();
