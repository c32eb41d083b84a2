// zorstapl: runs one action of a STAPL program against a simulated JTAG chain.
//   zorstapl <chain.json> <program.stp> <action> [PROCEDURE=0|1 ...]
// The optional flags choose OPTIONAL and RECOMMENDED procedures of the action. The exit status
// is the program's exit code, or 255 when the program cannot run.
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
#include "examples/zorstapl/consolehost.h"
#include "platform/boardsim/jtag/chainfile.h"

using zor::firmware::CBoardJtagPort;
using zor::firmware::kStaplSuccess;
using zor::firmware::StaplExecute;
using zor::firmware::StaplExitText;
using zor::firmware::StaplResultText;

namespace {

constexpr int kCannotRun = 255;

bool ReadFile(const char* path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *text = content.str();
  return true;
}

int Run(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <chain.json> <program.stp> <action> [PROCEDURE=0|1 ...]\n",
                 argv[0]);
    return kCannotRun;
  }
  std::unique_ptr<boardsim::CSimJtagChain> chain;
  try {
    chain = boardsim::LoadChainFile(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kCannotRun;
  }
  std::string program;
  if (!ReadFile(argv[2], &program) || program.size() > INT32_MAX) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return kCannotRun;
  }
  std::vector<const char*> flags(argv + 4, argv + argc);
  flags.push_back(nullptr);

  CBoardJtagPort port(chain.get());
  CConsoleStaplHost host(program.data(), static_cast<int32_t>(program.size()), port);
  int32_t errorLine = 0, exitCode = 0;
  const int32_t rc = StaplExecute(host, argv[3], flags.data(), &errorLine, &exitCode);
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
