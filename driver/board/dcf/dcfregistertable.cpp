// The DCF key table, built at compile time, and the look-up of a key and its INFO_ value.
#include "driver/board/dcf/dcfregistertable.h"

#include <array>
#include <cstring>
#include <cwchar>

namespace zor::board {

namespace {

constexpr const wchar_t* kInfoNames[kDcfInfoRowCount] = {
    L"INFO_REGISTER_REV",
    L"INFO_XSIZE",
    L"INFO_YSIZE",
    L"INFO_TYPE",
    L"INFO_CAM",
    L"INFO_GRABPATH",
    L"INFO_PIXCLK",
    L"INFO_CLOCKDELAY",
    L"INFO_USRCLK",
    L"INFO_SIGNALTYPE",
    L"INFO_INPUTSOURCE",
    L"INFO_CHANNEL",
    L"INFO_SYNCGRABCHAN",
    L"INFO_GAIN",
    L"INFO_OFFSET",
    L"INFO_CLMODE",
    L"INFO_TIMEMULTICH",
    L"INFO_XTAPSPERCH",
    L"INFO_YTAPSPERCH",
    L"INFO_XTAPSPERCHADJ",
    L"INFO_YTAPSPERCHADJ",
    L"INFO_TAPSDIR",
    L"INFO_TAPSDIRH",
    L"INFO_TAPSORDER",
    L"INFO_TAPSORDERH",
    L"INFO_BYTESORDER",
    L"INFO_BYTESORDERH",
    L"INFO_T0CLKSRC",
    L"INFO_T0USRCLK",
    L"INFO_T1CLKSRC",
    L"INFO_T1USRCLK",
    L"INFO_T2CLKSRC",
    L"INFO_T2USRCLK",
    L"INFO_T3CLKSRC",
    L"INFO_T3USRCLK",
    L"INFO_DEPTH",
    L"INFO_BAND",
    L"INFO_INPUT",
    L"INFO_FORMAT",
    L"INFO_Q_CHANNEL",
    L"INFO_Q_CHANNEL_SYNC",
    L"INFO_Q_GRAB_INPUT_GAIN",
    L"INFO_Q_INPUT_FILTER",
    L"INFO_Q_GRAB_TRIGGER_ENABLE",
    L"INFO_Q_GRAB_TRIGGER_MODE",
    L"INFO_Q_GRAB_TRIGGER_FORMAT",
    L"INFO_Q_GRAB_TRIGGER_SOURCE",
#define ZOR_DCF_EXPOSURE(n)                                                                      \
  L"INFO_Q_GRAB_EXPOSURE_" #n "_MODE", L"INFO_Q_GRAB_EXPOSURE_" #n "_TRIGGER_MODE",              \
      L"INFO_Q_GRAB_EXPOSURE_" #n "_TRIGGER_FORMAT", L"INFO_Q_GRAB_EXPOSURE_" #n "_TIME_DELAY1", \
      L"INFO_Q_GRAB_EXPOSURE_" #n "_TIME_DELAY2", L"INFO_Q_GRAB_EXPOSURE_" #n "_TIME1",          \
      L"INFO_Q_GRAB_EXPOSURE_" #n "_TIME2", L"INFO_Q_GRAB_EXPOSURE_" #n "_TRIGGER_SOURCE"
    ZOR_DCF_EXPOSURE(0),
    ZOR_DCF_EXPOSURE(1),
    ZOR_DCF_EXPOSURE(2),
    ZOR_DCF_EXPOSURE(3),
#undef ZOR_DCF_EXPOSURE
    L"INFO_BAYER",
    L"INFO_BURSTSIZE",
    L"INFO_SSPCLKSEL",
    L"INFO_SSHREFSEL",
};

struct DecoderRegister {
  const wchar_t* name;
  uint8_t subAddress;
};

constexpr DecoderRegister kDecoderRegisters[] = {
    {L"ADV7180_INPUTCTL", 0x00},       {L"ADV7180_VIDEOSEL", 0x01},
    {L"ADV7180_OUTPUTCTL", 0x03},      {L"ADV7180_EXTOUTCTL", 0x04},
    {L"ADV7180_AUTODETECT", 0x07},     {L"ADV7180_CONTCTL", 0x08},
    {L"ADV7180_BRIGHTCTL", 0x0A},      {L"ADV7180_HUECTL", 0x0B},
    {L"ADV7180_DEFVALY", 0x0C},        {L"ADV7180_DEFVALC", 0x0D},
    {L"ADV7180_ADICTL", 0x0E},         {L"ADV7180_POWERMAN", 0x0F},
    {L"ADV7180_STATUSREG", 0x10},      {L"ADV7180_INFOREG", 0x11},
    {L"ADV7180_STATUSREG2", 0x12},     {L"ADV7180_STATUSREG3", 0x13},
    {L"ADV7180_ANACLCTL", 0x14},       {L"ADV7180_DIGCLCTL1", 0x15},
    {L"ADV7180_SHAPFILCTL", 0x17},     {L"ADV7180_SHAPFILCTL2", 0x18},
    {L"ADV7180_COMBFILCTL", 0x19},     {L"ADV7180_ADICTL2", 0x1D},
    {L"ADV7180_PIXDELAYCTL", 0x27},    {L"ADV7180_MISCGAINCTL", 0x2B},
    {L"ADV7180_AGCMODECTL", 0x2C},     {L"ADV7180_CHROGAINCTL1", 0x2D},
    {L"ADV7180_CHROGAINCTL2", 0x2E},   {L"ADV7180_LUMAGAINCTL1", 0x2F},
    {L"ADV7180_LUMAGAINCTL2", 0x30},   {L"ADV7180_VSYNCFIELDCTL1", 0x31},
    {L"ADV7180_VSYNCFIELDCTL2", 0x32}, {L"ADV7180_VSYNCFIELDCTL3", 0x33},
    {L"ADV7180_HSYNCPOSCTL1", 0x34},   {L"ADV7180_HSYNCPOSCTL2", 0x35},
    {L"ADV7180_HSYNCPOSCTL3", 0x36},   {L"ADV7180_POLARITYCTL", 0x37},
    {L"ADV7180_NTSCCOMBCTL", 0x38},    {L"ADV7180_PALCOMBCTL", 0x39},
    {L"ADV7180_ADCCTL", 0x3A},         {L"ADV7180_MANWINDOWCTL", 0x3D},
    {L"ADV7180_RESAMPLECTL", 0x41},    {L"ADV7180_GEMCTL1", 0x48},
    {L"ADV7180_GEMCTL2", 0x49},        {L"ADV7180_GEMCTL3", 0x4A},
    {L"ADV7180_GEMCTL4", 0x4B},        {L"ADV7180_GEMCTL5", 0x4C},
    {L"ADV7180_CTIDNRCTL1", 0x4D},     {L"ADV7180_CTIDNRCTL2", 0x4E},
    {L"ADV7180_CTIDNRCTL4", 0x50},     {L"ADV7180_LOCKCOUNT", 0x51},
    {L"ADV7180_VSFIELDCTL", 0x58},     {L"ADV7180_GPOCTL", 0x59},
    {L"ADV7180_FRLL", 0x8F},           {L"ADV7180_CCAPI1", 0x99},
    {L"ADV7180_CCAPI2", 0x9A},         {L"ADV7180_LETTERBOX1", 0x9B},
    {L"ADV7180_LETTERBOX2", 0x9C},     {L"ADV7180_LETTERBOX3", 0x9D},
    {L"ADV7180_CRCEN", 0xB2},          {L"ADV7180_ADCSW1", 0xC3},
    {L"ADV7180_ADCSW2", 0xC4},         {L"ADV7180_LTRBOXCTL1", 0xDC},
    {L"ADV7180_LTRBOXCTL2", 0xDD},     {L"ADV7180_STNOISERB1", 0xDE},
    {L"ADV7180_STNOISERB2", 0xDF},     {L"ADV7180_SDOFFSETCB", 0xE1},
    {L"ADV7180_SDOFFSETCR", 0xE2},     {L"ADV7180_SDSATURATIONCB", 0xE3},
    {L"ADV7180_SDSATURATIONCR", 0xE4}, {L"ADV7180_NTSCVBEG", 0xE5},
    {L"ADV7180_NTSCVEND", 0xE6},       {L"ADV7180_NTSCVTOG", 0xE7},
    {L"ADV7180_PALVBEG", 0xE8},        {L"ADV7180_PALVEND", 0xE9},
    {L"ADV7180_PALVTOG", 0xEA},        {L"ADV7180_VBLANKCTL1", 0xEB},
    {L"ADV7180_VBLANKCTL2", 0xEC},     {L"ADV7180_AFECTL", 0xF3},
    {L"ADV7180_DRSTR", 0xF4},          {L"ADV7180_IFCCTL", 0xF8},
    {L"ADV7180_VSMODECTL", 0xF9},      {L"ADV7180_PEAKCTL", 0xFB},
    {L"ADV7180_CORINGTHRES", 0xFC},
};
static_assert(std::size(kDecoderRegisters) == kDcfRowCount - kDcfInfoRowCount - 1);

// INFO_ rows 0 to 15 sit at 4 x index; the rest one word further on, so that
// offset 64 belongs to no key.
constexpr uint64_t InfoPosition(size_t row) { return 4 * (row < 16 ? row : row + 1); }

constexpr std::array<DcfRegisterRow, kDcfRowCount> BuildTable() {
  std::array<DcfRegisterRow, kDcfRowCount> rows{};
  for (size_t i = 0; i < kDcfInfoRowCount; ++i) {
    rows[i] = {kInfoNames[i], kDcfKind32, InfoPosition(i)};
  }
  for (size_t i = 0; i < std::size(kDecoderRegisters); ++i) {
    rows[kDcfInfoRowCount + i] = {kDecoderRegisters[i].name, kDcfKind8,
                                  kernel::kDcfAdv7180Offset + kDecoderRegisters[i].subAddress};
  }
  rows[kDcfRowCount - 1] = {L"LAST_REGISTER", kDcfKindEnd, 0};
  return rows;
}

constexpr std::array<DcfRegisterRow, kDcfRowCount> kDcfRegisters = BuildTable();
static_assert(kDcfRegisters[1].position == kDcfInfoXSize &&
              kDcfRegisters[2].position == kDcfInfoYSize);
static_assert(kDcfRegisters[82].position == 332);

}  // namespace

std::span<const DcfRegisterRow> DcfRegisterTable() { return kDcfRegisters; }

const DcfRegisterRow* FindDcfRow(const wchar_t* name) {
  for (const DcfRegisterRow& row : kDcfRegisters) {
    if (row.kind == kDcfKindEnd) break;
    if (wcscmp(row.name, name) == 0) return &row;
  }
  return nullptr;
}

uint32_t ReadDcfInfo(const uint8_t* block, size_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, block + offset, sizeof(value));
  return value;
}

}  // namespace zor::board
