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

// The settings a list of options reaches, or "refused".
std::string Options(std::vector<std::string> arguments) {
  if (!Parse(std::move(arguments))) return "refused";
  const IscSettings& s = IscGetSettings();
  std::string text =
      "read " + std::to_string(s.readBufferSize) + (s.bufferedRead ? "" : " direct") + ", write " +
      std::to_string(s.writeBufferSize) + (s.bufferedWrite ? "" : " direct") +
      (s.commitOnWrite ? " committed" : "") + ", bit errors " + std::to_string(s.maxBitErrors);
  if (s.concurrent) text += ", concurrent";
  if (s.maxConcurrent) text += ", max concurrent";
  if (s.debugInfo && s.bsdlInfo) text += ", debug and bsdl info";
  return text;
}

// Read and write each reach their own setting; an option whose value is missing stops with its
// own message.
TEST(FrontEnd, OptionNamesIgnoreCaseButMustBeWhole) {
  MessagePort port;
  port.commandSource_ = 0;  // as during the option parse of a run: "cmd" is not opened
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"-M", "Concurrent", "-READBUFSIZE", "100", "-maxbiterr", "7", "-i", "cmd"},
       "read 262144, write 262144 committed, bit errors 7, concurrent"},
      {{"-m", "max_concurrent", "-xopt", "6", "-i", "cmd"},
       "read 262144, write 262144 committed, bit errors 50, concurrent, max concurrent, debug and "
       "bsdl info"},
      {{"-nobufwrite", "-writebufsize", "4096", "-i", "cmd"},
       "read 262144, write 4096 direct committed, bit errors 50"},
      {{"-nobufread", "-readbufsize", "2048", "-d", "-i", "cmd"},
       "read 2048 direct, write 262144, bit errors 50"},
      {{"-w", "-i", "cmd"}, "read 262144, write 262144, bit errors 50"},
      {{"-maxbit", "7", "-i", "cmd"}, "refused"},
      {{"-m", "parallel", "-i", "cmd"}, "refused"},
      {{"-i"}, "refused"},
      {{"-i", "cmd", "-l"}, "refused"},
      {{"-i", "cmd", "-o"}, "refused"},
      {{"-i", "cmd", "-xopt"}, "refused"},
      {{"-i", "cmd", "-readbufsize"}, "refused"},
      {{"-i", "cmd", "-writebufsize"}, "refused"}};
  for (const auto& [options, settings] : cases) {
    std::vector<std::string> arguments = {"rurura"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    EXPECT_EQ(Options(arguments), settings) << options[0] << " " << options.back();
  }
  EXPECT_EQ(Missing(port.text_,
                    {"rurura: unknown option [-maxbit]", "Specify -m [sequential | concurrent]",
                     "missing [InputFile] filename", "missing [LogFile] filename",
                     "missing [OutFile] filename", "rurura: specify option(s)",
                     "rurura: specify read buffer size", "rurura: specify write buffer size"}),
            "");
}

TEST(FrontEnd, MissingInputPrintsTheUsageAndStops) {
  MessagePort port;
  EXPECT_FALSE(RunEngine({"rurura", "-xshowallopts"}));
  EXPECT_TRUE(port.Saw("==> missing input"));
  EXPECT_TRUE(port.Saw("Usage:\n  rurura [options] -i <command file>"));
  EXPECT_TRUE(port.Saw("        =>  32: display ACTION repeat count"));
  EXPECT_TRUE(port.Saw("  -skip_exit_on_error = process other devices even on flow exit_on_error"));
  for (const char* option :
       {"-bsdlwarnings", "-checkinpfiles", "-checkbsdl <BSDL file>", "-continue_on_fail",
        "-min0clk", "-nobufread", "-no_fwrite", "-nomemiscdata", "-readbufsize N",
        "-writebufsize N", "-xopt N", "-xshowallopts", "-xshowcmdfileopts", "-l <log file>", "-m [",
        "-maxbiterr N", "-o <output file>", "-skip_error_proc"}) {
    EXPECT_TRUE(port.Saw("\n  " + std::string(option))) << option;
  }
  EXPECT_TRUE(port.Saw("*** Program stopped at"));
  EXPECT_EQ(port.failure_, 1u);

  port.text_.clear();
  EXPECT_FALSE(RunEngine({"rurura", "-i", "cmd", "extra"}));
  EXPECT_TRUE(port.Saw("==> unknown option [extra]"));
}

TEST(FrontEnd, CheckModeParsesOneBsdlFile) {
  MessagePort port;
  std::string file = TestDataPath("bsdl/epc4q100_1532.bsd");
  ASSERT_TRUE(RunEngine({"rurura", "-checkbsdl", file}));
  EXPECT_TRUE(port.Saw("--> Checking BSDL file [" + file + "]"));
  EXPECT_EQ(Missing(port.text_, {"    = File OK", "===== Info from BSDL file"}), "");
  EXPECT_TRUE(port.Saw("---[ Total program runtime: "));  // seconds vary with the load
  EXPECT_FALSE(port.Saw("=> passed"));

  EXPECT_FALSE(RunEngine({"rurura", "-checkbsdl", "/no/such.bsd"}));
  EXPECT_TRUE(port.Saw("Cannot open/read BSDL file [/no/such.bsd]"));
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
  EXPECT_TRUE(port.Saw("Null [*NoMsg*]")) << port.text_;
  EXPECT_EQ(port.failure_, 1u);
  // Nothing of the stopped run stays behind.
  EXPECT_TRUE(RunEngine({"rurura", "-checkbsdl", file}));
  EXPECT_TRUE(port.Saw("    = File OK"));
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
  std::string logged = ReadText(log);
  EXPECT_NE(logged.find("[ PASS ]: Action [flash (zorflash)]: verify_idcode"), std::string::npos);
  EXPECT_NE(logged.find("---< Elapsed clock time for iteration [1] = "), std::string::npos);
  EXPECT_NE(logged.find("   => passed 1 of 1 iteration "), std::string::npos);
}

}  // namespace
