#include "platform/boardsim/jtag/simjtagchain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/boardsim/jtag/chainfile.h"
#include "platform/boardsim/jtag/simiscdevice.h"

namespace {

using boardsim::CSimJtagChain;
using boardsim::TapState;

constexpr uint32_t kEnable = zor::jtag::kRegisterEnable;

// One TCK cycle through the register; returns TDO as read before the rising edge.
bool Clock(CSimJtagChain& chain, bool tms, bool tdi = false) {
  const uint32_t pins =
      kEnable | (tms ? zor::jtag::kRegisterTms : 0) | (tdi ? zor::jtag::kRegisterTdi : 0);
  chain.WriteRegister(pins);
  const bool tdo = (chain.ReadRegister() & zor::jtag::kRegisterTdo) != 0;
  chain.WriteRegister(pins | zor::jtag::kRegisterTck);
  return tdo;
}

// TMS levels, one a clock; blanks only group them for reading.
void Walk(CSimJtagChain& chain, const char* tms) {
  for (; *tms; ++tms) {
    if (*tms != ' ') Clock(chain, *tms == '1');
  }
}

std::unique_ptr<CSimJtagChain> OneDevice(int irLength = 4) {
  return boardsim::ParseChainJson(R"({"devices": [{"irLength": )" + std::to_string(irLength) +
                                  R"(, "idcode": "0x1234567F"}]})");
}

TEST(SimJtagChain, FiveHighClocksResetFromEveryState) {
  // Each path ends in a different one of the 16 states.
  const char* paths[] = {"",       "0",       "01",       "010",    "0100", "01010",
                         "010100", "0101010", "010111",   "011",    "0110", "01100",
                         "011010", "0110100", "01101010", "0110111"};
  for (const char* path : paths) {
    auto chain = OneDevice();
    Walk(*chain, "11111");
    Walk(*chain, path);
    Walk(*chain, "11111");
    EXPECT_EQ(chain->Device(0).State(), TapState::kReset) << path;
  }
}

TEST(SimJtagChain, ShiftsInstructionAndDataRegisters) {
  auto chain = OneDevice(6);
  Walk(*chain, "11111 0 1100");  // Shift-IR
  std::string ir;
  for (int i = 0; i < 6; ++i) ir.push_back(Clock(*chain, i == 5, true) ? '1' : '0');
  EXPECT_EQ(ir, "100000");  // capture ...01, least significant bit first
  Walk(*chain, "10");       // Update-IR: all ones, BYPASS
  EXPECT_EQ(chain->Device(0).Instruction(), 0x3Fu);
  Walk(*chain, "100");  // Shift-DR
  std::string dr;
  for (int tdi : {1, 0, 1, 1}) dr.push_back(Clock(*chain, false, tdi) ? '1' : '0');
  EXPECT_EQ(dr, "0101");  // BYPASS captures 0 and delays by one bit

  // After a reset the IDCODE comes out, bit 0 first.
  Walk(*chain, "11111 0 100");
  uint32_t id = 0;
  for (int i = 0; i < 32; ++i) id |= static_cast<uint32_t>(Clock(*chain, false)) << i;
  EXPECT_EQ(id, 0x1234567Fu);
}

TEST(SimJtagChain, TdoChangesOnTheFallingEdge) {
  auto chain = OneDevice();
  Walk(*chain, "11111 0 100");
  chain->WriteRegister(kEnable);  // falling edge: bit 0 of the IDCODE
  EXPECT_TRUE(chain->ReadRegister() & zor::jtag::kRegisterTdo);
  chain->WriteRegister(kEnable | zor::jtag::kRegisterTck);  // shifts, TDO holds
  EXPECT_TRUE(chain->ReadRegister() & zor::jtag::kRegisterTdo);
  chain->WriteRegister(kEnable);  // bit 1 of 0x...7F
  EXPECT_TRUE(chain->ReadRegister() & zor::jtag::kRegisterTdo);
}

TEST(SimJtagChain, PinsAreIgnoredWhileDisabled) {
  auto chain = OneDevice();
  chain->EnableTrace(true);
  for (int i = 0; i < 5; ++i) {
    chain->WriteRegister(zor::jtag::kRegisterTms);
    chain->WriteRegister(zor::jtag::kRegisterTms | zor::jtag::kRegisterTck);
  }
  EXPECT_EQ(chain->ClockCount(), 0u);
  EXPECT_TRUE(chain->Trace().empty());
  Clock(*chain, true);
  EXPECT_EQ(chain->ClockCount(), 1u);
  EXPECT_EQ(chain->Trace().size(), 1u);
}

TEST(SimJtagChain, ChainFiles) {
  auto chain = boardsim::ParseChainJson(R"({
    "devices": [
      {"name": "fpga", "irLength": 8, "idcode": "0x0F8031CF", "boundaryLength": 714,
       "instructions": {"IDCODE": "0x0F", "SAMPLE": 1, "EXTEST": "0"}},
      {"type": "isc", "irLength": 8, "words": 16, "wordBits": 8, "eraseCycles": 3,
       "stuckBit": {"word": 2, "bit": 1, "value": 1}},
      {"irLength": 3}
    ],
    "tdoStuck": 0
  })");
  ASSERT_EQ(chain->DeviceCount(), 3);
  EXPECT_EQ(chain->Device(0).Config().name, "fpga");
  EXPECT_EQ(chain->Device(0).Config().idcodeOpcode, 0x0Fu);
  EXPECT_EQ(chain->Device(0).Instruction(), 0x0Fu);  // IDCODE after reset
  EXPECT_EQ(chain->Device(2).Instruction(), 0x7u);   // no IDCODE: BYPASS
  auto* isc = dynamic_cast<boardsim::CSimIscDevice*>(&chain->Device(1));
  ASSERT_NE(isc, nullptr);
  EXPECT_EQ(isc->AddressBits(), 4);
  EXPECT_EQ(isc->ReadWord(2), 0xFFu);
  EXPECT_FALSE(chain->ReadRegister() & zor::jtag::kRegisterTdo);

