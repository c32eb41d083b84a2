// The types of the system's and the digitizer's own node maps as the board serves them, and
// controls of types outside every map.
#include <gtest/gtest.h>

#include <vector>

#include "platform/boardsim/notserved.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

using zor::kernel::ErrorTriple;

// The maps' types by access, as the node maps' XML has them.
const std::vector<uint64_t> kSystemReadOnly = {
    1009, 1804, 2000, 2004, 2006, 2008, 2009, 2014, 2034, 2044, 2045, 2050, 2093, 2104, 2114, 2130,
    2132, 2134, 2155, 2159, 2301, 2316, 2329, 2331, 2345, 2378, 2447, 4362, 4364, 4369, 4375, 4376,
    4379, 4380, 4394, 4395, 4398, 4450, 4451, 4452, 4517, 4518, 4548, 6705, 7702, 7703};
const std::vector<uint64_t> kSystemWritable = {2077, 2100, 7708};
// Those that the user-mode layers answer: the board refuses to be asked.
const std::vector<uint64_t> kSystemAnsweredAbove = {
    1009, 1804, 2004, 2006, 2008, 2009, 2044, 2045, 2050, 2077, 2093, 2104, 2114, 2130,
    2132, 2159, 2301, 2316, 2329, 2331, 2378, 4362, 4364, 4369, 4375, 4376, 4379, 4380,
    4394, 4395, 4398, 4450, 4451, 4452, 4517, 4518, 4548, 6705, 7703, 7708};
const std::vector<uint64_t> kDigitizerReadOnly = {
    1005, 1006, 1007, 1009, 1014, 1080, 1536, 1537, 4001, 4021, 4142, 5334, 5335,
    5337, 6604, 6605, 6606, 6607, 6705, 6926, 6927, 7701, 9102, 9103, 9108, 12192};
const std::vector<uint64_t> kDigitizerWritable = {
    1018, 2034, 2038, 2046, 2071, 4000, 4016, 4018, 4022, 4023, 4024, 4025, 4053,
    4074, 4127, 4200, 4209, 4230, 4231, 4325, 4330, 4331, 4372, 4775, 5351, 5364,
    6601, 6602, 6643, 6656, 6657, 6658, 6924, 9100, 9101, 9105, 9106, 9107};

bool RefusedControl(const ErrorTriple& status) {
  return status.statusByte == zor::kernel::kStatusNotServed && status.code == 4307 &&
         status.subCode == 1;
}

bool RefusedInquire(const ErrorTriple& status) {
  return status.statusByte == zor::kernel::kStatusNotServed && status.code == 4310 &&
         status.subCode == 1;
}

struct NodeMapTypesTest : testing::Test {
  NodeMapTypesTest() {
    client.AllocSystem();
    record = client.AllocDigitizer(0);
  }
  boardsim::Board board{boardsim::BoardConfig{}};
  boardtest::BoardClient client{board};
  zor::kernel::DigChannelRecord record{};
};

TEST_F(NodeMapTypesTest, EveryTypeOfTheSystemMapIsServedAndReadOnlyOnesRefuseControls) {
  ErrorTriple status{};
  for (const auto* types : {&kSystemReadOnly, &kSystemWritable}) {
    for (uint64_t type : *types) {
      // The user-mode layers answer some of them; the board answers the others.
      client.SysRequest(type, &status);
      EXPECT_EQ(RefusedInquire(status), boardsim::SysInquireNotServed(type)) << type;
      EXPECT_TRUE(boardsim::SysInquireNotServed(type) || status.errorSet == 0) << type;
    }
  }
  for (uint64_t type : kSystemAnsweredAbove) {
    client.SysRequest(type, &status);
    EXPECT_TRUE(RefusedInquire(status)) << type;
  }
  for (uint64_t type : kSystemReadOnly) EXPECT_TRUE(RefusedControl(client.SysControl(type, 5)));
  for (uint64_t type : kSystemWritable) {
    EXPECT_EQ(RefusedControl(client.SysControl(type, 5)), boardsim::SysControlNotServed(type));
  }
}

TEST_F(NodeMapTypesTest, EveryTypeOfTheDigitizerMapIsServedAndReadOnlyOnesRefuseControls) {
  ErrorTriple status{};
  for (const auto* types : {&kDigitizerReadOnly, &kDigitizerWritable}) {
    for (uint64_t type : *types) {
      client.DigInquire(record, type, &status);
      EXPECT_EQ(RefusedInquire(status), boardsim::DigInquireNotServed(type)) << type;
      EXPECT_TRUE(boardsim::DigInquireNotServed(type) || status.errorSet == 0) << type;
    }
  }
  for (uint64_t type : kDigitizerReadOnly) {
    EXPECT_TRUE(RefusedControl(client.DigControl(record, type, 5))) << type;
  }
  for (uint64_t type : kDigitizerWritable) {
    status = client.DigControl(record, type, 5);
    EXPECT_EQ(RefusedControl(status), boardsim::DigControlNotServed(type)) << type;
    EXPECT_TRUE(boardsim::DigControlNotServed(type) || status.errorSet == 0) << type;
  }
  // A writable type keeps its value.
  EXPECT_EQ(client.DigControl(record, 4074, 21).errorSet, 0);
  EXPECT_EQ(client.DigInquire(record, 4074), 21u);
}

TEST_F(NodeMapTypesTest, ControlsOfTypesOutsideEveryMapAreRefusedAndKeepNothing) {
  ErrorTriple status{};
  for (uint64_t type : {999999ull, 5555ull}) {
    EXPECT_TRUE(RefusedControl(client.SysControl(type, 7))) << type;
    client.SysRequest(type, &status);
    EXPECT_TRUE(RefusedInquire(status)) << type;
    EXPECT_TRUE(RefusedControl(client.DigControl(record, type, 7))) << type;
    EXPECT_TRUE(RefusedControl(client.DigControl(record, type | zor::kernel::kForceBoardBit, 7)));
    client.DigInquire(record, type, &status);
    EXPECT_TRUE(RefusedInquire(status)) << type;
  }

  // The board's own controls beyond the maps: the event-hook switches, the bridge update and the
  // digitizer's byte control.
  EXPECT_EQ(client.SysControl(2244, static_cast<uint64_t>(-9997)).errorSet, 0);
  EXPECT_EQ(client.SysRequest(2244, &status), static_cast<uint64_t>(-9997));
  EXPECT_EQ(status.errorSet, 0);
  EXPECT_EQ(client.SysControl(2340, 0x20000).errorSet, 0);
  EXPECT_EQ(client.DigControl(record, 4019, 77).errorSet, 0);
  EXPECT_EQ(client.DigInquire(record, 4019, &status), 77u);
  EXPECT_EQ(status.errorSet, 0);
}

}  // namespace
