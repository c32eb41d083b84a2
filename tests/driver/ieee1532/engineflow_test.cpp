// Flows, loops, limits and modes of the engine, with variants of the example device's BSDL.
#include <gtest/gtest.h>

#include "platform/boardsim/jtag/chainfile.h"
#include "platform/boardsim/jtag/simiscdevice.h"
#include "tests/driver/ieee1532/enginerun.h"
#include "tests/driver/ieee1532/testsupport.h"

namespace {

// The example BSDL with one more flow, run by the action "extra".
std::string WithExtraFlow(const std::string& flow) {
  std::string text = ReadText(ExampleData("zorflash.bsd"));
  text = Replace(text, "\"flow_done initialize (BYPASS WAIT TCK 1)\";",
                 "\"flow_done initialize (BYPASS WAIT TCK 1), \" & \"" + flow + "\";");
  text = Replace(text, "\"proc_program_done    = (flow_done)\";",
                 "\"proc_program_done = (flow_done), proc_extra = (flow_extra)\";");
  return Replace(text, "\"verify_idcode = (proc_verify(idcode))\";",
                 "\"verify_idcode = (proc_verify(idcode)), extra = (proc_extra)\";");
}

class EngineFlow : public ExampleChainTest {
 protected:
  void SetUp() override {
    ExampleChainTest::SetUp();
    port_->bsdlFolder_.Assign((folder_.path() + "/").c_str());
    folder_.Write("zorflash.bsd", ReadText(ExampleData("zorflash.bsd")));
  }
  bool Run(const std::string& flashOptions, std::vector<std::string> options = {}) {
    port_->SetLines({"fpga -i6;", "flash -b\"zorflash.bsd\" " + flashOptions + ";", "buffer -i4;"});
    std::vector<std::string> arguments = {"rurura"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), {"-i", ""});
    return RunEngine(arguments);
  }
  boardsim::CSimIscDevice& Flash() {
    return dynamic_cast<boardsim::CSimIscDevice&>(chain_->Device(1));
  }

  ScratchFolder folder_;
};

// Runs of one flash action: whether the run goes on, the failure word and the lines it shows.
TEST_F(EngineFlow, LoopsLimitsAndModesOfOneAction) {
  const std::string example = ReadText(ExampleData("zorflash.bsd"));
  std::string records = ReadText(ExampleData("zorflash.isc"));
  records = Replace(records, "repeat (\n", "repeat (\n      00000000,\n");
  records = records.substr(0, records.rfind(')') + 1);  // no transmission CRC
  const std::string tooMany = "-d\"" + folder_.Write("extra.isc", records) + "\" -a\"program\"";
  const std::string loop = "flow_extra initialize (loop min 1 max ";
  const std::string bit1 = Replace(example, "32:01234567*FFFFFFFF", "32:01234565*FFFFFFFF");
  // The options of the flash line and of the run; the transcript of each, whole, with whether
  // the run goes on and the failure word.
  struct Case {
    const char* name;
    std::string bsdl, flash, options;
    bool stuck = false;  // bit 0 of word 0 stuck at 0 from this row on
  };
  const Case cases[] = {
      {"loop passes from its minimum on",
       WithExtraFlow(loop + "5 (IDCODE WAIT TCK 1 32:01234567))(loop min 3 (BYPASS WAIT TCK 1))"),
       "-a\"extra\"", ""},
      {"loop used up stops", WithExtraFlow(loop + "5 (IDCODE WAIT TCK 1 32:01234566))"),
       "-a\"extra\"", ""},
      {"concurrent loop used up fails the device",
       WithExtraFlow(loop + "3 (IDCODE WAIT TCK 1 32:01234566))"), "-a\"extra\"",
       "-m concurrent -xopt 2"},
      {"too many data records stop", example, tooMany, ""},
      {"too many data records stop concurrent processing", example, tooMany, "-m concurrent"},
      {"proprietary action cancels concurrent processing",
       Replace(example, "\"verify  = (", "\"verify proprietary = ("),
       "-d\"" + ExampleData("zorflash.isc") + "\" -a\"verify\"", "-m concurrent"},
      // The IDCODE expected differs in bit 1: one mismatch.
      {"mismatch lines up to the limit at any limit", bit1, "-a\"verify_idcode\"",
       "-maxbiterr 9223372036854775807 -xopt 2"},
      {"a field narrower than its register names its bit",
       WithExtraFlow("flow_extra initialize "
                     "(IDCODE WAIT TCK 1 16:0123*FFFF, 16:4565*FFFF)"),
       "-a\"extra\"", "-xopt 2"},
      {"a loop of no turns is left out",
       WithExtraFlow("flow_extra initialize (loop max 0 (IDCODE WAIT TCK 1 32:01234566))"),
       "-a\"extra\"", "-m concurrent"},
      {"a negative limit shows none", bit1, "-a\"verify_idcode\"", "-maxbiterr -5"},
      {"the top bit of a field is compared too",
       Replace(example, "32:01234567*FFFFFFFF", "32:81234567*FFFFFFFF"), "-a\"verify_idcode\"", ""},
      {"no mismatch line at a limit of 0",
       WithExtraFlow("flow_extra initialize (ISC_ENABLE WAIT TCK 2)"
                     "(ISC_ADDRESS_SHIFT 6:0 WAIT TCK 1)(ISC_READ WAIT TCK 1 32:FFFFFFFF)"),
       "-a\"extra\"", "-maxbiterr 0", true},
  };
  std::string transcripts;
  for (const Case& c : cases) {
    folder_.Write("zorflash.bsd", c.bsdl);
    port_->text_.clear();
    if (c.stuck) Flash().SetStuckBit(boardsim::SimStuckBit{0, 0, false});
    const bool ran = Run(c.flash, Split(c.options, ' '));
    transcripts += std::string("===== ") + c.name + ": " + (ran ? "runs " : "stops ") +
                   std::to_string(port_->failure_) + "\n" + port_->text_ + port_->Played();
  }
  ExpectRun(transcripts, "flow-cases.txt");
}

