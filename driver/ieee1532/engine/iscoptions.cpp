// The engine's command-line options: files, buffers, debug bits and the usage text.
#include "driver/ieee1532/engine/iscoptions.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/engine/iscenginestate.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/text/iscinputfile.h"
#include "driver/ieee1532/text/iscmessages.h"

namespace zor::isc {

namespace {

constexpr const char* kProgram = "rurura";
constexpr int64_t kDefaultBufferSize = 0x40000;

bool SameText(const char* a, const char* b) {
  if (strlen(a) != strlen(b)) return false;
  for (; *a != '\0'; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return true;
}

[[noreturn]] void Stop(const char* format, const char* argument) {
  IscReportf(kIscError, false, nullptr, format, argument);
  throw EngineStop{};
}

// Takes the value after an option; null when there is none.
const char* TakeValue(int& argc, char**& argv) {
  if (argc <= 1) return nullptr;
  --argc;
  ++argv;
  return argv[0];
}

int64_t BufferSize(const char* value, bool read) {
  int64_t size = strtoll(value, nullptr, 10);
  if (size > kIscMaxBufferSize) {
    IscReportf(kIscError, false, nullptr, "%s: %s buffer size above [%ld] bytes", kProgram,
               read ? "read" : "write", static_cast<long>(kIscMaxBufferSize));
  }
  return size < 1024 ? kDefaultBufferSize : size;
}

FILE* OpenForWriting(const char* name) {
  return OpenFileChecked(name, IscGetSettings().commitOnWrite ? "c" : "w");
}

void ApplyDebugBits(int64_t bits) {
  IscSettings& settings = IscGetSettings();
  if (bits & 1) settings.statusDisplay = false;
  if (bits & 2) settings.debugInfo = true;
  if (bits & 4) settings.bsdlInfo = true;
  if (bits & 8) settings.skipIdcodeCheck = true;
  if (bits & 16) settings.flowLoopDebug = true;
  if (bits & 32) settings.actionRepeatDisplay = true;
}

void ClearCommitFlag(int& /*argc*/, char**& /*argv*/) { IscGetSettings().commitOnWrite = false; }

void TakeCommandFile(int& argc, char**& argv) {
  IscCommandLine& line = IscEngineCommandLine();
  const char* file = TakeValue(argc, argv);
  if (file == nullptr) Stop("missing [%s] filename", "InputFile");
  if (!line.outputFile.empty() && line.outputFile == file) {
    IscReportf(kIscError, false, nullptr, "(%s) %s", kProgram, "Input filename same as output");
  }
  if (!line.logFile.empty() && line.logFile == file) {
    IscReportf(kIscError, false, nullptr, "(%s) %s", kProgram, "Input filename same as log");
  }
  if (IscPortCommandSource() == 1 && file[0] != '\0') {
    fclose(OpenFileChecked(file, "r"));
  }
  line.commandFile = file;
  line.commandFileGiven = true;
}

// The file name after "-l" or "-o", which must not be the command file's.
const char* TakeFileBesideInput(int& argc, char**& argv, const char* what,
                                const char* sameAsInput) {
  const char* file = TakeValue(argc, argv);
  if (file == nullptr) Stop("missing [%s] filename", what);
  if (IscEngineCommandLine().commandFile == file) {
    IscReportf(kIscError, false, nullptr, "(%s) %s", kProgram, sameAsInput);
  }
  return file;
}

void TakeLogFile(int& argc, char**& argv) {
  IscEngineCommandLine().logFile =
      TakeFileBesideInput(argc, argv, "LogFile", "Log filename same as input");
}

void TakeOutputFile(int& argc, char**& argv) {
  IscEngineCommandLine().outputFile =
      TakeFileBesideInput(argc, argv, "OutFile", "Output filename same as input");
}

void TakeDebugBits(int& argc, char**& argv) {
  const char* value = TakeValue(argc, argv);
  if (value == nullptr) Stop("%s: specify option(s)", kProgram);
  ApplyDebugBits(strtoll(value, nullptr, 10));
}

void TakeReadBufferSize(int& argc, char**& argv) {
  const char* value = TakeValue(argc, argv);
  if (value == nullptr) Stop("%s: specify read buffer size", kProgram);
  IscGetSettings().readBufferSize = BufferSize(value, true);
}

void TakeWriteBufferSize(int& argc, char**& argv) {
  const char* value = TakeValue(argc, argv);
  if (value == nullptr) Stop("%s: specify write buffer size", kProgram);
  IscGetSettings().writeBufferSize = BufferSize(value, false);
}

void TurnOffBufferedRead(int& /*argc*/, char**& /*argv*/) { IscGetSettings().bufferedRead = false; }

void TurnOffBufferedWrite(int& /*argc*/, char**& /*argv*/) {
  IscGetSettings().bufferedWrite = false;
}

struct GenericOption {
  std::string_view name;
  void (*take)(int& argc, char**& argv);
};

constexpr GenericOption kGenericOptions[] = {
    {"d", ClearCommitFlag},
    {"w", ClearCommitFlag},
    {"i", TakeCommandFile},
    {"l", TakeLogFile},
    {"o", TakeOutputFile},
    {"xopt", TakeDebugBits},
    {"readbufsize", TakeReadBufferSize},
    {"writebufsize", TakeWriteBufferSize},
    {"nobufread", TurnOffBufferedRead},
    {"nobufwrite", TurnOffBufferedWrite},
};

// One generic option (name lower-cased); false when the tool options must have it.
bool ParseGenericOption(std::string_view name, int& argc, char**& argv) {
  for (const GenericOption& option : kGenericOptions) {
    if (name != option.name) continue;
    option.take(argc, argv);
    return true;
  }
  return false;
}

void UsageLine(const char* text) { IscWriteMessageLine(text, kIscLinePlain); }

void PausePrompt() { UsageLine("-==< Press ENTER to continue >==-"); }

// Output and log files are opened once every option is read, so that a name that turns out to be
// the command file's is refused before that file is emptied.
void OpenOutputs(const IscCommandLine& line) {
  if (!line.logFile.empty()) IscSetLogFile(OpenForWriting(line.logFile.c_str()));
  if (!line.outputFile.empty()) fclose(OpenForWriting(line.outputFile.c_str()));
}

}  // namespace

IscCommandLine& IscEngineCommandLine() { return IscState().commandLine; }

int IscEngineParseToolOption(int& argc, char**& argv) {
  IscSettings& settings = IscGetSettings();
  const char* name = argv[0] + 1;
  struct Flag {
    const char* name;
    bool IscSettings::*setting;
    bool value;
  };
  static const Flag kFlags[] = {
      {"checkinpfiles", &IscSettings::checkInputFilesOnly, true},
      {"continue_on_fail", &IscSettings::continueOnFail, true},
      {"bsdlwarnings", &IscSettings::bsdlWarnings, true},
      {"min0clk", &IscSettings::singleTckBeforeWait, false},
      {"nomemiscdata", &IscSettings::holdIscDataInMemory, false},
      {"skip_error_proc", &IscSettings::runErrorExitProc, false},
      {"skip_exit_on_error", &IscSettings::stopOnExitOnError, false},
      {"xshowallopts", &IscSettings::showAllOptions, true},
      {"xshowcmdfileopts", &IscSettings::showCommandFileOptions, true},
  };
  for (const Flag& flag : kFlags) {
    if (SameText(name, flag.name)) {
      settings.*flag.setting = flag.value;
      return 1;
    }
  }
  if (SameText(name, "checkbsdl")) {
    const char* file = TakeValue(argc, argv);
    if (file == nullptr) IscReportf(kIscError, false, nullptr, "Specify BSDL file to check");
    FILE* test = OpenFileChecked(file, "t");
    if (test == nullptr)
      IscReportf(kIscError, false, nullptr, "Cannot open/read BSDL file [%s]", file);
    fclose(test);
    settings.checkOnly = settings.checkInputFilesOnly = true;
    IscEngineCommandLine().checkBsdlFile = file;
    return 1;
  }
  if (SameText(name, "maxbiterr")) {
    const char* value = TakeValue(argc, argv);
    if (value == nullptr)
      IscReportf(kIscError, false, nullptr, "Specify max # of bit errors to display");
    settings.maxBitErrors = std::max<int64_t>(strtoll(value, nullptr, 10), 0);
    return 1;
  }
  if (SameText(name, "m")) {
    const char* value = TakeValue(argc, argv);
    bool concurrent = value != nullptr && SameText(value, "concurrent");
    bool maxConcurrent = value != nullptr && SameText(value, "max_concurrent");
    if (value == nullptr || (!concurrent && !maxConcurrent && !SameText(value, "sequential"))) {
      IscReportf(kIscError, false, nullptr, "Specify -m [sequential | concurrent]");
    }
    settings.concurrent = concurrent || maxConcurrent;
    settings.maxConcurrent = maxConcurrent;
    return 1;
  }
  return 0;
}

bool IscEngineParseOptions(int argc, char** argv) {
  --argc;
  ++argv;
  for (; argc > 0 && argv[0][0] == '-'; --argc, ++argv) {
    for (char* c = argv[0] + 1; *c != '\0'; ++c) {
      *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    }
    if (ParseGenericOption(argv[0] + 1, argc, argv)) continue;
    if (IscEngineParseToolOption(argc, argv) == 1) continue;
    IscReportf(kIscError, false, nullptr, "%s: unknown option [%s]\n", kProgram, argv[0]);
  }
  const IscCommandLine& line = IscEngineCommandLine();
  if ((line.commandFileGiven || IscGetSettings().checkOnly) && argc == 0) {
    OpenOutputs(line);
    return true;
  }
  IscGetSettings().statusDisplay = true;
  IscMessagef(kIscLinePlain, "%s version 4.06", kProgram);
  if (argc > 0) {
    IscMessagef(kIscLinePlain, "==> unknown option [%s]", argv[0]);
  } else {
    UsageLine("==> missing input");
  }
  IscMessagef(kIscLinePlain, "Usage:\n  %s [options] -i <command file>", kProgram);
  IscEnginePrintUsage();
  return false;
}

void IscEnginePrintUsage() {
  const IscSettings& settings = IscGetSettings();
  UsageLine("Options:");
  UsageLine("  -bsdlwarnings = display BSDL DESIGN_WARNINGs and ISC_DESIGN_WARNINGs");
  UsageLine("  -checkinpfiles = check files specified in command file");
  if (settings.showAllOptions) {
    static const char* const kAll[] = {
        "  -checkbsdl <BSDL file> = check specified BSDL file then exit",
        "  -continue_on_fail = continue device processing even on failure",
        "  -min0clk = turn off single 0-1-0 TCK pulse when waiting X secs",
        "  -nobufread = turn off buffered read operations",
        "  -no_fwrite = use fprintf() instead of fwrite() to write data",
        "  -nomemiscdata = do not hold ISC data in memory",
        "  -readbufsize N = specify fread buffer size",
        "  -writebufsize N = specify fwrite buffer size",
    };
    for (const char* text : kAll) UsageLine(text);
    PausePrompt();
    static const char* const kDebug[] = {
        "  -xopt N = debugging options (N = sum of the following)",
        "        =>   1: turn off status display",
        "        =>   2: print program debug information",
        "        =>   4: print BSDL info to output file",
        "        =>   8: skip IDCODE check",
        "        =>  16: turn on flow loop debug code",
        "        =>  32: display ACTION repeat count",
        "  -xshowallopts = show all options",
        "  -xshowcmdfileopts = show ISC command file format and options",
    };
    for (const char* text : kDebug) UsageLine(text);
    PausePrompt();
  }
  if (settings.showCommandFileOptions) {
    ChainPrintCommandFileHelp();
    PausePrompt();
  }
  static const char* const kAlways[] = {
      "  -l <log file> = write diagnostic messages to log file",
      "  -m [sequential (default) | concurrent] = processing mode",
      "  -maxbiterr N = N -> max number of bit errors to display",
      "  -o <output file> = write debug messages to output file",
      "  -skip_error_proc = use BYPASS instead of PROC_ERROR_EXIT when errors occur",
      "  -skip_exit_on_error = process other devices even on flow exit_on_error",
  };
  for (const char* text : kAlways) UsageLine(text);
}

}  // namespace zor::isc
