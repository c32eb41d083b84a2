// The engine reaches its port through the JTAG contract alone: a port that is nothing but the
// contract drives the pin layer, and a port that is released is never called again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/ieee1532/flow/iscflow.h"
#include "driver/ieee1532/host/iscport.h"
#include "driver/ieee1532/tap/iscpins.h"
#include "interfaces/jtag/jtagengineport.h"
#include "interfaces/jtag/jtagpins.h"

using namespace zor::isc;
namespace jtag = zor::jtag;

namespace {

class ContractPort : public jtag::IJtagEnginePort {
 public:
  void WritePins(uint32_t pins) override { writes.push_back(pins); }
  uint32_t* ReadPins(uint32_t* pins) override {
    *pins = (*pins & ~jtag::kPinMask) | inputs;
    return pins;
  }
  void WaitMicroseconds(double us) override { microseconds.push_back(us); }
  void WaitMilliseconds(double ms) override { milliseconds.push_back(ms); }
  std::string CommandText() override { return "D1 -i1;\n"; }
  uint8_t CommandSource() override { return source; }
  void SetCommandSource(uint8_t value) override { source = value; }
  void SetFailureWord(uint32_t word) override { failure = word; }
  std::string BsdlFolder() override { return "/bsdl/"; }
  void Message(const char* text) override { messages += text; }
  void ProgressTick() override { ++ticks; }

  std::vector<uint32_t> writes;
  uint32_t inputs = 0;
  std::vector<double> microseconds, milliseconds;
  uint8_t source = 0;
  uint32_t failure = 0;
  std::string messages;
  int ticks = 0;
};

TEST(EnginePort, PinLayerAndEngineStateGoThroughTheContract) {
  ContractPort port;
  SetIscPort(&port);

  TapSetPin(kTapPinTms, 1);
  ASSERT_FALSE(port.writes.empty());
  EXPECT_EQ(port.writes, std::vector<uint32_t>{0x10u | jtag::kPinTms});  // bit 4 marks the engine
  port.inputs = jtag::kPinTdo;
  EXPECT_EQ(TapReadPinWord() & (jtag::kPinTdo | kIscPinEngine), jtag::kPinTdo | kIscPinEngine);

  // Long delays are whole milliseconds, rounded up; short ones stay in microseconds.
  TapWaitMicroseconds(2500);
  TapWaitMicroseconds(20);
  EXPECT_EQ(port.milliseconds, std::vector<double>{3});
  EXPECT_EQ(port.microseconds, std::vector<double>{20});
  // A wait of cycles, then of time with its one cycle first: TCK is left low after each.
  port.writes.clear();
  IscRunWait(BsdlWait{2, 0, 0.5f, 0});
  std::string tck;
  for (uint32_t pins : port.writes) tck += (pins & jtag::kPinTck) ? '1' : '0';
  EXPECT_EQ(tck,
            "01010"
            "010"
            "010");
  EXPECT_EQ(port.milliseconds, (std::vector<double>{3, 500}));

  EXPECT_EQ(IscPortCommandText(), "D1 -i1;\n");
  EXPECT_EQ(IscPortBsdlFolder(), "/bsdl/");
  IscPortSetCommandSource(1);
  EXPECT_EQ(IscPortCommandSource(), 1);
  IscPortSetFailureWord(1);
  EXPECT_EQ(port.failure, 1u);
  IscPortMessage("seen");
  IscPortProgressTick();
  EXPECT_EQ(port.messages, "seen");
  EXPECT_EQ(port.ticks, 1);
  SetIscPort(nullptr);
}

TEST(EnginePort, AReleasedPortIsNeverCalled) {
  ContractPort current, other;
  SetIscPort(&current);
  ReleaseIscPort(&other);  // not the current one: changes nothing
  IscPortMessage("a");
  EXPECT_EQ(current.messages, "a");

  ReleaseIscPort(&current);
  IscPortMessage("b");
  IscPortWritePins(jtag::kPinTck);
  IscPortWaitMicroseconds(5);
  IscPortSetFailureWord(1);
  EXPECT_EQ(current.messages, "a");
  EXPECT_TRUE(current.writes.empty());
  EXPECT_TRUE(current.microseconds.empty());
  EXPECT_EQ(current.failure, 0u);
  // Without a port: pins read back unchanged, commands come from files, no text, no folder.
  EXPECT_EQ(IscPortReadPins(0x35u), 0x35u);
  EXPECT_EQ(IscPortCommandSource(), 1);
  EXPECT_EQ(IscPortCommandText(), "");
  EXPECT_EQ(IscPortBsdlFolder(), "");
}

}  // namespace
