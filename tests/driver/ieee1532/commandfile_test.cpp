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
  const std::string warning = "data/string spans multiple lines";
  EXPECT_EQ(port_.text_.find(warning), port_.text_.rfind(warning));
  EXPECT_TRUE(port_.Saw(warning));
  EXPECT_TRUE(flash.iscOutput);
  EXPECT_EQ(flash.irLength, 8);
  EXPECT_EQ(Device(1).irLength, 4);
  EXPECT_TRUE(Device(1).skip);
  EXPECT_TRUE(port_.Saw("--> Reading BSDL file ["));
}

TEST_F(CommandFile, FormatErrorsStopWithTheLine) {
  struct Case {
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"a -i8", "Terminate device description with ';'"},
      {"a -i8x;", "use decimal numbers only"},
      {"A -i8;\na -i4;", "Device name already exists"},
      {"a -q;", "Unknown option"},
      {"a -5;", "Unknown command"},
      {"; a;", "JTAG device description expected"},
      {"a -b\"nosuch.bsd\";", "BSDL file ["},
      {"a -d\"" + std::string(220, 'n') + "\";", "data/string longer than [200] characters"},
      {"a -a\"program(\";", "action data name expected"},
      // Lengths that would size the scan buffers wrongly or beyond any device.
      {"a -i -5;", "Positive number expected"},
      {"a -i99999999999;", "Instr reg length [99999999999] exceeds [1048576] bits"},
  };
  for (const Case& c : cases) {
    port_.text_.clear();
    EXPECT_FALSE(Read(c.text)) << c.text;
    EXPECT_EQ(Missing(port_.text_, {c.message, "[cmd: line "}), "") << c.text;
  }
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
}

TEST_F(CommandFile, SkippedDevicesCountNowhereAndTheBsdlLengthWins) {
  std::string data = std::string(ZOR_EXAMPLES_DIR) + "/zorflash.isc";
  ASSERT_TRUE(Read("x -i5 -skip_dev;\nflash -i3 -b\"zorflash.bsd\" -d\"" + data +
                   "\" -a\"program\";\ny -i4;"));
  IscGetSettings().debugInfo = true;
  ASSERT_EQ(ChainValidateActions(IscEngineChain()), 1) << port_.text_;
  EXPECT_TRUE(port_.Saw("  => [flash]: will use instr reg length [8] from [zorflash]"));
  ChainPrintSummary(IscEngineChain(), 0);
  EXPECT_TRUE(port_.Saw("-> Max Reg Size: IR     12 | DR     32 (sequential mode) TDI (32)"))
      << port_.text_;
  EXPECT_FALSE(port_.Saw("-[  0] x"));
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
