// TAP moves and register shifts of the engine, with the bypassed devices around them.
#pragma once

#include <cstdint>
#include <string>

#include "interfaces/jtag/jtagpins.h"

namespace zor::isc {

// Pins of the board JTAG port as the engine drives them, and TAP shifts on top.

constexpr uint32_t kIscPinEngine = 1u << 4;  // set in every word the engine writes

constexpr int kTapPinTck = 0;
constexpr int kTapPinTms = 1;
constexpr int kTapPinTdi = 2;

constexpr int kTapInstructionRegister = 171;
constexpr int kTapDataRegister = 164;

// Bits of the other devices around the one being scanned (sequential mode).
struct TapBypassCounts {
  int64_t drHeader = 0;
  int64_t irHeader = 0;
  int64_t drTrailer = 0;
  int64_t irTrailer = 0;
};
TapBypassCounts& TapBypass();

int TapSetPin(int pin, int level);
int TapPulseTck(bool readTdo);
void TapWaitMicroseconds(double us);
void TapReset(bool toIdle);
void TapShiftBypass(bool trailer, int reg);
// Shifts length bits of tdiText (last character first) through register reg; with readTdo the
// captured bits land in tdoText, first captured bit in its last character.
void TapShiftString(int reg, int64_t length, const char* tdiText, std::string* tdoText,
                    bool readTdo, bool stayInUpdate);

void TapAllocateTransitions();
void TapFreeTransitions();

}  // namespace zor::isc