TEST_F(EngineFlow, VariablesShiftAndCountBetweenScans) {
  // The address walks 1, 2, 4 by shifts and 5 by an add: word 5 holds the last program. The
  // first address comes from the data file's repeat section, its only data: the initialize
  // section, which takes none, needs none.
  folder_.Write(
      "zorflash.bsd",
      Replace(WithExtraFlow(
                  "flow_extra(array) initialize (ISC_ENABLE WAIT TCK 2)"
                  "(ISC_ERASE WAIT TCK 120)(ISC_ADDRESS_SHIFT 6:$a=3F WAIT TCK 1)"
                  " repeat 1 (ISC_ADDRESS_SHIFT 6:$a? WAIT TCK 1)"
                  "(ISC_PROGRAM 32:0000000A WAIT TCK 1)"
                  "(ISC_ADDRESS_SHIFT 6:$a<<1 WAIT TCK 1)(ISC_PROGRAM 32:0000000B WAIT TCK 1)"
                  "(ISC_ADDRESS_SHIFT 6:$a<<1 WAIT TCK 1)(ISC_ADDRESS_SHIFT 6:$a+1 WAIT TCK 1)"
                  "(ISC_PROGRAM 32:0000000C WAIT TCK 1)(ISC_DISABLE WAIT TCK 1)"),
              "proc_extra = (flow_extra)", "proc_extra = (flow_extra(array))"));
  const std::string data =
      folder_.Write("extra.isc",
                    "IEEE_1532_Data\n(Header (STD_Version STD_1532_2001\n Creation_Date "
                    "20261207.0900\n Creator \"tests\"\n Entity zorflash\n )\n"
                    " DATA array (repeat (01))\n)");
  ASSERT_TRUE(Run("-d\"" + data + "\" -a\"extra\"")) << port_->text_;
  EXPECT_EQ(port_->failure_, 0u) << port_->text_;
  std::vector<uint32_t> words;
  for (int i = 0; i < 6; ++i) words.push_back(Flash().ReadWord(i));
  EXPECT_EQ(words, (std::vector<uint32_t>{0xFFFFFFFF, 0xA, 0xB, 0xFFFFFFFF, 0xFFFFFFFF, 0xC}));
  // Without the flow's array the run stops before the flow's first scan, its erase.
  EXPECT_FALSE(Run("-d\"" + folder_.Write("other.isc", Replace(ReadText(data), "array", "other")) +
                   "\" -a\"extra\""));
  ExpectRun(port_->text_ + port_->Played(), "variables.txt");
  EXPECT_EQ(Flash().ReadWord(1), 0xAu);
}

