// The engine's front end: options, usage, check mode, timing lines and log file.
#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <utility>

#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "tests/driver/ieee1532/enginerun.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

bool Parse(std::vector<std::string> arguments) {
  IscEngineInitGlobals();
  std::vector<char*> argv;
  for (std::string& text : arguments) argv.push_back(text.data());
  try {
    return IscEngineParseOptions(static_cast<int>(argv.size()), argv.data());
  } catch (const EngineStop&) {
    return false;
  }
}

// The settings a list of options reaches that are not at their default, or "refused".
std::string Options(const std::string& options) {
  if (!Parse(Split("rurura " + options, ' '))) return "refused";
  const IscSettings& s = IscGetSettings();
  const IscSettings defaults;
  using S = IscSettings;
  std::string text;
  for (auto [name, size] : {std::pair{"read", &S::readBufferSize},
                            {"write", &S::writeBufferSize},
                            {"bit errors", &S::maxBitErrors}}) {
    if (s.*size != defaults.*size) text += std::string(" ") + name + " " + std::to_string(s.*size);
  }
  static const char* const kNames[] = {
      "commit",    "bufread", "bufwrite",  "status",     "debug",       "bsdl",     "noidcode",
      "loopdebug", "repeats", "checkonly", "checkinput", "continue",    "warnings", "concurrent",
      "max",       "tck",     "memdata",   "errorproc",  "exitonerror", "allopts",  "cmdopts"};
  static bool S::*const kFlags[] = {
      &S::commitOnWrite,       &S::bufferedRead,        &S::bufferedWrite,
      &S::statusDisplay,       &S::debugInfo,           &S::bsdlInfo,
      &S::skipIdcodeCheck,     &S::flowLoopDebug,       &S::actionRepeatDisplay,
      &S::checkOnly,           &S::checkInputFilesOnly, &S::continueOnFail,
      &S::bsdlWarnings,        &S::concurrent,          &S::maxConcurrent,
      &S::singleTckBeforeWait, &S::holdIscDataInMemory, &S::runErrorExitProc,
      &S::stopOnExitOnError,   &S::showAllOptions,      &S::showCommandFileOptions};
  for (size_t i = 0; i < std::size(kFlags); ++i) {
    if (s.*kFlags[i] != defaults.*kFlags[i]) text += std::string(" ") + kNames[i];
  }
  return text;
}

// Read and write each reach their own setting, each debug bit its own flag, and each size its
// bounds; an option whose value is missing stops with its own message.
TEST(FrontEnd, OptionNamesIgnoreCaseButMustBeWhole) {
  MessagePort port;
  port.commandSource_ = 0;  // as during the option parse of a run: "cmd" is not opened
  const std::pair<std::string, const char*> cases[] = {
      {"-M Concurrent -READBUFSIZE 100 -maxbiterr 7 -i cmd", " bit errors 7 concurrent"},
      {"-m max_concurrent -i cmd", " concurrent max"},
      {"-m SEQUENTIAL -maxbiterr -5 -i cmd", " bit errors 0"},
      {"-nobufwrite -writebufsize 1024 -readbufsize 1023 -d -i cmd", " write 1024 commit bufwrite"},
      {"-nobufread -readbufsize 67108864 -writebufsize 67108864 -i cmd",
       " read 67108864 write 67108864 bufread"},
      {"-w -i cmd", " commit"},
      {"-CheckInpFiles -continue_on_fail -bsdlwarnings -min0clk -nomemiscdata -skip_error_proc "
       "-skip_exit_on_error -xshowallopts -xshowcmdfileopts -i cmd",
       " checkinput continue warnings tck memdata errorproc exitonerror allopts cmdopts"},
      {"-checkbsdl " + TestDataPath("bsdl/epc4q100_1532.bsd"), " checkonly checkinput"}};
  for (const auto& [options, settings] : cases) EXPECT_EQ(Options(options), settings) << options;
  const char* const bits[] = {" status", " debug", " bsdl", " noidcode", " loopdebug", " repeats"};
  for (int bit = 0; bit < 6; ++bit) {
    EXPECT_EQ(Options("-xopt " + std::to_string(1 << bit) + " -i cmd"), bits[bit]) << bit;
  }
  for (const char* options :
       {"-readbufsize 67108865 -i cmd", "-maxbit 7 -i cmd", "-m parallel -i cmd", "-i cmd -m",
        "-i cmd -maxbiterr", "-checkbsdl", "-i", "-i cmd -l", "-i cmd -o", "-i cmd -xopt",
        "-i cmd -readbufsize", "-i cmd -writebufsize"}) {
    EXPECT_EQ(Options(options), "refused") << options;
  }
  ExpectRun(port.text_, "refused-options.txt");
}

