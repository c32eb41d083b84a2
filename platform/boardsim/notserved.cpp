#include "platform/boardsim/notserved.h"

#include <algorithm>
#include <initializer_list>
#include <span>

#include "platform/boardsim/nodemaptypes.h"

namespace boardsim {

namespace {

constexpr uint64_t kLengthFlag = 0x50000000000;
constexpr uint64_t kLengthBits = 0xF0000000000;

bool OneOf(uint64_t type, std::initializer_list<uint64_t> types) {
  return std::find(types.begin(), types.end(), type) != types.end();
}

bool In(uint64_t type, uint64_t first, uint64_t last) { return type >= first && type <= last; }

bool SerialType(uint64_t type) { return In(type & ~0xFF0000ull, 4701, 4725); }

// The GenICam layer's own types, whole (no bits masked).
bool GenICamType(uint64_t type) {
  return OneOf(type, {4390, 4402, 4813, 6905, 6906, 6951, 7311, 7707, 7709, 7712,
                      7707 + kLengthFlag, 7712 + kLengthFlag}) ||
         In(type, 7730, 7858);
}

// Types that the device layer answers with -1 without asking anyone.
bool RefusedClass(uint64_t type, bool control) {
  const uint64_t masked = type & 0xEE000000;
  if (OneOf(masked, {0xA0000000, 0xA8000000, 0xA4000000, 0xE0000000, 0xC0000000})) return true;
  if (!control && OneOf(masked, {0x80000000, 0x40000000})) return true;
  if (In(type, 0xA0080000, 0xA008000F) || type == 0x10080000) return true;
  for (uint64_t block : {0x84500ull, 0x83500ull, 0x85500ull, 0x89500ull}) {
    if (In(type, block, block + 63)) return true;
  }
  return control && In(type, 0x81500, 0x81500 + 63);
}

}  // namespace

bool SysInquireNotServed(uint64_t type) {
  if (SerialType(type) || RefusedClass(type, false) || GenICamType(type)) return true;
  const uint64_t bare = type & ~kLengthBits;
  if ((type & kLengthBits) == kLengthFlag) return OneOf(bare, {7703, 7707, 7708, 7712});
  return OneOf(type, {1009, 1012, 6705, 1079, 1103, 1804, 2004, 2006, 2008, 2009, 2029,
                      2044, 2045, 2050, 2077, 2093, 2104, 2113, 2114, 2130, 2131, 2132,
                      2138, 2159, 2301, 2316, 2329, 2331, 2378, 4362, 4390, 4397, 4402,
                      4508, 4517, 4518, 4548, 4813, 6950, 6951, 7311, 7703, 7707, 7708}) ||
         In(type, 4364, 4500) || In(type, 7400, 7499);
}

bool SysControlNotServed(uint64_t type) {
  if (SerialType(type) || RefusedClass(type, true) || GenICamType(type)) return true;
  const uint64_t bare = type & ~0xFF0000ull;
  return OneOf(type, {1049, 1051, 1804, 2077, 2093, 2100, 2101, 2301, 7708}) ||
         OneOf(bare, {1105, 1106, 2005, 4813, 6905, 7798});
}

bool DigControlNotServed(uint64_t type) {
  return GenICamType(type) ||
         OneOf(type, {1049, 2034, 2038, 2046, 2071, 4133, 4330, 4331, 4372, 4375, 4376, 4801, 5351,
                      5364, 6905, 6908, 6924, 6928, 6929, 6930, 6931, 6935, 6973, 7709, 7712});
}

bool DigInquireNotServed(uint64_t type) {
  if (GenICamType(type)) return true;
  // Length forms of the text answers of the device and the GenICam layer.
  if ((type & kLengthBits) == kLengthFlag) {
    const uint64_t bare = type & ~kLengthBits;
    return OneOf(bare, {7701, 7709, 7712, 7861}) || In(bare, 7862, 7877);
  }
  const uint64_t high = type >> 16;
  if (In(high, 0x40, 0x5F) && OneOf(type & 0xFFFF, {1005, 1008, 1536, 1537, 6766, 6706}))
    return true;
  return OneOf(type,
               {17,         1005,          1006,         1007, 1008, 1009, 1012, 1014,  1079,
                1080,       1081,          1102,         1536, 1537, 2034, 2038, 2046,  2071,
                4000,       4001,          4016,         4017, 4018, 4021, 4022, 4023,  4024,
                4025,       4053,          4068,         4069, 4070, 4133, 4142, 4226,  4227,
                4330,       4331,          4364,         4372, 4374, 4375, 4376, 4385,  4427,
                4801,       5334,          5335,         5337, 5351, 5364, 5455, 6601,  6602,
                6604,       6605,          6606,         6607, 6648, 6649, 6705, 6706,  6750,
                6751,       6805,          6908,         6922, 6924, 6925, 6926, 6927,  6929,
                6930,       6973,          7701,         7709, 7712, 7861, 8096, 12192, 0xA400110C,
                0xA800110C, 0x20000000600, 0x20000000601}) ||
         In(type, 4062, 4065) || In(type, 4453, 4458) || In(type, 4465, 4467) ||
         In(type, 5456, 5535) || In(type, 5900, 5999) || In(type, 6937, 6941) ||
         In(type, 7862, 7877);
}

namespace {

// Controls the board takes besides the maps' writable types: the halt, the bridge update and the
// switches of the system's event hooks; a digitizer's byte control that the device layer passes on.
constexpr uint64_t kOwnSystemControls[] = {1810, 2340, 2244, 2372, 0x8B000};
constexpr uint64_t kOwnDigitizerTypes[] = {4019};

const NodeMapType* Find(std::span<const NodeMapType> map, uint64_t type) {
  const auto it = std::ranges::lower_bound(map, type, {}, &NodeMapType::type);
  return it != map.end() && it->type == type ? &*it : nullptr;
}

bool Writable(std::span<const NodeMapType> map, uint64_t type) {
  const NodeMapType* found = Find(map, type);
  return found != nullptr && !found->readOnly;
}

}  // namespace

bool SystemType(uint64_t type) { return Find(kQsysControlTypes, type) != nullptr; }

bool SystemControlServed(uint64_t type) {
  return Writable(kQsysControlTypes, type) || std::ranges::count(kOwnSystemControls, type) != 0;
}

bool DigitizerType(uint64_t type) {
  return Find(kQdigControlTypes, type) != nullptr ||
         std::ranges::count(kOwnDigitizerTypes, type) != 0;
}

bool DigitizerControlServed(uint64_t type) {
  return Writable(kQdigControlTypes, type) || std::ranges::count(kOwnDigitizerTypes, type) != 0;
}

}  // namespace boardsim
