// MCS PROM files against srecord's tools, and the bit-text conversions.
#include "driver/ieee1532/mcs/mcsfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/mcs/bittext.h"
#include "driver/ieee1532/tap/isctap.h"
#include "platform/boardsim/jtag/chainfile.h"
#include "tests/driver/ieee1532/enginerun.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

std::vector<uint8_t> Pattern(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  return bytes;
}

void WriteMcs(const std::string& path, const std::vector<uint8_t>& bytes) {
  McsWriter writer;
  writer.stream = fopen(path.c_str(), "wb");
  ASSERT_NE(writer.stream, nullptr);
  for (uint8_t byte : bytes) McsWriteFile(writer, byte, false);
  McsWriteFile(writer, 0, true);
  fclose(writer.stream);
}

struct OpenMcs {
  explicit OpenMcs(const std::string& path) {
    IscEngineInitGlobals();
    InputFileInit(input, path);
    InputFileReopen(input, "r");
    input.commentChar = 0;
  }
  IscInputFile input;
};

// The messages of stops without a record, each whole.
std::string Stops(const std::vector<std::string>& messages) {
  std::string text;
  for (const std::string& message : messages) text += message + "\n*** Program stopped at DATE\n\n";
  return text;
}

TEST(McsFile, WrittenFileMatchesSrecordAcrossThe64kBoundary) {
  MessagePort port;
  ScratchFolder folder;
  std::vector<uint8_t> bytes = Pattern(70001);
  std::string ours = folder.Path("ours.mcs");
  WriteMcs(ours, bytes);
  std::string text = ReadText(ours);
  EXPECT_NE(text.find(":020000040001F9\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 12), ":00000001FF\n");
  // Data records hold sixteen bytes each: the first one, and none longer.
  EXPECT_EQ(text.substr(0, 9), ":10000000");
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    ASSERT_GE(line.size(), 3u);
    EXPECT_LE(IscHexToNumber(line.substr(1, 2)), 16u) << line;
  }

  std::string binary = folder.Write("data.bin", std::string(bytes.begin(), bytes.end()));
  std::string reference = folder.Path("reference.hex");
  ASSERT_EQ(std::system(("srec_cat " + binary + " -Binary -o " + reference + " -Intel").c_str()),
            0);
  EXPECT_EQ(std::system(("srec_cmp " + ours + " -Intel " + reference + " -Intel").c_str()), 0);
}

TEST(McsFile, ReadsWhatSrecordWritesWithGapsAndLinearAddresses) {
  MessagePort port;
  ScratchFolder folder;
  std::vector<uint8_t> bytes = Pattern(300);
  std::string binary = folder.Write("data.bin", std::string(bytes.begin(), bytes.end()));
  std::string hex = folder.Path("data.hex");
  // The data moved to 0x1FFF0 and a second copy after a gap of 16 bytes.
  std::string command = "srec_cat " + binary + " -Binary -offset 0x1FFF0 " + binary +
                        " -Binary -offset 0x2012C -o " + hex + " -Intel -Output_Block_Size=16";
  ASSERT_EQ(std::system(command.c_str()), 0);

  OpenMcs counted(hex);
  EXPECT_EQ(McsCountBytes(counted.input), 600 + 16);

  OpenMcs walked(hex);
  McsIterator iterator;
  iterator.input = &walked.input;
  uint32_t address = 0;
  for (size_t i = 0; i < 300; ++i) {
    ASSERT_EQ(McsNextByte(iterator, &address), bytes[i]);
    EXPECT_EQ(address, 0x1FFF0u + i);
  }
  uint16_t word = 0;
  ASSERT_TRUE(McsNextWord(iterator, word, address));
  EXPECT_EQ(address, 0x2012Cu);
  EXPECT_EQ(word, bytes[0] | (bytes[1] << 8));
  int words = 1;
  while (words < 1000 && McsNextWord(iterator, word, address)) ++words;
  EXPECT_EQ(words, 150);  // the data's 600 bytes, and then no word
  // srecord's checksums hold, the address's high byte included: no other message.
  EXPECT_EQ(Masked(port.text_), "Gap in byte addr [2011C]->[2012C]\n");
}

TEST(McsFile, BadChecksumWarnsAndKeepsTheRecordBadRecordsStop) {
  MessagePort port;
  ScratchFolder folder;
  OpenMcs file(folder.Write("bad.mcs", ":0200000012340000\n:00000001FF\n"));
  McsRecord record;
  ASSERT_EQ(McsReadFile(file.input, record), 1);
  EXPECT_EQ(record.data, (std::vector<uint8_t>{0x12, 0x34}));

  OpenMcs notMcs(folder.Write("text.mcs", "hello\n"));
  EXPECT_THROW(McsReadFile(notMcs.input, record), EngineStop);
  OpenMcs shortType(folder.Write("type4.mcs", ":0100000400FB\n"));
  EXPECT_THROW(McsReadFile(shortType.input, record), EngineStop);
  // Data before any address record start at 0: a linear address of 0 goes on right after them.
  OpenMcs unaddressed(
      folder.Write("zero.mcs", ":020000001122CB\n:020000040000FA\n:02000200334485\n:00000001FF\n"));
  EXPECT_EQ(McsCountBytes(unaddressed.input), 4);
  EXPECT_EQ(Masked(port.text_),
            "Warning: MCS record checksum [00] != Computed checksum [B8]\n"
            "[SCRATCH/bad.mcs: line 1]:[]\n"
            "Error  : Invalid char [h]; may not be an MCS file\n[SCRATCH/text.mcs: line 1]:[]\n"
            "*** Program stopped at DATE\n\n"
            "Error  : Rec type must have 2 data bytes\n[SCRATCH/type4.mcs: line 1]:[]\n"
            "*** Program stopped at DATE\n\n");
}

TEST(BitText, ConversionsAndTheirRejections) {
  MessagePort port;
  EXPECT_EQ(IscBitsToHex("1Hu0Ldx11"), "1C3");
  EXPECT_EQ(IscBitsGrouped("110100111"), "1 1010 0111");
  EXPECT_EQ(IscBytesToBits({0x01, 0x80}, 16), "1000000000000001");
  EXPECT_EQ(IscNumberToBits(6, 4, true), "0110");
  EXPECT_EQ(IscNumberToBits(6, 4, false), "0110");
  EXPECT_EQ(IscNumberToBits(1, 3, false), "100");
  EXPECT_EQ(IscPinLettersToBits("dLhU"), "0011");
  EXPECT_EQ(IscBitsToNumber("101101"), 45u);
  EXPECT_EQ(IscHexToNumber("fFfe"), 0xFFFEu);
  EXPECT_EQ(McsChecksum("02000004FFFF"), 0xFC);
  EXPECT_THROW(IscBitsToHex("10z"), EngineStop);
  EXPECT_THROW(IscPinLettersToBits("HX"), EngineStop);
  EXPECT_THROW(IscBitsToNumber("12"), EngineStop);
  EXPECT_THROW(McsChecksum("123"), EngineStop);
  EXPECT_THROW(McsChecksum("12G4"), EngineStop);  // the engine's stop, not a library exception
  // A text beyond 64 bits stops instead of losing its high digits.
  EXPECT_EQ(IscHexToNumber("FFFFFFFFFFFFFFFF"), UINT64_MAX);
  EXPECT_THROW(IscHexToNumber("10000000000000000"), EngineStop);
  EXPECT_THROW(IscBitsToNumber("1" + std::string(64, '0')), EngineStop);
  EXPECT_EQ(
      Masked(port.text_),
      Stops({"fData[10z/2]", "pv2b[X]", "bin2long(12)", "Incomplete byte [123]", "hex2ulong(G4)",
             "hex2ulong(10000000000000000)", "bin2long(1" + std::string(64, '0') + ")"}));
}

TEST(BitText, EntityShiftsAndSafeValues) {
  auto chain = boardsim::ParseChainJson(R"({"devices": [{"name": "d", "irLength": 8}]})");
  SimBoardPort port(chain.get());
  BsdlEntity entity;
  port.commandSource_ = 1;
  ASSERT_TRUE(ParseBsdl(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.bsd", entity));
  EXPECT_EQ(IscBoundarySafeText(entity), "X0X0");
  EXPECT_EQ(BsdlRegisterForOpcode(entity, entity.FindOpcode("isc_program")).name, "isc_pdata");
  // Opcodes beyond either end have no register.
  const int count = static_cast<int>(entity.opcodes.size());
  EXPECT_EQ(entity.RegisterLength(-1) + entity.RegisterLength(count), 0);
  EXPECT_THROW(BsdlRegisterForOpcode(entity, -1), EngineStop);
  EXPECT_THROW(BsdlRegisterForOpcode(entity, count), EngineStop);

  TapReset(true);
  chain->EnableTrace(true);
  IscShiftBypassInstruction(entity);
  ASSERT_EQ(chain->Trace().size(), 4u + 8 + 2);
  for (size_t i = 4; i < 12; ++i) EXPECT_TRUE(chain->Trace()[i].tdi);
  chain->ClearTrace();
  IscClockCycle(1, 0);
  ASSERT_EQ(chain->Trace().size(), 1u);
  EXPECT_TRUE(chain->Trace()[0].tms);
  // An opcode without a register, the first one too, is named in the error.
  entity.opcodes[0].dataRegister = -1;
  EXPECT_THROW(BsdlRegisterForOpcode(entity, 0), EngineStop);
  EXPECT_EQ(Masked(port.text_),
            Stops({"No data register for opcode [?]", "No data register for opcode [?]",
                   "No data register for opcode [bypass]"}));
  IscEngineFreeGlobals();
}

}  // namespace