TEST(FrontEnd, MissingInputPrintsTheUsageAndStops) {
  MessagePort port;
  // Every option, then with the command file's format too, then the short form.
  EXPECT_FALSE(RunEngine({"rurura", "-xshowallopts"}));
  EXPECT_EQ(port.failure_, 1u);
  EXPECT_FALSE(RunEngine({"rurura", "-xshowcmdfileopts"}));
  EXPECT_FALSE(RunEngine({"rurura", "-i", "cmd", "extra"}));
  ExpectRun(port.text_, "usage.txt");
}

TEST(FrontEnd, CheckModeParsesOneBsdlFile) {
  MessagePort port;
  std::string file = TestDataPath("bsdl/epc4q100_1532.bsd");
  ASSERT_TRUE(RunEngine({"rurura", "-checkbsdl", file}));
  EXPECT_FALSE(RunEngine({"rurura", "-checkbsdl", "/no/such.bsd"}));
  ExpectRun(port.text_, "check-bsdl.txt");
}

// A port that holds the run at its first message until the test lets it go on.
class HoldingPort : public MessagePort {
 public:
  void Message(const char* text) override {
    if (!held_) {
      held_ = true;
      entered_.set_value();
      release_.get_future().wait();
    }
    MessagePort::Message(text);
  }
  bool held_ = false;
  std::promise<void> entered_, release_;
};

TEST(FrontEnd, SecondRunMeanwhileStopsAndLeavesTheFirstAlone) {
  HoldingPort port;
  std::string file = TestDataPath("bsdl/epc4q100_1532.bsd");
  std::future<void> entered = port.entered_.get_future();
  std::thread first([&] { EXPECT_TRUE(RunEngine({"rurura", "-checkbsdl", file})); });
  entered.wait();
  std::string args[] = {"rurura", "-checkbsdl", file};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data()};
  EXPECT_THROW(IscEngineMain(3, argv), EngineStop);
  port.release_.set_value();
  first.join();
  EXPECT_TRUE(port.Saw("    = File OK")) << port.text_;
  EXPECT_EQ(port.failure_, 0u);
}

// Stands for an allocation that fails somewhere inside the engine.
class FailingAllocationPort : public MessagePort {
 public:
  void Message(const char* text) override {
    MessagePort::Message(text);
    if (!thrown_ && Saw("--> Checking BSDL file")) {
      thrown_ = true;
      throw std::bad_alloc();
    }
  }
  bool thrown_ = false;
};

TEST(FrontEnd, FailedAllocationStopsLikeAnyFatalError) {
  FailingAllocationPort port;
  std::string file = TestDataPath("bsdl/epc4q100_1532.bsd");
  EXPECT_FALSE(RunEngine({"rurura", "-checkbsdl", file}));
  EXPECT_EQ(port.failure_, 1u);
  // Nothing of the stopped run stays behind.
  EXPECT_TRUE(RunEngine({"rurura", "-checkbsdl", file}));
  ExpectRun(port.text_, "failed-allocation.txt");
}

TEST(FrontEnd, CommandFileOnDiskAndLogFile) {
  auto chain = ExampleChain();
  SimBoardPort port(chain.get());
  port.bsdlFolder_.Assign((std::string(ZOR_EXAMPLES_DIR) + "/").c_str());
  ScratchFolder folder;
  std::string command = folder.Write(
      "Chain.CMD", "fpga -i6;\nflash -b\"zorflash.bsd\" -a\"verify_idcode\";\nbuffer -i4;\n");
  std::string log = folder.Path("Run.Log");
  ASSERT_TRUE(RunEngine({"rurura", "-l", log, "-i", command})) << port.text_;
  EXPECT_EQ(port.failure_, 0u) << port.text_;
  // The log holds what the port shows from the log's opening on.
  EXPECT_EQ(port.text_.substr(port.text_.find("rurura version")), ReadText(log));
  ExpectRun(ReadText(log), "log-file.txt");
}

}  // namespace
