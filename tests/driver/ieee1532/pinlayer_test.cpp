// The pin layer on the simulated chain: TAP walks, shifts with bypass bits and long captures.
#include <gtest/gtest.h>

#include "driver/firmware/boardjtagport.h"
#include "driver/ieee1532/engine/iscengine.h"
#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/tap/isctap.h"
#include "platform/boardsim/jtag/chainfile.h"
#include "tests/driver/ieee1532/enginerun.h"

using namespace zor::isc;

namespace {

class PinLayer : public testing::Test {
 protected:
  void Use(std::unique_ptr<boardsim::CSimJtagChain> chain) {
    IscEngineInitGlobals();
    chain_ = std::move(chain);
    port_ = std::make_unique<SimBoardPort>(chain_.get());
  }
  void TearDown() override { IscEngineFreeGlobals(); }
  std::unique_ptr<boardsim::CSimJtagChain> chain_;
  std::unique_ptr<SimBoardPort> port_;
};

TEST_F(PinLayer, InstructionShiftSendsTheLastCharacterFirst) {
  Use(boardsim::ParseChainJson(R"({"devices": [{"name": "d", "irLength": 2}]})"));
  chain_->EnableTrace(true);
  TapReset(false);
  EXPECT_EQ(chain_->ClockCount(), 5u);  // Test-Logic-Reset takes five, not six
  // A wait clocks its cycles; a timed one adds one clock before it and one of its own.
  IscRunWait(BsdlWait{3, 0, 0, 0});
  EXPECT_EQ(chain_->ClockCount(), 8u);
  IscRunWait(BsdlWait{0, 0, 1e-6f, 0});
  EXPECT_EQ(chain_->ClockCount(), 10u);
  TapReset(true);
  chain_->ClearTrace();
  std::string captured;
  TapShiftString(kTapInstructionRegister, 2, "10", &captured, true, false);
  // TMS and TDI per clock: to Shift-IR, "0" first, "1" last with the exit, update, idle.
  const std::vector<std::pair<bool, bool>> expected = {
      {true, false},  {true, false}, {false, false}, {false, false},
      {false, false}, {true, true},  {true, false},  {false, false}};
  ASSERT_EQ(chain_->Trace().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(chain_->Trace()[i].tms, expected[i].first) << "clock " << i;
    EXPECT_EQ(chain_->Trace()[i].tdi, expected[i].second) << "clock " << i;
  }
  // Capture-IR loads ...01: the 1 leaves first and lands in the last character.
  EXPECT_EQ(captured, "01");
  // An empty shift captures nothing, and is no error.
  TapShiftString(kTapDataRegister, 0, "", &captured, true, false);
  EXPECT_EQ(captured, "");
}

TEST_F(PinLayer, ShiftsThroughTheBypassBitsOfTheOtherDevices) {
  Use(ExampleChain());
  TapBypass() = TapBypassCounts{1, 6, 1, 4};  // fpga nearer TDO, buffer nearer TDI
  TapReset(true);
  TapShiftString(kTapInstructionRegister, 8, "00000001", nullptr, false, false);
  std::string idcode;
  TapShiftString(kTapDataRegister, 32, nullptr, &idcode, true, false);
  EXPECT_EQ(idcode, "00000001001000110100010101100111");  // 0x01234567

  chain_->EnableTrace(true);
  TapShiftString(kTapDataRegister, 3, "111", nullptr, false, false);
  const auto& trace = chain_->Trace();
  ASSERT_EQ(trace.size(), 3u + 1 + 3 + 1 + 2);
  EXPECT_FALSE(trace[6].tms);  // the last data bit stays in Shift-DR: a trailer bit follows
  EXPECT_TRUE(trace[7].tms);   // the trailer bit exits
  // An instruction goes through the other devices' instruction registers: six bits before
  // it and four after, not their data bypass bits.
  chain_->ClearTrace();
  TapShiftString(kTapInstructionRegister, 8, "00000001", nullptr, false, false);
  EXPECT_EQ(chain_->Trace().size(), 4u + 6 + 8 + 4 + 2);
}

TEST_F(PinLayer, LongCapturesComeBackInShiftOrder) {
  Use(boardsim::ParseChainJson(
      R"({"devices": [{"name": "wide", "irLength": 4, "boundaryLength": 70000}]})"));
  std::string pattern(70000, '0');
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = (i * 2654435761u >> 7) & 1 ? '1' : '0';
  TapReset(true);
  TapShiftString(kTapInstructionRegister, 4, "0010", nullptr, false, false);  // SAMPLE
  TapShiftString(kTapDataRegister, 70000, pattern.c_str(), nullptr, false, false);
  std::string captured;
  TapShiftString(kTapDataRegister, 70000, pattern.c_str(), &captured, true, false);
  EXPECT_EQ(captured, pattern);
}

// The register writes of a port, passed on to the chain.
class RecordingRegister : public zor::jtag::IJtagRegisterAccess {
 public:
  explicit RecordingRegister(boardsim::CSimJtagChain& chain) : chain_(chain) {}
  uint32_t ReadRegister() override { return chain_.ReadRegister(); }
  void WriteRegister(uint32_t value) override {
    writes_.push_back(value);
    chain_.WriteRegister(value);
  }
  const std::vector<uint32_t>& Writes() const { return writes_; }

 private:
  boardsim::CSimJtagChain& chain_;
  std::vector<uint32_t> writes_;
};

// TMS and TDI never change in the write that raises TCK, and a long shift takes two writes a
// clock: one for the rising edge, one for the falling edge with the next bit's data. A capture of
// one batch is played in one pass: as many writes as the shift without capture.
TEST_F(PinLayer, DataSettlesBeforeEachRisingEdgeInTwoWritesAClock) {
  Use(boardsim::ParseChainJson(
      R"({"devices": [{"name": "wide", "irLength": 4, "boundaryLength": 65534}]})"));
  RecordingRegister recording(*chain_);
  zor::firmware::CBoardJtagPort port(&recording);
  std::string pattern(65534, '0');
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = (i * 2654435761u >> 9) & 1 ? '1' : '0';
  TapReset(true);
  TapShiftString(kTapInstructionRegister, 4, "0010", nullptr, false, false);  // SAMPLE
  const uint64_t clocksBefore = chain_->ClockCount();
  const size_t writesBefore = recording.Writes().size();
  std::string captured;
  TapShiftString(kTapDataRegister, 65534, pattern.c_str(), nullptr, false, false);
  const size_t shiftWrites = recording.Writes().size() - writesBefore;
  TapShiftString(kTapDataRegister, 65534, pattern.c_str(), &captured, true, false);
  EXPECT_EQ(captured, pattern);
  EXPECT_EQ(recording.Writes().size() - writesBefore, 2 * shiftWrites);

  const uint32_t data = zor::jtag::kRegisterTms | zor::jtag::kRegisterTdi;
  const std::vector<uint32_t>& writes = recording.Writes();
  for (size_t i = writesBefore + 1; i < writes.size(); ++i) {
    const bool rising = (writes[i] & zor::jtag::kRegisterTck) != 0 &&
                        (writes[i - 1] & zor::jtag::kRegisterTck) == 0;
    if (rising) {
      EXPECT_EQ(writes[i] & data, writes[i - 1] & data) << "write " << i;
    }
  }
  const uint64_t clocks = chain_->ClockCount() - clocksBefore;
  EXPECT_LE(writes.size() - writesBefore, 2 * clocks + 8);
}

}  // namespace
