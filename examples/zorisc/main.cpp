// Runs the IEEE 1532 engine with its argument list against a simulated JTAG chain, as a user runs
// the engine without a board:
//   zorisc <chain file> [engine options] -i <command file>
// The chain file describes the simulated devices (platform/boardsim/jtag/README.md); BSDL files
// named with -b are looked up in the chain file's folder.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "driver/firmware/boardjtagport.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "examples/mainguard/mainguard.h"
#include "platform/boardsim/jtag/chainfile.h"

using zor::firmware::CBoardJtagPort;
using zor::isc::EngineStop;
using zor::isc::IscEngineMain;

namespace {

constexpr int kCannotRun = 2;

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
  if (argc < 2) {
    fprintf(stderr, "usage: %s <chain file> [engine options] -i <command file>\n", argv[0]);
    return kCannotRun;
  }
  std::unique_ptr<boardsim::CSimJtagChain> chain;
  try {
    chain = boardsim::LoadChainFile(argv[1]);
  } catch (const std::exception& error) {
    fprintf(stderr, "%s: %s\n", argv[1], error.what());
    return kCannotRun;
  }
  ConsolePort port(chain.get());
  port.bsdlFolder_.Assign(FolderOf(argv[1]).c_str());
  // The engine sees its own name first, then the options after the chain file.
  std::vector<char*> arguments = {argv[0]};
  for (int i = 2; i < argc; ++i) arguments.push_back(argv[i]);
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
