#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/firmware/boardjtagport.h"
#include "platform/boardsim/jtag/simjtagchain.h"

// A board port on a simulated chain that keeps the engine's messages.
class SimBoardPort : public zor::firmware::CBoardJtagPort {
 public:
  explicit SimBoardPort(boardsim::CSimJtagChain* chain) : zor::firmware::CBoardJtagPort(chain) {}
  void Message(const char* text) override { text_ += text; }
  bool Saw(const std::string& piece) const { return text_.find(piece) != std::string::npos; }
  void SetLines(const std::vector<std::string>& lines);
  std::string text_;
};

// The example chain: buffer (nearest TDI), the IEEE 1532 flash, fpga (nearest TDO).
std::unique_ptr<boardsim::CSimJtagChain> ExampleChain();

// Runs the engine as the programming flow does; false when it stopped with its exception.
bool RunEngine(const std::vector<std::string>& arguments);
// The programming flow's argument list, with the command text in the port's lines.
bool RunEngineOnLines();

std::string ExampleData(const std::string& name);
