#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

#include "driver/foundation/zorstringascii.h"

namespace zor::firmware {

// Pin word of the JTAG port: the low four bits carry the pins.
enum JtagPin : uint32_t {
  kJtagPinTdo = 1u << 0,
  kJtagPinTms = 1u << 1,
  kJtagPinTck = 1u << 2,
  kJtagPinTdi = 1u << 3,
};

// The programmer both JTAG engines drive. It carries the engine's command lines and results;
// derived ports move the pins.
class CJtagProgrammer {
 public:
  static constexpr int kLineCount = 100;
  // Receives the new position of the progress bar.
  using ProgressWindow = std::function<void(uint32_t position)>;

  CJtagProgrammer() = default;
  CJtagProgrammer(const CJtagProgrammer&) = delete;
  CJtagProgrammer& operator=(const CJtagProgrammer&) = delete;
  virtual ~CJtagProgrammer();

  virtual void WritePins(uint32_t pins) = 0;
  virtual uint32_t* ReadPins(uint32_t* pins) = 0;
  // Message lines of the IEEE 1532 engine.
  virtual void Message(const char* text);

  // Called by the IEEE 1532 engine after each action and instruction.
  void ProgressTick();

  FILE* descriptionFile_ = nullptr;
  FILE* iscFile_ = nullptr;
  // Engine command text, one device a line, ended by the first empty line.
  foundation::CZORStringAscii lines_[kLineCount];
  foundation::CZORStringAscii firmwareFolder_;
  foundation::CZORStringAscii bsdlFolder_;
  foundation::CZORStringAscii actionName_;
  // 0: the engine reads its command text from lines_, 1: from a file.
  uint8_t commandSource_ = 0;
  // Set by the engine: 0 after a passed action, 1 after a failed one.
  uint32_t failure_ = 0;
  ProgressWindow progressWindow_;
  uint32_t progressCounter_ = 0;
};

// The port of the board being programmed; null when none exists.
CJtagProgrammer* CurrentJtagPort();
void SetCurrentJtagPort(CJtagProgrammer* port);

}  // namespace zor::firmware
