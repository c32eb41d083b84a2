// Whole runs of the engine against the simulated chain, as the programming flow runs it.
#include <gtest/gtest.h>

#include <ctime>
#include <sstream>

#include "platform/boardsim/jtag/chainfile.h"
#include "platform/boardsim/jtag/simiscdevice.h"
#include "tests/driver/ieee1532/enginerun.h"
#include "tests/driver/ieee1532/testsupport.h"

namespace {

std::vector<uint32_t> ExampleWords() {
  std::istringstream text(ReadText(ExampleData("zorflash.isc")));
  std::vector<uint32_t> words;
  std::string row;
  while (text >> row) {
    if (!row.empty() && row.back() == ',') row.pop_back();
    if (row.size() == 8 && row.find_first_not_of("0123456789ABCDEF") == std::string::npos) {
      words.push_back(static_cast<uint32_t>(std::stoul(row, nullptr, 16)));
    }
  }
  return words;
}

std::string FlashLine(const std::string& name, const std::string& action,
                      const std::string& data = ExampleData("zorflash.isc")) {
  return name + " -b\"zorflash.bsd\" -d\"" + data + "\" -a\"" + action + "\";";
}

boardsim::CSimIscDevice& Flash(boardsim::CSimJtagChain& chain, int index = 1) {
  return dynamic_cast<boardsim::CSimIscDevice&>(chain.Device(index));
}

// The 64 words of the flash at a place in the chain.
std::vector<uint32_t> Words(boardsim::CSimJtagChain& chain, int index = 1) {
  std::vector<uint32_t> words;
  for (int i = 0; i < 64; ++i) words.push_back(Flash(chain, index).ReadWord(i));
  return words;
}

// The local time as ISC files date themselves.
std::string LocalDate() {
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  char text[16];
  strftime(text, sizeof(text), "%Y%m%d.%H%M", &local);
  return text;
}

class EngineProgram : public ExampleChainTest {};

TEST_F(EngineProgram, ProgramsAndVerifiesTheFlashBetweenBypassedDevices) {
  port_->SetLines({"fpga -i6;", FlashLine("flash", "program"), "buffer -i4;"});
  ASSERT_TRUE(RunEngineOnLines()) << port_->text_;
  EXPECT_EQ(port_->failure_, 0u) << port_->text_;
  EXPECT_EQ(Words(*chain_), ExampleWords());
  ExpectRun(port_->text_ + port_->Played(), "program.txt");
  EXPECT_EQ(Flash(*chain_).State(), zor::jtag::TapState::kReset);  // the run leaves the chain reset
}

TEST_F(EngineProgram, StuckBitFailsVerificationAndSetsTheFailureWord) {
  std::vector<uint32_t> words = ExampleWords();
  int bit = 0;
  while ((words[3] >> bit) & 1) ++bit;  // a bit the data clears; the cell stays 1
  Flash(*chain_).SetStuckBit(boardsim::SimStuckBit{3, bit, true});
  port_->SetLines({"fpga -i6;", FlashLine("flash", "program"), "buffer -i4;"});
  ASSERT_TRUE(RunEngineOnLines());
  EXPECT_EQ(port_->failure_, 1u);
  ExpectRun(port_->text_ + port_->Played(), "stuck.txt");
  EXPECT_FALSE(Flash(*chain_).Enabled());  // PROC_ERROR_EXIT left ISC mode
  port_->text_.clear();
  ASSERT_TRUE(RunEngine({"rurura", "-skip_error_proc", "-i", ""}));
  EXPECT_TRUE(Flash(*chain_).Enabled());  // unless the run skips it
  ExpectRun(port_->text_ + port_->Played(), "stuck-skip-error-proc.txt");
  // A device whose file has no such procedure: the run says so.
  ScratchFolder folder;
  std::string bsdl = ReadText(ExampleData("zorflash.bsd"));
  const std::string errorExit = "\"proc_error_exit      = (flow_disable), \" &";
  bsdl.erase(bsdl.find(errorExit), errorExit.size());
  folder.Write("zorflash.bsd", bsdl);
  port_->bsdlFolder_.Assign((folder.path() + "/").c_str());
  port_->text_.clear();
  ASSERT_TRUE(RunEngineOnLines());
  ExpectRun(port_->text_ + port_->Played(), "stuck-no-error-exit.txt");
  // The file's first procedure is found like any other.
  const std::string verify = "\"proc_verify(idcode)";
  folder.Write("zorflash.bsd", bsdl.insert(bsdl.find(verify), errorExit + "\n"));
  port_->text_.clear();
  ASSERT_TRUE(RunEngineOnLines());
  EXPECT_FALSE(port_->Saw("PROC_ERROR_EXIT not defined")) << port_->text_;
  EXPECT_FALSE(Flash(*chain_).Enabled());
}

// Lines the chain cannot run: the run goes on, fails and says why.
TEST_F(EngineProgram, ValidationFailuresFailTheRunBeforeAnyAction) {
  const std::pair<std::string, const char*> cases[] = {
      {FlashLine("flash", "reprogram"), "invalid-action.txt"},
      {"flash -b\"zorflash.bsd\" -a\"program\";", "no-datafile.txt"}};
  for (const auto& [line, name] : cases) {
    port_->text_.clear();
    port_->SetLines({"fpga -i6;", line, "buffer -i4;"});
    ASSERT_TRUE(RunEngineOnLines());
    EXPECT_EQ(port_->failure_, 1u);
    ExpectRun(port_->text_ + port_->Played(), name);
  }
}

TEST_F(EngineProgram, ReadActionWritesAnIscFileThatVerifiesTheDevice) {
  port_->SetLines({"fpga -i6;", FlashLine("flash", "program"), "buffer -i4;"});
  ASSERT_TRUE(RunEngineOnLines());
  ScratchFolder folder;
  std::string readBack = folder.Path("ReadBack.isc");
  const std::string before = LocalDate();
  port_->SetLines({"fpga -i6;",
                   "flash -b\"zorflash.bsd\" -a\"read\" -data_isc -o\"" + readBack + "\";",
                   "buffer -i4;"});
  ASSERT_TRUE(RunEngineOnLines()) << port_->text_;
  EXPECT_EQ(port_->failure_, 0u) << port_->text_;
  // Whole; the date, and the transmission CRC over it, change with the time of the run.
  std::string written = ReadText(readBack);
  const std::string date = written.substr(written.find("Creation_Date ") + 14, 13);
  EXPECT_TRUE(date == before || date == LocalDate()) << date;
  written.replace(written.find("Creation_Date ") + 14, 13, "yyyyMMdd.hhmm");
  written.replace(written.rfind(")\n") + 2, std::string::npos, "CRC\n");
  EXPECT_EQ(written, ReadText(TestDataPath("ieee1532/readback.isc")));
  // Without the ISC format: the fields as read, a record each.
  std::string plain = folder.Path("ReadBack.txt");
  port_->SetLines(
      {"fpga -i6;", "flash -b\"zorflash.bsd\" -a\"read\" -o\"" + plain + "\";", "buffer -i4;"});
  ASSERT_TRUE(RunEngineOnLines()) << port_->text_;
  EXPECT_EQ(port_->failure_, 0u) << port_->text_;
  ExpectRun(ReadText(plain), "read-back-plain.txt");

  port_->text_.clear();
  port_->SetLines({"fpga -i6;", FlashLine("flash", "verify", readBack), "buffer -i4;"});
  ASSERT_TRUE(RunEngineOnLines());
  EXPECT_EQ(port_->failure_, 0u) << port_->text_;
  // Both checks of the written file pass; its transmission CRC changes with the date.
  ExpectRun(MaskBetween(port_->text_, "transmission CRC [", "]", "XXXX") + port_->Played(),
            "verify-read-back.txt");
}

TEST(EngineChain, ContinueOnFailKeepsTheFailureOfAnEarlierDevice) {
  auto chain = TwoFlashes();
  SimBoardPort port(chain.get());
  port.bsdlFolder_.Assign(ExampleData("").c_str());
  Flash(*chain, 1).SetStuckBit(boardsim::SimStuckBit{0, 0, false});
  std::vector<uint32_t> words = ExampleWords();
  ASSERT_EQ(words[0] & 1, 1u);  // the stuck 0 contradicts the data
  port.SetLines({FlashLine("a", "program"), FlashLine("b", "program")});
  ASSERT_TRUE(RunEngine({"rurura", "-continue_on_fail", "-i", ""}));
  ExpectRun(port.text_ + port.Played(), "continue-on-fail.txt");
  EXPECT_EQ(Flash(*chain, 0).ReadWord(5), words[5]);
  EXPECT_EQ(port.failure_, 1u);
}

TEST(EngineChain, ConcurrentModeProgramsTwoDevicesInCommonScans) {
  auto chain = TwoFlashes(R"(, {"name": "x", "irLength": 5})");
  SimBoardPort port(chain.get());
  port.bsdlFolder_.Assign(ExampleData("").c_str());
  port.SetLines({FlashLine("a", "program"), "x -i5;", FlashLine("b", "program")});
  ASSERT_TRUE(RunEngine({"rurura", "-M", "Concurrent", "-i", ""}));
  EXPECT_EQ(port.failure_, 0u) << port.text_;
  // The bypass bit of the device without action counts in the concurrent scan length (65).
  ExpectRun(port.text_ + port.Played(), "concurrent.txt");
  EXPECT_EQ(Words(*chain, 0), ExampleWords());
  EXPECT_EQ(Words(*chain, 2), ExampleWords());
}

TEST(EngineChain, ConcurrentDevicesInDifferentFlowsAreServedInTurn) {
  auto chain = TwoFlashes();
  SimBoardPort port(chain.get());
  port.bsdlFolder_.Assign(ExampleData("").c_str());
  port.SetLines({FlashLine("a", "erase"), FlashLine("b", "program")});
  ASSERT_TRUE(RunEngine({"rurura", "-m", "concurrent", "-i", ""}));
  EXPECT_EQ(port.failure_, 0u) << port.text_;
  ExpectRun(port.text_ + port.Played(), "concurrent-two-flows.txt");
  EXPECT_EQ(Words(*chain, 0), ExampleWords());
  EXPECT_EQ(Words(*chain, 1), std::vector<uint32_t>(64, 0xFFFFFFFF));
  EXPECT_FALSE(Flash(*chain, 0).Enabled());
  EXPECT_FALSE(Flash(*chain, 1).Enabled());
}

}  // namespace
