// The types of the system's and the digitizer's own node maps as the board serves them, and
// controls of types outside every map.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/boardsim/notserved.h"
#include "tests/platform/boardsim/boardclient.h"

namespace {

using boardtest::StatusText;
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

// The whole status of a control or inquire that the board refuses, or serves.
const std::string kNoControl = "4307.1.0/1,0,78";
const std::string kNoInquire = "4310.1.0/1,0,78";
const std::string kServed = "0.0.0/0,0,0";

struct NodeMapTypesTest : boardtest::BoardTest {
  zor::kernel::DigChannelRecord record = client.AllocDigitizer(0);
};

// Every type of the system's and the digitizer's map: an inquiry is served unless the layers above
// answer it; a control of a read-only type is refused, of a writable one served unless theirs.
TEST_F(NodeMapTypesTest, EveryTypeOfEachMapIsServedAndNoOtherControlIs) {
  const auto sysInquire = [&](uint64_t type) {
    ErrorTriple status{};
    client.SysRequest(type, &status);
    return StatusText(status);
  };
  const auto digInquire = [&](uint64_t type) {
    ErrorTriple status{};
    client.DigInquire(record, type, &status);
    return StatusText(status);
  };
  const auto sysControl = [&](uint64_t type) { return StatusText(client.SysControl(type, 5)); };
  const auto digControl = [&](uint64_t type) {
    return StatusText(client.DigControl(record, type, 5));
  };
  const struct {
    const char* name;
    const std::vector<uint64_t>& readOnly;
    const std::vector<uint64_t>& writable;
    std::function<std::string(uint64_t)> inquire, control;
    bool (*inquireNotServed)(uint64_t);
    bool (*controlNotServed)(uint64_t);
  } maps[] = {{"system", kSystemReadOnly, kSystemWritable, sysInquire, sysControl,
               boardsim::SysInquireNotServed, boardsim::SysControlNotServed},
              {"digitizer", kDigitizerReadOnly, kDigitizerWritable, digInquire, digControl,
               boardsim::DigInquireNotServed, boardsim::DigControlNotServed}};
  for (const auto& map : maps) {
    for (const auto* types : {&map.readOnly, &map.writable}) {
      for (uint64_t type : *types) {
        EXPECT_EQ(map.inquire(type), map.inquireNotServed(type) ? kNoInquire : kServed)
            << map.name << " " << type;
      }
    }
    for (uint64_t type : map.readOnly) {
      EXPECT_EQ(map.control(type), kNoControl) << map.name << " " << type;
    }
    for (uint64_t type : map.writable) {
      EXPECT_EQ(map.control(type), map.controlNotServed(type) ? kNoControl : kServed)
          << map.name << " " << type;
    }
  }
  // The user-mode layers answer these system types; the board refuses to be asked.
  for (uint64_t type : kSystemAnsweredAbove) EXPECT_EQ(sysInquire(type), kNoInquire) << type;
  // Types outside every map are refused and keep nothing.
  for (uint64_t type : {999999ull, 5555ull}) {
    EXPECT_EQ(sysControl(type) + sysInquire(type) + digControl(type) +
                  digControl(type | zor::kernel::kForceBoardBit) + digInquire(type),
              kNoControl + kNoInquire + kNoControl + kNoControl + kNoInquire)
        << type;
  }
  // The board's own controls beyond the maps: the event-hook switches, the bridge update and the
  // digitizer's byte control.
  ErrorTriple status{};
  EXPECT_EQ(client.SysControl(2244, static_cast<uint64_t>(-9997)).errorSet, 0);
  EXPECT_EQ(client.SysRequest(2244, &status), static_cast<uint64_t>(-9997));
  EXPECT_EQ(StatusText(status) + " " + StatusText(client.SysControl(2340, 0x20000)),
            kServed + " " + kServed);
  EXPECT_EQ(client.DigControl(record, 4019, 77).errorSet, 0);
  EXPECT_EQ(client.DigInquire(record, 4019, &status), 77u);
  EXPECT_EQ(StatusText(status), kServed);
}

// What the layers above answer (or refuse) themselves, so the board must not: each listed type
// and range, their neighbours outside them, and the masked and length forms.
struct NotServedRow {
  const char* name;
  bool (*check)(uint64_t);
  std::vector<uint64_t> listed;
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  std::vector<uint64_t> yes;
  std::vector<uint64_t> no;
};

constexpr uint64_t kLength = 0x50000000000;
constexpr uint64_t kHigh40 = 0x400000;
constexpr uint64_t kHigh5F = 0x5F0000;
// The GenICam layer's own types, which every layer above answers.
std::vector<uint64_t> WithGenICam(std::vector<uint64_t> types) {
  types.insert(types.end(), {4390, 4402, 4813, 6905, 6906, 6951, 7311, 7707, 7709, 7712});
  return types;
}

const NotServedRow kNotServedRows[] = {
    {"system inquiry",
     boardsim::SysInquireNotServed,
     WithGenICam({1009, 1012, 6705, 1079, 1103, 1804, 2004, 2006, 2008, 2009, 2029, 2044, 2045,
                  2050, 2077, 2093, 2104, 2113, 2114, 2130, 2131, 2132, 2138, 2159, 2301, 2316,
                  2329, 2331, 2378, 4362, 4397, 4508, 4517, 4518, 4548, 6950, 7703, 7708}),
     {{4701, 4725}, {7730, 7858}, {4364, 4500}, {7400, 7499}},
     {0xA0000000,     0xA8000000,     0xA4000000,    0xE0000000, 0xC0000000,     0x80000000,
      0x40000000,     0x10080000,     0x84500,       0x8453F,    0x83500,        0x8353F,
      0x85500,        0x8553F,        0x89500,       0x8953F,    4701 | 0x20000, 7707 + kLength,
      7712 + kLength, 7703 + kLength, 7708 + kLength},
     {0x10080001, 0x844FF, 0x84540, 0x81500, 2000, 1009 | 0x10000, 7709 + kLength, 7702 + kLength,
      7704 + kLength, 7706 + kLength, 7713 + kLength, 7703 + 0x10000000000}},
    {"system control",
     boardsim::SysControlNotServed,
     WithGenICam({1049, 1051, 1804, 2077, 2093, 2100, 2101, 2301, 7708, 1105, 1106, 2005}),
     {{4701, 4725}, {7730, 7858}},
     {0xA0000000, 0xC0000000, 0x10080000, 0x81500, 0x8153F, 0x8953F, 4725 | 0x10000, 1106 | 0x10000,
      2005 | 0xFF0000, 7798 | 0x20000},
     {0x80000000, 0x40000000, 0x814FF, 0x81540, 2340, 2244, 1049 | 0x10000}},
    {"digitizer control",
     boardsim::DigControlNotServed,
     WithGenICam({1049, 2034, 2038, 2046, 2071, 4133, 4330, 4331, 4372, 4375, 4376,
                  4801, 5351, 5364, 6908, 6924, 6928, 6929, 6930, 6931, 6935, 6973}),
     {{7730, 7858}},
     {},
     {4000, 4019, 2034 | 0x10000}},
    {"digitizer inquiry",
     boardsim::DigInquireNotServed,
     WithGenICam({17,   1005, 1006, 1007, 1008, 1009, 1012, 1014, 1079, 1080, 1081, 1102, 1536,
                  1537, 2034, 2038, 2046, 2071, 4000, 4001, 4016, 4017, 4018, 4021, 4022, 4023,
                  4024, 4025, 4053, 4068, 4069, 4070, 4133, 4142, 4226, 4227, 4330, 4331, 4364,
                  4372, 4374, 4375, 4376, 4385, 4427, 4801, 5334, 5335, 5337, 5351, 5364, 5455,
                  6601, 6602, 6604, 6605, 6606, 6607, 6648, 6649, 6705, 6706, 6750, 6751, 6805,
                  6908, 6922, 6924, 6925, 6926, 6927, 6929, 6930, 6973, 7701, 7861, 8096, 12192}),
     {{7730, 7858},
      {4062, 4065},
      {4453, 4458},
      {4465, 4467},
      {5456, 5535},
      {5900, 5999},
      {6937, 6941},
      {7862, 7877}},
     {7701 + kLength, 7709 + kLength, 7712 + kLength, 7861 + kLength, 7862 + kLength,
      7877 + kLength, kHigh40 | 1005, kHigh5F | 6706, kHigh40 | 1008, kHigh40 | 1536,
      kHigh40 | 1537, kHigh40 | 6766, 0xA400110C, 0xA800110C, 0x20000000600, 0x20000000601},
     {7700 + kLength, 7702 + kLength, 7711 + kLength, 7713 + kLength, 7860 + kLength,
      7878 + kLength, 0x3F0000 | 1005, 0x600000 | 1005, kHigh40 | 1006, kHigh40 | 6767, 4019,
      4074}},
    {"system control served",
     boardsim::SystemControlServed,
     {},
     {},
     {1810, 2340, 2244, 2372, 0x8B000, 2077, 2100, 7708},
     {2000, 1809, 0x8B001}},
    {"digitizer control served",
     boardsim::DigitizerControlServed,
     {},
     {},
     {4019, 4074, 9100},
     {1005, 4020}},
};

TEST(NotServedTest, EveryListedTypeAndRangeIsRefusedAndTheirNeighboursAreNot) {
  for (const NotServedRow& row : kNotServedRows) {
    const auto covered = [&](uint64_t type) {
      return std::ranges::count(row.listed, type) != 0 ||
             std::ranges::any_of(row.ranges, [&](auto range) {
               return type >= range.first && type <= range.second;
             });
    };
    std::vector<uint64_t> yes = row.yes;
    std::vector<uint64_t> no = row.no;
    for (uint64_t type : row.listed) yes.push_back(type);
    for (const auto& [first, last] : row.ranges) yes.insert(yes.end(), {first, last});
    for (uint64_t type : std::vector<uint64_t>(yes.begin() + row.yes.size(), yes.end())) {
      for (uint64_t next : {type - 1, type + 1}) {
        if (!covered(next)) no.push_back(next);
      }
    }
    for (uint64_t type : yes) EXPECT_TRUE(row.check(type)) << row.name << " " << type;
    for (uint64_t type : no) EXPECT_FALSE(row.check(type)) << row.name << " " << type;
  }
}

}  // namespace
