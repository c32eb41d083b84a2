#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include "driver/firmware/stapl/staplresult.h"
#include "tests/driver/firmware/stapl/stapltesthost.h"
#include "tests/support/testdata/testdata.h"

using namespace zor::firmware;

namespace {

std::string ReadProgram() { return zortest::ReadTestData("stapl/sf2_m2s010_mss_sys.stp"); }

// A chain holding one device of the program's IDCODE (or of another one).
StaplRun RunAction(const std::string& program, const char* action, uint32_t idcode = 0x0F8031CF) {
  StaplBench bench;
  boardsim::SimJtagDeviceConfig config;
  config.irLength = 8;
  config.idcode = idcode;
  config.idcodeOpcode = 0x0F;
  config.boundaryLength = 714;
  bench.chain.AddDevice(std::make_unique<boardsim::CSimJtagDevice>(config));
  return bench.Run(program, action);
}

// CRC-16/X-25 of every byte before the CRC statement, as the program's last statement states.
TEST(StaplRealProgram, TrailingCrcMatches) {
  const std::string program = ReadProgram();
  const size_t at = program.rfind("CRC ");
  ASSERT_NE(at, std::string::npos);
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < at; ++i) {
    crc ^= static_cast<uint8_t>(program[i]);
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  EXPECT_EQ(program.substr(at, 9), "CRC 5314;");
  EXPECT_EQ(crc ^ 0xFFFF, 0x5314);
}

// The simulated device answers none of the device's own registers, so most actions end with
// the program's own exit code; each must still run to its end without an interpreter error.
TEST(StaplRealProgram, RunsEveryAction) {
  const std::string program = ReadProgram();
  ASSERT_GT(program.size(), 900000u);
  StaplRun idcode = RunAction(program, "READ_IDCODE");
  EXPECT_EQ(std::tuple(idcode.rc, idcode.exitCode), std::tuple(kStaplSuccess, 0));
  EXPECT_EQ(idcode.bitExports.at(0),
            (std::pair<std::string, std::string>{"IDCODE", "00001111100000000011000111001111"}));
  // DEVICE_INFO and ENC_DATA_AUTHENTICATION poll a million times for an answer the simulated
  // device never gives; they run in the benchmark instead.
  for (const char* action : {"ERASE", "PROGRAM", "VERIFY", "VERIFY_DIGEST"}) {
    StaplRun run = RunAction(program, action);
    EXPECT_EQ(run.rc, kStaplSuccess) << action << " line " << run.errorLine;
    EXPECT_EQ(run.messages.at(1), "Failed to enter programming mode.") << action;
  }
  // A device of another IDCODE is an unrecognized device.
  StaplRun other = RunAction(program, "PROGRAM", 0x0F8051CF);
  EXPECT_EQ(std::tuple(other.rc, other.exitCode, other.messages.at(0), other.bitExports.at(0)),
            std::tuple(kStaplSuccess, 2, "Failed to verify IDCODE",
                       std::pair<std::string, std::string>{"ERROR_CODE", "1000000000000100"}));
}

// Every data block, the 4,633,600-bit compressed bit stream included, through one more action.
TEST(StaplRealProgram, DecodesEveryDataBlock) {
  std::string program = ReadProgram();
  program.insert(program.find("ACTION ERASE"), "ACTION ALL_DATA = READ_ALL_DATA;\n");
  program.insert(program.rfind("CRC "),
                 "PROCEDURE READ_ALL_DATA USES PARAMETERS, GV, CONSTBLOCK, BITSTREAM, SHA256;\n"
                 "    PRINT INT(DATASTREAM[31..0]), \" \", INT(DATASTREAM[4633599..4633568]), "
                 "\" \", INT(IDCODEVALUE[]);\n"
                 "ENDPROC;\n");
  StaplRun run = RunAction(program, "ALL_DATA");
  ASSERT_EQ(run.rc, kStaplSuccess) << run.errorLine;
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_NE(run.messages[0].substr(0, 2), "0 ");
  EXPECT_EQ(run.messages[0].substr(run.messages[0].rfind(' ') + 1), std::to_string(0x0F8031CF));
}

}  // namespace
