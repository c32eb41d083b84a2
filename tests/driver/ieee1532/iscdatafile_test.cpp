// ISC data files: header checks, data arrays, overrides and both CRCs.
#include "driver/ieee1532/isc/iscdatafile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>

#include "driver/ieee1532/bsdl/bsdlparser.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "tests/driver/ieee1532/testsupport.h"

using namespace zor::isc;

namespace {

std::string ExampleIsc() { return ReadText(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.isc"); }

std::string Body(const std::string& header, const std::string& arrays) {
  return "IEEE_1532_Data\n(Header (STD_Version STD_1532_2001\n  " + header +
         "\n  Creator \"tests\"\n  Entity zorflash\n )\n" + arrays + "\n)";
}

uint16_t Crc(const std::string& text) {
  ScratchFolder folder;
  uint16_t crc = 0;
  EXPECT_TRUE(IscFileTransmissionCrc(folder.Write("f", text), crc));
  return crc;
}

struct Read {
  Read(const std::string& text, BsdlEntity* entity = nullptr) {
    path = folder.Write("data.isc", text);
    InputFileInit(data.input, path);
    try {
      ok = IscDataReadFile(data, kIscDataReadHeader, entity, "", lookup) == 1;
    } catch (const EngineStop&) {
      ok = false;
    }
  }
  ScratchFolder folder;
  std::string path;
  IscDataFile data;
  IscDataLookup lookup;
  bool ok = false;
};

class IscDataFileTest : public testing::Test {
 protected:
  void SetUp() override { IscEngineInitGlobals(); }
  MessagePort port_;
};

TEST_F(IscDataFileTest, TransmissionCrcIsX25OverAllButLineEnds) {
  EXPECT_EQ(Crc("123456789"), 0x906E);
  EXPECT_EQ(Crc("12345\r\n6789\n"), 0x906E);
  // The output is read back to append its CRC: a FIFO in its place must not hold the engine.
  ScratchFolder folder;
  ASSERT_EQ(mkfifo(folder.Path("fifo").c_str(), 0600), 0);
  uint16_t crc = 0;
  EXPECT_FALSE(IscFileTransmissionCrc(folder.Path("fifo"), crc));
}

TEST_F(IscDataFileTest, ExampleFileReadsWithItsCrcAndArrays) {
  Read read(ExampleIsc());
  ASSERT_TRUE(read.ok) << port_.text_;
  EXPECT_EQ(read.data.version, "std_1532_2001");
  EXPECT_EQ(read.data.creationDate, "20261207.0900");
  EXPECT_EQ(read.data.creator, "zorisc example");
  EXPECT_EQ(read.data.entities, std::vector<std::string>{"zorflash"});
  ASSERT_EQ(read.data.arrays.size(), 1u);
  EXPECT_EQ(read.data.arrays[0].sections[kBsdlRepeat].size(), 64u);
  EXPECT_TRUE(read.data.transmissionCrcPresent);
  EXPECT_TRUE(read.data.transmissionCrcOk);

  IscDataFindSection(read.data, "array", kBsdlRepeat, read.lookup);
  EXPECT_EQ(read.lookup.array, &read.data.arrays[0]);
  EXPECT_THROW(IscDataFindSection(read.data, "array", kBsdlTerminate, read.lookup), EngineStop);
  ExpectRun(port_.text_, "isc-example.txt");
}

TEST_F(IscDataFileTest, TransmissionCrcIsOptionalAndMayBeTooLong) {
  std::string body = Body("Creation_Date 20261207.0900", "DATA a (initialize (12))");
  Read plain(body);
  ASSERT_TRUE(plain.ok);
  EXPECT_FALSE(plain.data.transmissionCrcPresent);

  char crc[8];
  snprintf(crc, sizeof(crc), "0%04X", static_cast<unsigned>(Crc(body)));
  Read fiveDigits(body + "\n" + crc + "\n");
  ASSERT_TRUE(fiveDigits.ok);
  EXPECT_TRUE(fiveDigits.data.transmissionCrcOk);

  Read wrong(body + "\n1234\n");
  EXPECT_TRUE(wrong.ok);
  EXPECT_FALSE(wrong.data.transmissionCrcOk);
  ExpectRun(port_.text_, "isc-transmission-crc.txt");
}

TEST_F(IscDataFileTest, DataCrcMismatchIsReportedAndTheDataKept) {
  Read wrong(
      Body("Creation_Date 20261207.0900", "DATA a (repeat (12AB, 0F,\n 3) data_crc (00000000))"));
  ASSERT_TRUE(wrong.ok);
  EXPECT_EQ(wrong.data.dataCrcMismatches, 1);
  EXPECT_EQ(wrong.data.arrays[0].sections[kBsdlRepeat],
            (std::vector<std::string>{"12AB", "0F", "3"}));
  const std::string computed = "0d548f0c";
  Read right(Body("Creation_Date 20261207.0900",
                  "DATA a (repeat (12AB, 0F,\n 3) data_crc (" + computed + "))"));
  EXPECT_EQ(right.data.dataCrcMismatches, 0);
  ExpectRun(port_.text_, "isc-data-crc.txt");
}

// Dates are checked, each part at both ends of its range, but do not stop the read; errors of
// the structure do. Each case's messages, whole, are in the file.
TEST_F(IscDataFileTest, HeaderAndStructureChecks) {
  const std::string date = "Creation_Date 20261207.0900", one = "DATA a (repeat (1))";
  const std::array<std::string, 3> cases[] = {// header, arrays, outcome
                                              {"Creation_Date 20260231.2359", one, "read"},
                                              {"Creation_Date 20260101.0000", one, "read"},
                                              {"Creation_Date 20261307.0900", one, "read"},
                                              {"Creation_Date 20260007.0900", one, "read"},
                                              {"Creation_Date 20261200.0900", one, "read"},
                                              {"Creation_Date 20261232.0900", one, "read"},
                                              {"Creation_Date 20261207.2400", one, "read"},
                                              {"Creation_Date 20261207.0960", one, "read"},
                                              {"Creation_Date 2026127.0900", one, "read"},
                                              {"Creation_Date 20261207-0900", one, "read"},
                                              {"Creation_Date 2026120x.0900", one, "stop"},
                                              {date, one + ", DATA a (repeat (2))", "stop"},
                                              {date, "DATA a (repeat (1G))", "stop"},
                                              {date, one + " DATA b (repeat (2))", "stop"},
                                              {date, one + ", UNPROCESSED b (repeat (2))", "stop"},
                                              {date, one + ", DATA (repeat (2))", "stop"}};
  std::string transcripts;
  for (const auto& [header, arrays, outcome] : cases) {
    port_.text_.clear();
    EXPECT_EQ(Read(Body(header, arrays)).ok ? "read" : "stop", outcome) << arrays;
    transcripts += "===== " + header + " " + arrays + "\n" + port_.text_;
  }
  ExpectRun(transcripts, "isc-header-checks.txt");
}

TEST_F(IscDataFileTest, OverridesChangeOptionalProceduresOnly) {
  BsdlEntity entity;
  ASSERT_TRUE(ParseBsdl(std::string(ZOR_EXAMPLES_DIR) + "/zorflash.bsd", entity));
  // The same override again changes nothing; another setting for it warns and is dropped.
  std::string overrides =
      "override proc_verify(idcode) program OFF,\n"
      "override proc_enable program OFF,\n"
      "override proc_enable program OFF,\n"
      "override proc_verify(idcode) program ON,\n"
      "override proc_erase erase OPTIONAL,\n"
      "override proc_blank_check erase RECOMMENDED\n";
  Read read(Body("Creation_Date 20261207.0900", overrides + "DATA a (repeat (1))"), &entity);
  ASSERT_TRUE(read.ok) << port_.text_;
  const BsdlAction& program = entity.actions[static_cast<size_t>(entity.FindAction("program", ""))];
  EXPECT_EQ(program.procedures[0].overrideSetting, kBsdlOff);
  EXPECT_EQ(program.procedures[1].overrideSetting, 0);
  std::vector<int> settings;
  for (const IscOverride& entry : read.data.overrides) settings.push_back(entry.setting);
  EXPECT_EQ(settings, (std::vector<int>{2, 2, 3, 4}));
  EXPECT_EQ(Masked(port_.text_),
            "--> Reading ISC data file [SCRATCH/data.isc]\n"
            "Action [program] Proc [proc_enable] in [zorflash] is mandatory\n"
            "Action [program] Proc [proc_verify(idcode)] override setting already defined\n"
            "Action [erase] Proc [proc_erase] in [zorflash] is mandatory\n"
            "Action [erase] Proc [proc_blank_check] in [zorflash] is mandatory\n");
}

TEST_F(IscDataFileTest, CutFilesStopCleanly) {
  std::string text = ExampleIsc();
  for (size_t length = 0; length + 8 < text.size(); length += 23) {
    Read read(text.substr(0, length));
    EXPECT_FALSE(read.ok) << length;
  }
}

}  // namespace