  EXPECT_THROW(boardsim::LoadChainFile("/nonexistent/chain.json"), std::runtime_error);
}

std::string ChainError(const std::string& text) {
  try {
    boardsim::ParseChainJson(text);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "accepted";
}

std::string Devices(int count) {
  std::string list;
  for (int i = 0; i < count; ++i) list += std::string(i == 0 ? "" : ",") + R"({"irLength": 2})";
  return R"({"devices": [)" + list + "]}";
}

// A malformed or hostile chain file is refused with its reason: nesting is parsed without
// recursion, and sizes that would exhaust memory are refused with a reason before anything is
// allocated (under AddressSanitizer an allocation that large aborts instead of throwing).
TEST(SimJtagChain, HostileChainFilesAreRefusedWithAReason) {
  const std::string deep(300000, '[');
  const std::string balanced = deep + std::string(300000, ']');
  const struct {
    std::string text;
    const char* reason;
  } cases[] = {
      {"{", "Missing a name for object member. at offset 1"},
      {R"({"devices": 3})", "expected an object with a \"devices\" array"},
      {R"({"devices": [{"irLength": 1}]})", "instruction register length must lie in 2..31"},
      {R"({"devices": [{"irLength": 4, "idcode": "0x1234"}]})", "an IDCODE must have bit 0 set"},
      {R"({"devices": [{"irLength": 4, "idcode": "twelve"}]})", "is not an unsigned 32-bit number"},
      {R"({"devices": [{"type": "flash"}]})", "unknown device type \"flash\""},
      {R"({"devices": [{"type": "isc", "irLength": 8, "words": 4,
               "stuckBit": {"word": 4, "bit": 0}}]})",
       "stuck bit outside memory"},
      {deep, " at offset 300000"},
      {balanced, "expected an object"},
      {R"({"devices": [)" + balanced + "]}", "a device must be an object"},
      {R"({"x": )" + std::string(300000, '{') + "}", " at offset "},
      {R"({"devices": [{"type": "isc", "irLength": 8, "words": "0x7FFFFFFF"}]})",
       "programmable memory larger than"},
      {R"({"devices": [{"type": "isc", "irLength": 8, "words": 1, "wordBits": 8193}]})",
       "wider than 4096 bits"},
      {R"({"devices": [{"type": "isc", "irLength": 8, "words": 0}]})", "bad programmable memory"},
      {R"({"devices": [{"type": "isc", "irLength": 8, "wordBits": 0}]})",
       "bad programmable memory"},
      {R"({"devices": [{"type": "isc", "irLength": 8, "eraseCycles": 0}]})",
       "bad programmable memory"},
      {R"({"devices": [{"type": "isc", "irLength": 4}]})", "instruction register of 5 bits"},
      {R"({"devices": [{"type": "isc", "irLength": 8, "words": 65536, "wordBits": 257}]})",
       "programmable memory larger than"},
      {R"({"devices": [{"irLength": 4, "boundaryLength": "0x7FFFFFFF"}]})",
       "boundary length must lie in"},
      {R"({"devices": [{"irLength": 4, "boundaryLength": "0xFFFFFFFF"}]})",
       "boundary length must lie in"},
      {Devices(65), "more than 64 devices"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(ChainError(c.text).find(c.reason), std::string::npos)
        << c.text.substr(0, 80) << ": " << ChainError(c.text);
  }
  EXPECT_EQ(ChainError(Devices(64)), "accepted");
  EXPECT_EQ(ChainError(R"({"devices": [{"type": "isc", "irLength": 5, "words": 1, "wordBits": 1,
                                        "eraseCycles": 1}]})"),
            "accepted");
  EXPECT_EQ(ChainError(R"({"devices": [{"type": "isc", "irLength": 8, "words": 65536,
                                        "wordBits": 256}]})"),
            "accepted");
}

TEST(SimJtagChain, OversizedChainFilesAndFifosAreNotRead) {
  const std::filesystem::path file =
      std::filesystem::path(getenv("ZOR_REGISTRY_ROOT")) / "chain.json";
  std::ofstream(file) << R"({"devices": []})" << std::string(1 << 20, ' ');
  try {
    boardsim::LoadChainFile(file);
    ADD_FAILURE() << "accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("larger than 1048576 bytes"), std::string::npos)
        << e.what();
  }
  std::ofstream(file, std::ios::trunc) << R"({"devices": []})" << std::string((1 << 20) - 20, ' ');
  EXPECT_EQ(boardsim::LoadChainFile(file)->DeviceCount(), 0);
  const std::filesystem::path fifo = file.parent_path() / "fifo.json";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(boardsim::LoadChainFile(fifo), std::runtime_error);
}

}  // namespace
