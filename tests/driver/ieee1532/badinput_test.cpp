// Inputs that once crashed the engine, passed a failing check, emptied a file or asked for
// unbounded memory or time, and the stops of a run: each must end with its own message, the
// failure word set and the engine's state released only after the stop has unwound.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <stdexcept>

#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/text/iscmessages.h"
#include "tests/driver/ieee1532/enginerun.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

const std::string kCorpus = std::string(ZOR_TESTDATA_DIR) + "/ieee1532/badinput";

std::vector<std::string> CorpusFiles(const std::string& kind) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(kind + "-", 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Each corpus file names the message it stops with on a comment line.
std::string StopMessage(const std::string& text) {
  const std::string marker = "-- stops with: ";
  size_t at = text.find(marker);
  if (at == std::string::npos) return "(no stop message in the file)";
  at += marker.size();
  return text.substr(at, text.find('\n', at) - at);
}

std::string FlashLine(const std::string& bsdl, const std::string& more = "") {
  return "flash -b\"" + bsdl + "\" " + more + "-a\"verify_idcode\";";
}

class BadInputCorpus : public testing::TestWithParam<const char*> {};

TEST_P(BadInputCorpus, EveryFileStopsWithItsMessage) {
  const std::vector<std::string> names = CorpusFiles(GetParam());
  ASSERT_FALSE(names.empty());
  std::string transcripts;
  for (const std::string& name : names) {
    auto chain = ExampleChain();
    SimBoardPort port(chain.get());
    port.bsdlFolder_.Assign((kCorpus + "/").c_str());
    port.SetLines({"fpga -i6;", FlashLine(name), "buffer -i4;"});
    EXPECT_FALSE(RunEngineOnLines()) << name;
    const std::string message = StopMessage(ReadText(kCorpus + "/" + name));
    EXPECT_TRUE(port.Saw("Error  : " + message)) << name << "\n" << port.text_;
    EXPECT_EQ(port.failure_, 1u) << name;
    transcripts += "===== " + name + "\n" + port.text_ + port.Played();
  }
  ExpectRun(transcripts, std::string("badinput-") + GetParam() + ".txt");
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadInputCorpus,
                         testing::Values("fieldwidth", "loopcount", "portrange", "number"));

class BadRun : public ExampleChainTest {
 protected:
  void SetUp() override {
    ExampleChainTest::SetUp();
    port_->SetLines({"fpga -i6;", FlashLine("zorflash.bsd"), "buffer -i4;"});
  }

  ScratchFolder folder_;
};

TEST_F(BadRun, OutputOrLogNamedLikeTheCommandFileLeavesItWhole) {
  const std::string text = "fpga -i6;\n" + FlashLine("zorflash.bsd") + "\nbuffer -i4;\n";
  const std::string command = folder_.Write("chain.cmd", text);
  // Each order of the options and its message; "" where the output file is another one.
  const std::vector<std::pair<std::vector<std::string>, std::string>> orders = {
      {{"-o", command, "-i", command}, "Input filename same as output"},
      {{"-i", command, "-o", command}, "Output filename same as input"},
      {{"-l", command, "-i", command}, "Input filename same as log"},
      {{"-i", command, "-l", command}, "Log filename same as input"},
      {{"-o", folder_.Path("out.txt"), "-m", "parallel", "-i", command}, ""},
  };
  for (const auto& [options, message] : orders) {
    std::vector<std::string> arguments = {"rurura"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    port_->text_.clear();
    EXPECT_FALSE(RunEngine(arguments)) << options[0];
    EXPECT_EQ(ReadText(command), text) << options[0];
    EXPECT_EQ(port_->failure_, 1u);
    EXPECT_TRUE(message.empty() || port_->Saw("(rurura) " + message)) << port_->text_;
  }
  // A run refused for its options opens none of its output files.
  EXPECT_FALSE(std::filesystem::exists(folder_.Path("out.txt")));

  ASSERT_TRUE(RunEngine({"rurura", "-o", folder_.Path("out.txt"), "-i", command}));
  EXPECT_TRUE(std::filesystem::exists(folder_.Path("out.txt")));
}

// Stops the run with an exception of the standard library once a message holds `after`.
class ThrowingPort : public SimBoardPort {
 public:
  ThrowingPort(boardsim::CSimJtagChain* chain, std::string after, bool lengthError)
      : SimBoardPort(chain), after_(std::move(after)), lengthError_(lengthError) {}
  void Message(const char* text) override {
    SimBoardPort::Message(text);
    if (thrown_ || !Saw(after_)) return;
    thrown_ = true;
    if (lengthError_) throw std::length_error("vector::_M_default_append");
    throw std::bad_alloc();
  }

 private:
  std::string after_;
  bool lengthError_;
  bool thrown_ = false;
};

// Every kind of stop, from the deepest frames of the run: the stop is reported, the log holds it
// (so it was closed), and the next run starts from a fresh state. Under AddressSanitizer a stop
// that touched released state on its way out fails here. Hostile files among them: nesting
// hundreds of thousands deep in each text the engine reads, a FIFO nobody writes in the place of
// each file, buffer sizes, numbers and chains beyond their limits; none exhausts the stack, memory
// or waits.
TEST_F(BadRun, EveryStopReleasesTheStateOnlyAfterUnwinding) {
  const std::string deep(300000, '(');
  const std::string bsdl = ReadText(ExampleData("zorflash.bsd"));
  folder_.Write("deep.bsd", Replace(bsdl, "D : (5, 6)", "D : " + deep + "5, 6)"));
  folder_.Write("loop.bsd", Replace(bsdl, "(IDCODE WAIT TCK 1 32:01234567*FFFFFFFF)",
                                    "(loop min 1 max 2 (IDCODE WAIT TCK 1 32:01234566*FFFFFFFF))"));
  const std::string cutAt = "INSTRUCTION_LENGTH of ZORFLASH : entity is 8";
  folder_.Write("cut.bsd", bsdl.substr(0, bsdl.find(cutAt) + cutAt.size()));
  folder_.Write("zorflash.bsd", bsdl);
  const std::string header = "IEEE_1532_Data (Header (STD_Version STD_1532_2001 Entity zorflash)\n";
  const std::string deepData = folder_.Write("deep.isc", header + "DATA array (repeat " + deep);
  const std::string badData = folder_.Write("bad.isc", header + "DATA array (repeat (0123456G)))");
  const std::string shortData =
      folder_.Write("short.isc", header + "DATA array (repeat (01234567, 89ABCDEF)))\n");
  const std::string fifo = folder_.Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  port_->bsdlFolder_.Assign((folder_.path() + "/").c_str());
  const std::string log = folder_.Path("run.log");
  // The flash line between the other two devices; the options of the run, when not the log's
  // and the port's lines.
  struct Stop {
    std::string flash, message;
    std::vector<std::string> options = {};
  };
  auto program = [](const std::string& data) {
    return "flash -b\"zorflash.bsd\" -d\"" + data + "\" -a\"program\";";
  };
  // Twenty devices of a million instruction bits: within each device's limit, not the chain's.
  std::string devices, many;
  for (int i = 0; i < 20; ++i) devices += "d" + std::to_string(i) + " -i1048576; ";
  for (int i = 0; i <= 1024; ++i) many += "d" + std::to_string(i) + " -i1; ";
  const std::vector<Stop> stops = {
      {"flash -b\"zorflash.bsd\" -a\"verify_idcode\"", "Terminate device description with ';'"},
      {FlashLine("cut.bsd"), "Invalid entity termination format"},
      {program(badData), "[G]: data record must have hex digits only"},
      {FlashLine("loop.bsd"), "*** ==> Max flow loop count [2] reached"},
      {program(shortData),
       "Not enough data in array (array) for flow flow_program(array)",
       {"-l", log, "-m", "concurrent", "-i", ""}},
      {"", "Invalid entity termination format", {"-l", log, "-checkbsdl", folder_.Path("cut.bsd")}},
      {FlashLine("deep.bsd"), "Mismatched BSDL string brackets"},
      {program(deepData), "[(]: data record must have hex digits only"},
      {"flash " + deep, "Error  : Unknown command"},
      {FlashLine("fifo"), "BSDL file [" + fifo + "] does not exist"},
      {program(fifo), "ISC data file [" + fifo + "] does not exist"},
      {"", "(rurura) cannot open [" + fifo + "]", {"-i", fifo}},
      {FlashLine("zorflash.bsd"), "(rurura) cannot open [" + fifo + "]", {"-o", fifo, "-i", ""}},
      {"",
       "rurura: read buffer size above [67108864] bytes",
       {"-readbufsize", "9223372036854775807", "-i", ""}},
      {"",
       "rurura: write buffer size above [67108864] bytes",
       {"-writebufsize", "67108865", "-i", ""}},
      {"flash -i99999999999999999999;", "Number [99999999999999999999] out of range"},
      {devices + FlashLine("zorflash.bsd"), "Chain scans of [20971538] bits exceed [16777216]"},
      {many, "More than [1024] devices in the chain"},
  };
  std::string transcripts;
  for (const Stop& stop : stops) {
    SCOPED_TRACE(stop.message);
    // A line without its ';' ends the text.
    port_->SetLines({"fpga -i6;", stop.flash, stop.flash.ends_with(';') ? "buffer -i4;" : ""});
    port_->text_.clear();
    std::filesystem::remove(log);
    std::vector<std::string> arguments = {"rurura", "-l", log, "-i", ""};
    if (!stop.options.empty()) arguments.assign({"rurura"});
    arguments.insert(arguments.end(), stop.options.begin(), stop.options.end());
    EXPECT_FALSE(RunEngine(arguments));
    EXPECT_EQ(port_->failure_, 1u);
    const std::vector<std::string> seen = {stop.message, "*** Program stopped at"};
    EXPECT_EQ(Missing(port_->text_, seen), "") << port_->text_;
    if (arguments[1] == "-l") {
      EXPECT_EQ(Missing(ReadText(log), seen), "");
    }
    EXPECT_EQ(IscLogFile(), nullptr);
    EXPECT_TRUE(IscEngineChain().devices.empty());
    transcripts += "===== " + stop.message + "\n" + port_->text_;
  }
  ExpectRun(transcripts + port_->Played(), "stops.txt");

  for (bool lengthError : {false, true}) {
    ThrowingPort port(chain_.get(), "--> Performing action", lengthError);
    port.bsdlFolder_.Assign((folder_.path() + "/").c_str());
    port.SetLines({"fpga -i6;", FlashLine("zorflash.bsd"), "buffer -i4;"});
    EXPECT_FALSE(RunEngineOnLines());
    EXPECT_TRUE(port.Saw(lengthError ? "Null [vector::_M_default_append]" : "Null [*NoMsg*]"))
        << port.text_;
    EXPECT_EQ(port.failure_, 1u);
    EXPECT_TRUE(IscEngineChain().devices.empty());
  }
}

}  // namespace
