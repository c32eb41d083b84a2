#include "driver/firmware/staplplayer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "driver/firmware/boardjtagport.h"
#include "driver/firmware/staplporthost.h"
#include "platform/boardsim/jtag/simjtagchain.h"

using namespace zor::firmware;

namespace {

struct PlayerResult {
  int result;
  uint8_t count;
  uint32_t value;
  bool operator==(const PlayerResult&) const = default;
};

PlayerResult Play(std::string script, uint8_t device, const char* action = "READ_IDCODE") {
  StaplPlayerRequest request{device, script.data(), static_cast<int32_t>(script.size()), action};
  PlayerResult r{RunStaplPlayer(&request), 0, 0};
  r.count = static_cast<uint8_t>(script[0]);
  std::memcpy(&r.value, script.data() + 1, 4);
  return r;
}

std::string Script(const std::string& body) {
  return "ACTION READ_IDCODE = P;\nPROCEDURE P;\n" + body + "\nENDPROC;\n";
}

TEST(StaplPlayer, CapturesTheCountAndTheRequestedIdcode) {
  CBoardJtagPort port(nullptr);
  const std::string body =
      "PRINT \"Nombre device: \", 9;"
      "PRINT \"Numero du device: \", 9, \" Id code: \", 7;"
      "PRINT \"Numero du device: \", 1, \" Id code: \", 123;";
  EXPECT_EQ(Play(Script(body), 9), (PlayerResult{0, 9, 123}));
  EXPECT_EQ(Play(Script(body), 1), (PlayerResult{0, 9, 7}));  // 9 - 1 + 1 = device 9
  EXPECT_EQ(
      Play(Script("PRINT \"Nombre device: \", 2; PRINT \"Numero du device: 1 Id code: \", -5;"), 2),
      (PlayerResult{0, 2, static_cast<uint32_t>(-5)}));
  // Numbers with a 0 among their digits.
  EXPECT_EQ(Play(Script("PRINT \"Nombre device: \", 10; PRINT \"Numero du device: 10 Id code: \", "
                        "30;"),
                 1),
            (PlayerResult{0, 10, 30}));
}

// Failures, without a port first; results are written even then, and never past a short script.
TEST(StaplPlayer, FailuresGiveOne) {
  EXPECT_EQ(CurrentJtagPort(), nullptr);
  EXPECT_EQ(Play(Script("PRINT 1;"), 1).result, 1);
  CBoardJtagPort port(nullptr);
  EXPECT_EQ(Play(Script("PRINT \"Nombre device: \", 0; EXIT 6;"), 1).result, 1);
  EXPECT_EQ(Play(Script("PRINT 1 / 0;"), 1).result, 1);
  EXPECT_EQ(Play(Script("PRINT 1;"), 1, "OTHER").result, 1);
  std::string tiny = "AB";
  StaplPlayerRequest request{1, tiny.data(), 2, "READ_IDCODE"};
  EXPECT_EQ(RunStaplPlayer(&request), 1);
  EXPECT_EQ(tiny, std::string("\0\0", 2));
}

// What the player prints for each exit code it knows, and for a code outside them.
TEST(StaplPlayer, ExitCodesAreNamed) {
  std::string texts;
  for (int32_t code = -1; code <= 8; ++code) texts += StaplExitText(code) + std::string("|");
  EXPECT_EQ(texts,
            "Unknown exit code|Success|Illegal initialization values|Unrecognized device|"
            "Device revision is not supported|Device programming failure|Device is not blank|"
            "Device verify failure|SRAM configuration failure|Unknown exit code|");
}

// Runs share the port: a second run while one is in progress is refused.
TEST(StaplPlayer, OneRunAtATime) {
  CBoardJtagPort port(nullptr);
  std::atomic<bool> started{false};
  std::thread first([&] {
    started = true;
    EXPECT_EQ(Play(Script("WAIT 600000 USEC;"), 1).result, 0);
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Play(Script("PRINT 1;"), 1).result, 1);
  first.join();
  EXPECT_EQ(Play(Script("PRINT 1;"), 1).result, 0);
}

// The discovery of a two-device chain through the board port and the player.
TEST(StaplPlayer, CountsDevicesOnTheSimulatedChain) {
  boardsim::CSimJtagChain chain;
  for (uint32_t id : {0x0F8031CFu, 0x12345679u}) {
    boardsim::SimJtagDeviceConfig config;
    config.irLength = 5;
    config.idcode = id;
    chain.AddDevice(std::make_unique<boardsim::CSimJtagDevice>(config));
  }
  CBoardJtagPort port(&chain);
  const std::string body =
      "BOOLEAN CAP[40]; BOOLEAN ID[64]; INTEGER N = 0; INTEGER I;"
      "IRSCAN 10, $3FF; DRSCAN 40, $0000000001, CAPTURE CAP[39..0];"
      "FOR I = 0 TO 39; IF N == I && !CAP[I] THEN N = N + 1; NEXT I;"
      "PRINT \"Nombre device: \", N;"
      "STATE RESET; DRSCAN 64, ID[63..0], CAPTURE ID[63..0];"
      "PRINT \"Numero du device: 1 Id code: \", INT(ID[31..0]);"
      "PRINT \"Numero du device: 2 Id code: \", INT(ID[63..32]);";
  EXPECT_EQ(Play(Script(body), 2), (PlayerResult{0, 2, 0x12345679}));
  EXPECT_EQ(Play(Script(body), 1), (PlayerResult{0, 2, 0x0F8031CF}));
}

class CQuietHost : public CStaplPortHost {
 public:
  using CStaplPortHost::CStaplPortHost;
  void StaplMessage(const char*) override {}
  void StaplExport(const char*, int64_t) override {}
  void StaplExportBits(const char*, const uint32_t*, int64_t) override {}
};

TEST(StaplPortHost, ReadsTheProgram) {
  CBoardJtagPort port(nullptr);
  const char text[] = {'A', '\xFF'};
  CQuietHost host(text, 2, port);
  // 0xFF is data, not the end; seeks beyond the text fail.
  const std::vector<int> got = {host.StaplGetChar(), host.StaplGetChar(), host.StaplGetChar(),
                                host.StaplGetChar(), host.StaplSeek(2),   host.StaplSeek(-1),
                                host.StaplSeek(1),   host.StaplGetChar()};
  EXPECT_EQ(got, (std::vector<int>{'A', 0xFF, -1, -1, -1, -1, 0, 0xFF}));
}

TEST(StaplPortHost, DelaysAreMinimumTimes) {
  CBoardJtagPort port(nullptr);
  CQuietHost host("", 0, port);
  for (int64_t us : {999, 1500}) {
    const auto start = std::chrono::steady_clock::now();
    host.StaplDelay(us);
    const double waited =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, us * 0.99) << us;
  }
}

TEST(StaplPortHost, VectorSignals) {
  CBoardJtagPort port(nullptr);
  CQuietHost host("", 0, port);
  const char* names[] = {"tdo", "NSTATUS", "TCK", "TCK", "BOGUS"};
  // "TCK" twice: the framed row "**TCK**" does not match, so the second finds no free row.
  EXPECT_EQ(host.StaplVectorMap(5, names), 3);
  const char* framed[] = {"**TCK**", "TDO", "nstatus"};
  EXPECT_EQ(host.StaplVectorMap(3, framed), 3);
  const int64_t direction[] = {0b001};  // signal 0 out, 1 and 2 in
  const int64_t data[] = {0b110};
  int64_t capture[] = {0};
  // The signals clocked and the capture word, which starts as given.
  const auto io = [&](int32_t count, const int64_t* directions, int64_t before) {
    capture[0] = before;
    const int32_t clocked = host.StaplVectorIo(count, directions, data, capture);
    return std::pair(clocked, capture[0]);
  };
  EXPECT_EQ(io(3, direction, 0b001), std::pair(3, int64_t{0b111}));
  const int64_t allOut[] = {0b111};
  EXPECT_EQ(io(3, allOut, 0), std::pair(3, int64_t{0}));
  // Two rows of different pins: one driven, the other read back.
  const char* config[] = {"CONF_DONE", "NSTATUS"};
  EXPECT_EQ(host.StaplVectorMap(2, config), 2);
  EXPECT_EQ(io(2, direction, 0), std::pair(2, int64_t{0b010}));
  const int64_t secondOut[] = {0b010};  // the first signal read back: its data bit is 0
  EXPECT_EQ(io(2, secondOut, 0b011), std::pair(2, int64_t{0b010}));
  EXPECT_EQ(host.StaplSetFrequency(1000000), 0);
  // Signals in the second and third words, each word's data apart; one mapped at the count itself
  // is outside the vector.
  std::vector<const char*> wide(66, "X");
  wide[31] = "TDI", wide[32] = "TDO", wide[63] = "TMS", wide[64] = "TCK", wide[65] = "NSTATUS";
  EXPECT_EQ(host.StaplVectorMap(66, wide.data()), 5);
  const int64_t high = int64_t{1} << 31, wideDirection[] = {0, 0, 1}, wideData[] = {high, 1, 0};
  int64_t wideCapture[] = {0, high, 0b10};  // the bit of the signal at the count stays
  EXPECT_EQ(host.StaplVectorIo(65, wideDirection, wideData, wideCapture), 4);
  EXPECT_EQ(std::vector<int64_t>(wideCapture, wideCapture + 3),
            (std::vector<int64_t>{high, 1, 0b10}));
  const int64_t cleared[] = {high, 0, 0};  // signal 32 read back as 0
  EXPECT_EQ(host.StaplVectorIo(65, wideDirection, cleared, wideCapture), 4);
  EXPECT_EQ(std::vector<int64_t>(wideCapture, wideCapture + 3),
            (std::vector<int64_t>{high, 0, 0b10}));
  // Each name's pin, by pairs: a pin read back while another is driven, unless both are one.
  const std::pair<const char*, int> pins[] = {
      {"**TCK**", 0}, {"**TMS**", 1},   {"**TDI**", 6}, {"**TDO**", 7}, {"TCK", 0},
      {"TMS", 1},     {"TDI", 6},       {"TDO", 7},     {"DCLK", 0},    {"NCONFIG", 1},
      {"DATA", 6},    {"CONF_DONE", 7}, {"NSTATUS", 4}};
  for (const auto& [driven, drivenPin] : pins) {
    for (const auto& [read, readPin] : pins) {
      const char* pair[] = {driven, read};
      if (driven == read) continue;
      EXPECT_EQ(host.StaplVectorMap(2, pair), 2);
      EXPECT_EQ(io(2, direction, 0), std::pair(2, int64_t{drivenPin == readPin ? 0 : 0b010}))
          << driven << " " << read;
    }
  }
}

// One TCK cycle: pins with TCK low, TDO read, then TCK high.
TEST(StaplPortHost, JtagIoClocksOnce) {
  boardsim::CSimJtagChain chain;
  chain.SetTdoStuck(true);
  chain.EnableTrace(true);
  CBoardJtagPort port(&chain);
  CQuietHost host("", 0, port);
  EXPECT_EQ(host.StaplJtagIo(1, 0, 1), 1);
  EXPECT_EQ(host.StaplJtagIo(0, 1, 0), 0);
  EXPECT_EQ(chain.Trace(),
            (std::vector<boardsim::JtagTraceEntry>{{true, false, true}, {false, true, true}}));
}

}  // namespace