TEST_F(EngineFlow, DataReadAgainFromTheFileWithoutHoldingItInMemory) {
  ASSERT_TRUE(Run("-d\"" + ExampleData("zorflash.isc") + "\" -a\"program\"", {"-nomemiscdata"}))
      << port_->text_;
  EXPECT_EQ(port_->failure_, 0u) << port_->text_;
  EXPECT_NE(Flash().ReadWord(63), 0xFFFFFFFFu);
}

TEST_F(EngineFlow, OptionalProcedureRunsOnlyWhenTheDataFileTurnsItOn) {
  std::string data = ReadText(ExampleData("zorflash.isc"));
  data = data.substr(0, data.rfind(')') + 1);  // no transmission CRC
  uint32_t first =
      static_cast<uint32_t>(std::stoul(data.substr(data.find("repeat (") + 15, 8), nullptr, 16));
  int bit = 0;
  while ((first >> bit) & 1) ++bit;
  Flash().SetStuckBit(boardsim::SimStuckBit{0, bit, false});  // only the blank check sees it
  folder_.Write("zorflash.bsd",
                Replace(ReadText(ExampleData("zorflash.bsd")), "proc_erase, proc_blank_check, \" &",
                        "proc_erase, proc_blank_check optional, \" &"));
  std::string plain = "-d\"" + folder_.Write("plain.isc", data) + "\" -a\"program\"";
  std::string on =
      "-d\"" +
      folder_.Write("on.isc", Replace(data, "        )\n",
                                      "        )\n  override proc_blank_check program ON\n")) +
      "\" -a\"program\"";
  for (const char* mode : {"sequential", "concurrent"}) {
    SCOPED_TRACE(mode);
    port_->text_.clear();
    ASSERT_TRUE(Run(plain, {"-m", mode}));
    EXPECT_EQ(port_->failure_, 0u) << port_->text_;
    ASSERT_TRUE(Run(on, {"-m", mode}));
    EXPECT_EQ(port_->failure_, 1u);
    ExpectRun(port_->text_ + port_->Played(), std::string("optional-") + mode + ".txt");
  }
}

TEST_F(EngineFlow, ExitOnErrorStopsTheChainEvenWhenContinuingOnFail) {
  auto chain = TwoFlashes();
  port_.reset();
  SimBoardPort port(chain.get());
  port.bsdlFolder_.Assign((folder_.path() + "/").c_str());
  folder_.Write("zorflash.bsd",
                Replace(ReadText(ExampleData("zorflash.bsd")), "\"flow_verify(idcode) initialize",
                        "\"flow_verify(idcode) exit_on_error initialize"));
  chain->Device(1).SetIdcode(0x11111111);
  std::string data = ExampleData("zorflash.isc");
  port.SetLines({"a -b\"zorflash.bsd\" -d\"" + data + "\" -a\"program\";",
                 "b -b\"zorflash.bsd\" -d\"" + data + "\" -a\"program\";"});
  ASSERT_TRUE(RunEngine({"rurura", "-continue_on_fail", "-i", ""}));
  EXPECT_EQ(port.failure_, 1u);
  ASSERT_TRUE(RunEngine({"rurura", "-continue_on_fail", "-skip_exit_on_error", "-i", ""}));
  EXPECT_EQ(port.failure_, 1u);
  ExpectRun(port.text_ + port.Played(), "exit-on-error.txt");
}

TEST_F(EngineFlow, LongCommandTextIsReadWholePastTheReadBuffer) {
  std::vector<std::string> lines;
  for (int i = 0; i < 99; ++i) {
    lines.push_back("device" + std::to_string(i) + " -i4; // " + std::string(40, '.'));
  }
  port_->SetLines(lines);
  ASSERT_TRUE(RunEngine({"rurura", "-readbufsize", "1024", "-i", ""})) << port_->text_;
  ExpectRun(port_->text_ + port_->Played(), "long-command-text.txt");
}

}  // namespace
