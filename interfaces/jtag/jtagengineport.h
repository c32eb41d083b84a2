#pragma once

#include <cstdint>
#include <string>

namespace zor::jtag {

// What the IEEE 1532 engine asks of the JTAG port it programs through: the pins, the delays
// between them, the command text it runs, and where its messages, progress and verdict go.
class IJtagEnginePort {
 public:
  virtual ~IJtagEnginePort() = default;

  // The pin word of jtagpins.h.
  virtual void WritePins(uint32_t pins) = 0;
  // Reads the pins into the low four bits of *pins, keeping the bits above them.
  virtual uint32_t* ReadPins(uint32_t* pins) = 0;
  virtual void WaitMicroseconds(double us) = 0;
  virtual void WaitMilliseconds(double ms) = 0;

  // One device a line, ended by the first empty line.
  virtual std::string CommandText() = 0;
  // 0: the engine reads its command text from CommandText(), 1: from a file.
  virtual uint8_t CommandSource() = 0;
  virtual void SetCommandSource(uint8_t source) = 0;
  // 0 after a passed action, 1 after a failed one.
  virtual void SetFailureWord(uint32_t word) = 0;
  // The folder that relative BSDL file names are taken from.
  virtual std::string BsdlFolder() = 0;

  virtual void Message(const char* text) = 0;
  // Called after each action and instruction.
  virtual void ProgressTick() = 0;
};

}  // namespace zor::jtag
