#include "driver/firmware/boardjtagport.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "driver/ieee1532/host/iscport.h"
#include "tests/driver/firmware/support/firmwarefolder.h"

using namespace zor::firmware;

namespace {

class CFakeRegister : public zor::jtag::IJtagRegisterAccess {
 public:
  explicit CFakeRegister(uint32_t value) : value(value) {}
  uint32_t ReadRegister() override {
    ++reads;
    return value;
  }
  void WriteRegister(uint32_t v) override {
    value = v;
    writes.push_back(v);
  }
  uint32_t value;
  int reads = 0;
  std::vector<uint32_t> writes;
};

TEST(BoardJtagPort, EnablesThePinsForItsLifetime) {
  CFakeRegister reg(0x00C0FFEE);
  {
    CBoardJtagPort port(&reg);
    EXPECT_EQ(CurrentJtagPort(), &port);
    EXPECT_EQ(reg.value, 0x00C0FFEEu | zor::jtag::kRegisterEnable);
  }
  EXPECT_EQ(reg.value, 0x00C0FFEEu);
  // A port that is gone is no longer the current one, for the player nor for the engine.
  EXPECT_EQ(CurrentJtagPort(), nullptr);
  zor::isc::IscPortWritePins(zor::jtag::kPinTck);
  EXPECT_EQ(zor::isc::IscPortCommandSource(), 1);
  EXPECT_EQ(reg.value, 0x00C0FFEEu);
}

TEST(BoardJtagPort, PinWordMapsToBits24To28) {
  CFakeRegister reg(0x12);
  CBoardJtagPort port(&reg);
  port.WritePins(15);
  port.WritePins(0);
  port.WritePins(0xFFFFFFF5);  // only the low four bits count
  // The port's enable, then each write.
  EXPECT_EQ(reg.writes, (std::vector<uint32_t>{0x10000012, 0x1F000012, 0x10000012, 0x15000012}));
  const int reads = reg.reads;
  port.WritePins(2);
  EXPECT_EQ(reg.reads, reads + 1);  // each write is read back once

  reg.value = 0x0B000000;
  uint32_t pins = 0xABCD0004;
  EXPECT_EQ(port.ReadPins(&pins), &pins);
  EXPECT_EQ(pins, 0xABCD000Bu);
}

// A port without a register still works; its folders come from the registry.
TEST(BoardJtagPort, FoldersComeFromTheRegistry) {
  {
    CBoardJtagPort port(nullptr);
    port.WritePins(15);
    uint32_t pins = 0x1234;
    EXPECT_EQ(port.ReadPins(&pins), &pins);
    EXPECT_EQ(pins, 0x1234u);
    EXPECT_STREQ(port.firmwareFolder_.CStr(), "");
    EXPECT_STREQ(port.bsdlFolder_.CStr(), "/bsdl_1532");
  }
  firmwaretest::SetBoardString(L"FirmwarePath", "/opt/dravion/firmware");
  CBoardJtagPort port(nullptr);
  EXPECT_STREQ(port.firmwareFolder_.CStr(), "/opt/dravion/firmware");
  EXPECT_STREQ(port.bsdlFolder_.CStr(), "/opt/dravion/firmware/bsdl_1532");
  EXPECT_EQ(port.commandSource_, 0);
  EXPECT_EQ(port.failure_, 0u);
}

TEST(JtagProgrammer, ProgressMovesEvery5800Steps) {
  CBoardJtagPort port(nullptr);
  std::vector<uint32_t> positions;
  port.progressWindow_ = [&](uint32_t position) { positions.push_back(position); };
  for (int i = 0; i < 5800 * 2 + 1; ++i) port.ProgressTick();
  EXPECT_EQ(positions, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(port.progressCounter_, 5800u * 2 + 1);
}

// Ports (and their timers) come and go on one thread while another waits on the shared timer
// and looks at the current port; a thread sanitizer build checks this for races.
TEST(BoardJtagPort, PortsBuiltWhileAnotherThreadWaits) {
  std::thread builder([] {
    for (int i = 0; i < 20; ++i) CBoardJtagPort port(nullptr);
  });
  for (int i = 0; i < 20; ++i) {
    ProcessBusyWaitTimer().WaitMicroseconds(10);
    (void)CurrentJtagPort();
  }
  builder.join();
  EXPECT_EQ(CurrentJtagPort(), nullptr);
  EXPECT_GT(CBusyWaitTimer::TicksPerSecond(), 0);
}

}  // namespace
