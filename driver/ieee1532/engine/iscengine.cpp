// IscEngineMain: one run of the engine, from reading the command file to performing the chain.
#include "driver/ieee1532/engine/iscengine.h"

#include <atomic>
#include <ctime>
#include <exception>
#include <new>
#include <string>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/engine/iscengineglobals.h"
#include "driver/ieee1532/engine/iscoptions.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/isctap.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

std::atomic<bool> g_running{false};

std::string Now() {
  time_t now = time(nullptr);
  char text[64] = {};
  ctime_r(&now, text);
  std::string line = text;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

int ReadAndValidate() {
  const IscCommandLine& line = IscEngineCommandLine();
  IscInputFile command;
  InputFileInit(command, line.commandFile);
  // An empty name means the command text stands in the port's lines.
  IscPortSetCommandSource(line.commandFile.empty() ? 0 : 1);
  if (!line.commandFile.empty()) InputFileReopen(command, "r");
  ChainReadCommandFile(command);
  IscPortSetCommandSource(1);
  InputFileFree(command);
  int valid = ChainValidateActions(IscEngineChain());
  // A chain that cannot run has not passed.
  if (valid != 1) IscPortSetFailureWord(1);
  return valid;
}

int CheckBsdl() {
  const std::string& file = IscEngineCommandLine().checkBsdlFile;
  IscMessagef(kIscLinePlain, "--> Checking BSDL file [%s]", file.c_str());
  BsdlEntity& entity = IscEngineNewEntity();
  IscInputFile input;
  InputFileInit(input, file);
  InputFileReopen(input, "r");
  int result = BsdlParseFile(entity, input);
  if (result > 0) IscWriteMessageLine("    = File OK", kIscLinePlain);
  return result;
}

void Run(int argc, char** argv) {
  IscPortSetFailureWord(0);
  IscPortSetCommandSource(0);
  if (!IscEngineParseOptions(argc, argv)) {
    IscReportMessage(kIscError, "", false, nullptr);
  }
  IscPortSetCommandSource(1);
  IscSettings& settings = IscGetSettings();
  settings.checkInputFilesOnly = false;
  settings.statusDisplay = false;
  settings.debugInfo = settings.bsdlInfo = settings.skipIdcodeCheck = true;
  settings.flowLoopDebug = settings.actionRepeatDisplay = true;
  time_t start = time(nullptr);
  IscMessagef(kIscLinePlain, "%s version 4.06  %s", "rurura", Now().c_str());
  TapAllocateTransitions();
  int result = settings.checkOnly ? CheckBsdl() : ReadAndValidate();
  int64_t passes = 0;
  if (result == 1) {
    ChainPrintSummary(IscEngineChain(), settings.concurrent ? 1 : 0);
    time_t iterationStart = time(nullptr);
    if (ChainPerformActions(IscEngineChain(), 0) == 1) ++passes;
    IscMessagef(kIscLinePlain, "---< Elapsed clock time for iteration [%ld] = %ld seconds >---", 1L,
                static_cast<long>(time(nullptr) - iterationStart));
    IscWriteMessageLine("==> Repeat operation (Y/N) ? ", kIscLinePlain);
  }
  long runtime = static_cast<long>(time(nullptr) - start);
  IscMessagef(kIscLinePlain, "%s", Now().c_str());
  IscMessagef(kIscLinePlain, "---[ Total program runtime: %ld sec%s ]---", runtime,
              runtime < 2 ? " " : "s");
  if (!settings.checkOnly) {
    IscMessagef(kIscLinePlain, "   => passed %ld of %ld iteration%s", static_cast<long>(passes), 1L,
                " ");
  }
}

}  // namespace

int IscEngineMain(int argc, char** argv) {
  // The engine's state is process-wide: a second run meanwhile stops without touching it.
  if (g_running.exchange(true)) throw EngineStop{};
  struct Running {
    ~Running() { g_running = false; }
  } running;
  IscEngineInitGlobals();
  bool stopped = false;
  try {
    try {
      Run(argc, argv);
    } catch (const std::bad_alloc&) {
      // Leaves like every other fatal stop.
      IscReportf(kIscError, false, nullptr, "Null [%s]", "*NoMsg*");
    } catch (const std::exception& error) {
      IscReportf(kIscError, false, nullptr, "Null [%s]", error.what());
    }
  } catch (const EngineStop&) {
    stopped = true;
  }
  // Only here has every frame that referred to the state unwound.
  IscEngineFreeGlobals();
  if (stopped) throw EngineStop{};
  return 0;
}

}  // namespace zor::isc
