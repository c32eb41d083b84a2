// Runs the IEEE 1532 engine with its argument list against a simulated JTAG chain, as a user runs
// the engine without a board (kUsage below, zorisc.1). The chain file describes the simulated
// devices (platform/boardsim/jtag/README.md); BSDL files named with -b are looked up in the chain
// file's folder.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "driver/firmware/boardjtagport.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "examples/mainguard/mainguard.h"
#include "examples/usage/usage.h"
#include "platform/boardsim/jtag/chainfile.h"

using zor::firmware::CBoardJtagPort;
using zor::isc::EngineStop;
using zor::isc::IscEngineMain;

namespace {

constexpr int kCannotRun = 2;

constexpr examples::Usage kUsage = {
    "zorisc",
    "usage: zorisc CHAIN [ENGINE OPTIONS] -i COMMAND-FILE\n"
    "       zorisc CHAIN -checkbsdl BSDL-FILE\n"
    "\n"
    "Runs the driver's IEEE 1532 programming engine against the simulated JTAG chain that the\n"
    "chain file CHAIN (JSON) describes. The command file names each device from TDO to TDI with\n"
    "its options (-iN, -b\"BSDL file\", -d\"ISC data file\", -a\"action\"), one per line, each\n"
    "ending with ';'. BSDL files are read from the chain file's folder, data files as written.\n"
    "`zorisc CHAIN -xshowallopts -xshowcmdfileopts` lists every engine option and the command\n"
    "file's format; zorisc(1) shows the example in share/doc/zor-dravionlyn/examples.\n"
    "\n"
    "Exit status: 0 passed, 1 failed, 2 a usage error or a chain file that cannot be read.\n",
    2, -1};

class ConsolePort : public CBoardJtagPort {
 public:
  using CBoardJtagPort::CBoardJtagPort;
  void Message(const char* text) override { fputs(text, stdout); }
};

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int Run(int argc, char** argv) {
  int first = 0;
  const int status = examples::ReadCommandLine(argc, argv, kUsage, &first);
  if (status >= 0) return status;
  const char* chainFile = argv[first];
  std::unique_ptr<boardsim::CSimJtagChain> chain;
  try {
    chain = boardsim::LoadChainFile(chainFile);
  } catch (const std::exception& error) {
    fprintf(stderr, "%s: %s\n", chainFile, error.what());
    return kCannotRun;
  }
  ConsolePort port(chain.get());
  port.bsdlFolder_.Assign(FolderOf(chainFile).c_str());
  // The engine sees its own name first, then the options after the chain file.
  std::vector<char*> arguments = {argv[0]};
  for (int i = first + 1; i < argc; ++i) arguments.push_back(argv[i]);
  arguments.push_back(nullptr);
  bool stopped = false;
  try {
    IscEngineMain(static_cast<int>(arguments.size() - 1), arguments.data());
  } catch (const EngineStop&) {
    stopped = true;
  }
  bool passed = !stopped && port.failure_ == 0;
  printf("\nzorisc: %s (failure word %u)\n", passed ? "PASS" : "FAIL", port.failure_);
  return passed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  return examples::RunGuarded("zorisc", kCannotRun, [&] { return Run(argc, argv); });
}
