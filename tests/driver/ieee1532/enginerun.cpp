#include "tests/driver/ieee1532/enginerun.h"

#include <cstdio>

#include "driver/ieee1532/engine/iscengine.h"
#include "platform/boardsim/jtag/chainfile.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

void SimBoardPort::SetLines(const std::vector<std::string>& lines) {
  for (int i = 0; i < kLineCount; ++i) {
    lines_[i].Assign(static_cast<size_t>(i) < lines.size() ? lines[static_cast<size_t>(i)].c_str()
                                                           : "");
  }
}

void SimBoardPort::WritePins(uint32_t pins) {
  ++writes_;
  pinHash_ = (pinHash_ ^ pins) * 1099511628211u;
  CBoardJtagPort::WritePins(pins);
}

std::string SimBoardPort::Played() const {
  char text[96];
  snprintf(text, sizeof(text), "played %llu pin words (%016llx), %u progress ticks\n",
           static_cast<unsigned long long>(writes_), static_cast<unsigned long long>(pinHash_),
           progressCounter_);
  return text;
}

std::unique_ptr<boardsim::CSimJtagChain> ExampleChain() {
  return boardsim::LoadChainFile(ExampleData("chain.json"));
}

std::unique_ptr<boardsim::CSimJtagChain> TwoFlashes(const std::string& between) {
  const std::string flash =
      R"("type": "isc", "irLength": 8, "idcode": "0x01234567", "boundaryLength": 4})";
  return boardsim::ParseChainJson(R"({"devices": [{"name": "b", )" + flash + between +
                                  R"(, {"name": "a", )" + flash + "]}");
}

std::string ExampleData(const std::string& name) {
  return std::string(ZOR_EXAMPLES_DIR) + "/" + name;
}

bool RunEngine(const std::vector<std::string>& arguments) {
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv;
  for (std::string& text : copies) argv.push_back(text.data());
  argv.push_back(nullptr);
  try {
    return IscEngineMain(static_cast<int>(copies.size()), argv.data()) == 0;
  } catch (const EngineStop&) {
    return false;
  }
}

bool RunEngineOnLines() { return RunEngine({"rurura", "-checkinpfiles", "-i", ""}); }
