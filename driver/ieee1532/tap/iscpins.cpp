// The engine's pin word: written to and read from the port, pin by pin and TCK pulses.
#include "driver/ieee1532/tap/iscpins.h"

#include "driver/foundation/integerchecks.h"
#include "driver/ieee1532/host/iscport.h"

namespace zor::isc {

namespace {
uint32_t g_pins = kIscPinEngine;
}

uint32_t TapPinWord() { return g_pins; }

void TapWritePinWord(uint32_t word) {
  g_pins = word | kIscPinEngine;
  IscPortWritePins(g_pins);
}

uint32_t TapReadPinWord() {
  g_pins = IscPortReadPins(g_pins);
  return g_pins;
}

int TapSetPin(int pin, int level) {
  uint32_t word = TapReadPinWord();
  uint32_t bit = pin == kTapPinTck   ? jtag::kPinTck
                 : pin == kTapPinTms ? jtag::kPinTms
                 : pin == kTapPinTdi ? jtag::kPinTdi
                                     : 0;
  word = level ? word | bit : word & ~bit;
  TapWritePinWord(word);
  return 0;
}

int TapPulseTck(bool readTdo) {
  TapWritePinWord(g_pins & ~jtag::kPinTck);
  int tdo = 0;
  if (readTdo) tdo = (TapReadPinWord() & jtag::kPinTdo) ? 1 : 0;
  TapWritePinWord(g_pins | jtag::kPinTck);
  return tdo;
}

void TapWaitMicroseconds(double us) {
  TapWritePinWord(g_pins & ~jtag::kPinTck);
  TapWritePinWord(g_pins | jtag::kPinTck);
  TapWritePinWord(g_pins & ~jtag::kPinTck);
  if (us >= 1000) {
    const int64_t whole = foundation::TruncateSaturated(us, 0);
    IscPortWaitMilliseconds(static_cast<double>(whole / 1000 + (whole % 1000 != 0 ? 1 : 0)));
  } else {
    IscPortWaitMicroseconds(us);
  }
}

}  // namespace zor::isc
