// zorstapl: runs one action of a STAPL program against a simulated JTAG chain (kUsage below,
// zorstapl.1). The optional flags choose OPTIONAL and RECOMMENDED procedures of the action.
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/firmware/boardjtagport.h"
#include "driver/firmware/stapl/staplexecute.h"
#include "driver/firmware/staplplayer.h"
#include "examples/mainguard/mainguard.h"
#include "examples/usage/usage.h"
#include "examples/zorstapl/consolehost.h"
#include "platform/boardsim/jtag/chainfile.h"

using zor::firmware::CBoardJtagPort;
using zor::firmware::kStaplSuccess;
using zor::firmware::StaplExecute;
using zor::firmware::StaplExitText;
using zor::firmware::StaplResultText;

namespace {

constexpr int kCannotRun = 255;

constexpr examples::Usage kUsage = {
    "zorstapl",
    "usage: zorstapl CHAIN PROGRAM ACTION [PROCEDURE=0|1 ...]\n"
    "\n"
    "Runs the action ACTION of the STAPL program PROGRAM (a .stp file) against the simulated JTAG\n"
    "chain that the chain file CHAIN (JSON) describes, prints what the program prints and\n"
    "exports, then \"Exit code = N\" and its text. PROCEDURE=1 runs an OPTIONAL procedure of\n"
    "the action, PROCEDURE=0 skips a RECOMMENDED one. zorstapl(1) shows the example in\n"
    "share/doc/zor-dravionlyn/examples.\n"
    "\n"
    "Exit status: the program's exit code; 255 when the program cannot run; 2 also for a usage\n"
    "error, which runs nothing.\n",
    3, -1};

bool ReadFile(const char* path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *text = content.str();
  return true;
}

int Run(int argc, char** argv) {
  int first = 0;
  const int status = examples::ReadCommandLine(argc, argv, kUsage, &first);
  if (status >= 0) return status;
  char** operands = argv + first;
  std::unique_ptr<boardsim::CSimJtagChain> chain;
  try {
    chain = boardsim::LoadChainFile(operands[0]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kCannotRun;
  }
  std::string program;
  if (!ReadFile(operands[1], &program) || program.size() > INT32_MAX) {
    std::fprintf(stderr, "cannot read %s\n", operands[1]);
    return kCannotRun;
  }
  std::vector<const char*> flags(operands + 3, argv + argc);
  flags.push_back(nullptr);

  CBoardJtagPort port(chain.get());
  CConsoleStaplHost host(program.data(), static_cast<int32_t>(program.size()), port);
  int32_t errorLine = 0, exitCode = 0;
  const int32_t rc = StaplExecute(host, operands[2], flags.data(), &errorLine, &exitCode);
  if (rc != kStaplSuccess) {
    std::printf("Error on line %d: %s.\nProgram terminated.\n", errorLine, StaplResultText(rc));
    return kCannotRun;
  }
  std::printf("Exit code = %d ... %s\n", exitCode, StaplExitText(exitCode));
  return exitCode & 0xFF;
}

}  // namespace

int main(int argc, char** argv) {
  return examples::RunGuarded("zorstapl", kCannotRun, [&] { return Run(argc, argv); });
}
