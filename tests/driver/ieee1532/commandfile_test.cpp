// Command files: device lines, options, file names and the chain summary.
#include <gtest/gtest.h>

#include "driver/ieee1532/chain/chaindevice.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/engine/iscsettings.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

class CommandFile : public testing::Test {
 protected:
  void SetUp() override {
    port_.bsdlFolder_.Assign((std::string(ZOR_EXAMPLES_DIR) + "/").c_str());
    IscEngineInitGlobals();
  }
  void TearDown() override { IscEngineFreeGlobals(); }

  // Reads text as a command file; false when the engine stopped.
  bool Read(const std::string& text) {
    IscEngineInitGlobals();
    IscInputFile record;
    InputFileInit(record, "cmd");
    InputFileSetText(record, text);
    try {
      return ChainReadCommandFile(record) == 1;
    } catch (const EngineStop&) {
      return false;
    }
  }
  const ChainDevice& Device(size_t index) { return *IscEngineChain().devices.at(index); }

  MessagePort port_;
  ScratchFolder folder_;
};

TEST_F(CommandFile, DeviceLineWithEveryOption) {
  std::string data =
      folder_.Write("Flash Data.ISC", ReadText(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.isc"));
  ASSERT_TRUE(Read("// chain\nFlash -a\"Program\" -b\"zorflash.bsd\" -d\"" + data +
                   "\" -i8 -o\"Out.\r\nT\nXT\" -data_isc;\nother -i 4 -skip_dev;"))
      << port_.text_;
  const ChainDevice& flash = Device(0);
  EXPECT_EQ(flash.name, "flash");
  EXPECT_EQ(flash.action, "program");
  ASSERT_NE(flash.entity, nullptr);
  EXPECT_EQ(flash.entity->name, "zorflash");
  ASSERT_NE(flash.data, nullptr);
  EXPECT_EQ(flash.data->input.name, data);  // file names keep their case and blanks
  ASSERT_TRUE(flash.output);
  EXPECT_EQ(flash.output->name, "Out.TXT");  // line breaks left out, with one warning
  EXPECT_TRUE(flash.iscOutput);
  EXPECT_EQ(flash.irLength, 8);
  EXPECT_EQ(Device(1).irLength, 4);
  EXPECT_TRUE(Device(1).skip);
  ExpectRun(port_.text_, "command-every-option.txt");
  // A name of one token, word or number, and an action need no quotes.
  ASSERT_TRUE(Read("a -o out -a Erase; b -o 12 -a verify(x);")) << port_.text_;
  EXPECT_EQ(Device(0).output->name + " " + Device(0).action + ", " + Device(1).output->name + " " +
                Device(1).action + "(" + Device(1).actionData + ")",
            "out erase, 12 verify(x)");
}

TEST_F(CommandFile, FormatErrorsStopWithTheLine) {
  // Each text's messages, whole, are in the file.
  const std::string cases[] = {
      "a -i8", "a -i8x;", "A -i8;\na -i4;", "a -q;", "a -5;", "; a;", "a -b\"nosuch.bsd\";",
      "a -d\"" + std::string(220, 'n') + "\";", "a -a\"program(\";",
      // Lengths that would size the scan buffers wrongly or beyond any device.
      "a -i -5;", "a -i99999999999;"};
  std::string transcripts;
  for (const std::string& text : cases) {
    port_.text_.clear();
    EXPECT_FALSE(Read(text)) << text;
    transcripts += "===== " + text + "\n" + port_.text_;
  }
  ExpectRun(transcripts, "command-errors.txt");
}

TEST_F(CommandFile, CutTextsStopOrReadWhatIsComplete) {
  std::string text = "a -i8;\nflash -a\"verify(x)\" -b\"zorflash.bsd\" -o\"out\" -data_isc;\n";
  for (size_t length = 0; length <= text.size(); ++length) {
    bool read = Read(text.substr(0, length));
    EXPECT_EQ(read, length == 0 || length >= text.size() - 1 || (length >= 6 && length <= 7))
        << text.substr(0, length);
  }
}

TEST_F(CommandFile, InstructionLengthWrittenEitherWay) {
  ASSERT_TRUE(Read("a -i8; b -i 8;"));
  EXPECT_EQ(Device(0).irLength, Device(1).irLength);
  // As many devices as a chain may hold (one more stops).
  std::string most;
  for (int i = 0; i < 1024; ++i) most += "d" + std::to_string(i) + " -i1; ";
  ASSERT_TRUE(Read(most)) << port_.text_;
  EXPECT_EQ(IscEngineChain().devices.size(), 1024u);
}

TEST_F(CommandFile, SkippedDevicesCountNowhereAndTheBsdlLengthWins) {
  std::string data = std::string(ZOR_EXAMPLES_DIR) + "/zorflash.isc";
  ASSERT_TRUE(Read("x -i5 -skip_dev;\nflash -i3 -b\"zorflash.bsd\" -d\"" + data +
                   "\" -a\"program\";\ny -i4;"));
  IscGetSettings().debugInfo = true;
  ASSERT_EQ(ChainValidateActions(IscEngineChain()), 1) << port_.text_;
  ChainPrintSummary(IscEngineChain(), 0);
  ExpectRun(port_.text_, "command-skipped-device.txt");
  EXPECT_EQ(IscEngineChain().tdiText.size(), 33u);
  // A file without the length leaves the line's.
  folder_.Write("short.bsd",
                Replace(ReadText(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.bsd"),
                        "attribute INSTRUCTION_LENGTH of ZORFLASH : entity is 8;", ""));
  port_.bsdlFolder_.Assign((folder_.path() + "/").c_str());
  ASSERT_TRUE(Read("flash -i3 -b\"short.bsd\" -a\"verify_idcode\";")) << port_.text_;
  ASSERT_EQ(ChainValidateActions(IscEngineChain()), 1) << port_.text_;
  EXPECT_EQ(Device(0).irLength, 3);
}

}  // namespace
