#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/firmware/stapl/staplresult.h"
#include "tests/driver/firmware/stapl/stapltesthost.h"

using namespace zor::firmware;

namespace {

// Counts the devices through their BYPASS registers and reads every IDCODE after a reset.
std::string DiscoveryScript() {
  return "ACTION READ_IDCODE = COUNT_DEVICES, READ_IDS;\n"
         "DATA G;\n INTEGER N = 0;\nENDDATA;\n"
         "PROCEDURE COUNT_DEVICES USES G;\n"
         " BOOLEAN CAP[117];\n INTEGER I;\n BOOLEAN FOUND = 0;\n"
         " STATE RESET;\n"
         " IRSCAN 1020, $" +
         std::string(255, 'F') +
         ";\n"
         " DRSCAN 117, $" +
         std::string(29, '0') +
         "1, CAPTURE CAP[116..0];\n"
         " FOR I = 0 TO 116;\n"
         "  IF !FOUND && !CAP[I] THEN N = N + 1;\n"
         "  IF CAP[I] THEN FOUND = 1;\n"
         " NEXT I;\n"
         " PRINT \"Nombre device: \", N;\n"
         " IF N == 0 || N > 100 THEN EXIT 2;\n"
         "ENDPROC;\n"
         "PROCEDURE READ_IDS USES G;\n"
         " BOOLEAN ID[3200];\n INTEGER OFFSET = 0;\n INTEGER D;\n INTEGER CODE;\n"
         " STATE RESET;\n"
         " DRSCAN 3200, ID[3199..0], CAPTURE ID[3199..0];\n"
         " FOR D = 1 TO N;\n"
         "  CODE = 0;\n"
         "  IF ID[OFFSET] THEN CODE = INT(ID[OFFSET + 31..OFFSET]);\n"
         "  PRINT \"Numero du device: \", D, \" Id code: \", CODE;\n"
         "  OFFSET = OFFSET + 1;\n"
         "  IF CODE != 0 THEN OFFSET = OFFSET + 31;\n"
         " NEXT D;\n"
         "ENDPROC;\n";
}

// The device nearest TDO comes first.
TEST(StaplChain, CountsDevicesAndReadsTheirIdcodes) {
  const uint32_t codes[] = {0x0F8031CF, 0, 0x12345679, 0xFFFFFFFF};
  for (int n = 1; n <= 4; ++n) {
    StaplBench bench;
    std::vector<std::string> expected{"Nombre device: " + std::to_string(n)};
    for (int i = 0; i < n; ++i) {
      bench.chain.AddDevice(MakeDevice(3 + i, codes[i] ? std::optional(codes[i]) : std::nullopt));
      expected.push_back("Numero du device: " + std::to_string(i + 1) +
                         " Id code: " + std::to_string(codes[n - 1 - i]));
    }
    StaplRun run = bench.Run(DiscoveryScript(), "READ_IDCODE");
    EXPECT_EQ(std::tuple(run.rc, run.exitCode, run.messages),
              std::tuple(kStaplSuccess, 0, expected))
        << n << " line " << run.errorLine;
  }
}

// An IDCODE changed after the chain was built, then no chain behind the connector.
TEST(StaplChain, AChangedIdcodeAndNoChain) {
  StaplBench bench;
  bench.chain.AddDevice(MakeDevice(4, 0x0F8031CF));
  bench.chain.Device(0).SetIdcode(0x0F8051CF);
  StaplRun run = bench.Run(DiscoveryScript(), "READ_IDCODE");
  EXPECT_EQ(run.messages,
            (std::vector<std::string>{
                "Nombre device: 1", "Numero du device: 1 Id code: " + std::to_string(0x0F8051CF)}));
  bench.chain.SetTdoStuck(true);
  run = bench.Run(DiscoveryScript(), "READ_IDCODE");
  EXPECT_EQ(std::pair(run.messages, run.exitCode),
            std::pair(std::vector<std::string>{"Nombre device: 0"}, 2));
  bench.chain.SetTdoStuck(false);
  run = bench.Run(DiscoveryScript(), "READ_IDCODE");
  EXPECT_EQ(std::pair(run.messages.at(0), run.exitCode),
            std::pair(std::string("Nombre device: 117"), 2));
}

// Programs four words into the IEEE 1532 device in the middle of a three-device chain and
// verifies them (names are global, so each procedure has its own); the two other devices are held
// in BYPASS by the pre- and postambles.
std::string ProgramScript(const std::string& image, int eraseCycles) {
  return "ACTION PROGRAM = DO_PROGRAM, DO_VERIFY;\n"
         "DATA IMAGE;\n BOOLEAN WORDS[128] = $" +
         image +
         ";\nENDDATA;\n"
         "PROCEDURE DO_PROGRAM USES IMAGE;\n INTEGER A;\n"
         " PREIR 6; POSTIR 4; PREDR 1; POSTDR 1;\n"
         " IRSCAN 8, $10;\n"
         " IRSCAN 8, $12;\n WAIT " +
         std::to_string(eraseCycles) +
         " CYCLES;\n"
         " IRSCAN 8, $13;\n DRSCAN 6, #000000;\n"
         " IRSCAN 8, $14;\n"
         " FOR A = 0 TO 3;\n  DRSCAN 32, WORDS[A * 32 + 31..A * 32];\n NEXT A;\n"
         "ENDPROC;\n"
         "PROCEDURE DO_VERIFY USES IMAGE;\n INTEGER V;\n BOOLEAN OK;\n BOOLEAN ALL = 1;\n"
         " IRSCAN 8, $13;\n DRSCAN 6, #000000;\n"
         " IRSCAN 8, $15;\n"
         " FOR V = 0 TO 3;\n"
         "  DRSCAN 32, WORDS[V * 32 + 31..V * 32], COMPARE WORDS[V * 32 + 31..V * 32], "
         "$FFFFFFFF, OK;\n"
         "  IF !OK THEN ALL = 0;\n"
         " NEXT V;\n"
         " IRSCAN 8, $11;\n"
         " IF !ALL THEN EXIT 11;\n"
         "ENDPROC;\n";
}

struct IscBench : StaplBench {
  IscBench() {
    chain.AddDevice(MakeDevice(4, std::nullopt));
    boardsim::SimJtagDeviceConfig config;
    config.irLength = 8;
    config.idcode = 0x01234567;
    auto device = std::make_unique<boardsim::CSimIscDevice>(config, boardsim::SimIscMemoryConfig{});
    isc = device.get();
    chain.AddDevice(std::move(device));
    chain.AddDevice(MakeDevice(6, 0x0F8031CF));
  }
  boardsim::CSimIscDevice* isc;
};

const std::string kImage =
    "DEADBEEF"
    "0BADF00D"
    "12345678"
    "CAFEF00D";

// Programs and verifies the device, then again with an erase too short for the new data.
TEST(StaplChain, ProgramsAndVerifiesTheProgrammableDevice) {
  IscBench bench;
  StaplRun run = bench.Run(ProgramScript(kImage, 100), "PROGRAM");
  ASSERT_EQ(run.rc, kStaplSuccess) << run.errorLine;
  EXPECT_EQ(run.exitCode, 0);
  // The last digits are the lowest bits: word 0 is the last eight digits.
  std::vector<uint32_t> words;
  for (int i = 0; i < 5; ++i) words.push_back(bench.isc->ReadWord(i));
  EXPECT_EQ(words,
            (std::vector<uint32_t>{0xCAFEF00D, 0x12345678, 0x0BADF00D, 0xDEADBEEF, 0xFFFFFFFF}));
  EXPECT_FALSE(bench.isc->Enabled());
  // Too short an erase leaves the old data: programming can only clear bits.
  const std::string other =
      "FFFFFFFF"
      "FFFFFFFF"
      "FFFFFFFF"
      "FFFFFFFF";
  EXPECT_EQ(bench.Run(ProgramScript(other, 50), "PROGRAM").exitCode, 6);
  EXPECT_EQ(bench.isc->ReadWord(3), 0xDEADBEEFu);
  EXPECT_EQ(bench.Run(ProgramScript(other, 100), "PROGRAM").exitCode, 0);
  EXPECT_EQ(bench.isc->ReadWord(3), 0xFFFFFFFFu);
}

TEST(StaplChain, VerifyFailsOnAStuckBit) {
  IscBench stuck;
  stuck.isc->SetStuckBit(boardsim::SimStuckBit{2, 4, true});
  StaplRun run = stuck.Run(ProgramScript(kImage, 100), "PROGRAM");
  EXPECT_EQ(std::tuple(run.rc, run.exitCode), std::tuple(kStaplSuccess, 6));  // verify failure
}

}  // namespace
