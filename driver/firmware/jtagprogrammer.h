// CJtagProgrammer: the JTAG port both engines drive, and the process's current port.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "driver/foundation/zorstringascii.h"
#include "interfaces/jtag/jtagengineport.h"

namespace zor::firmware {

struct DescriptionOption;

// The programmer both JTAG engines drive. It carries the engine's command lines and results;
// derived ports move the pins.
class CJtagProgrammer : public jtag::IJtagEnginePort {
 public:
  static constexpr int kLineCount = 100;
  // Receives the new position of the progress bar.
  using ProgressWindow = std::function<void(uint32_t position)>;

  CJtagProgrammer() = default;
  CJtagProgrammer(const CJtagProgrammer&) = delete;
  CJtagProgrammer& operator=(const CJtagProgrammer&) = delete;
  ~CJtagProgrammer() override;

  // Derived ports move the pins; the waits are the process-wide busy-wait timer's.
  void WaitMicroseconds(double us) override;
  void WaitMilliseconds(double ms) override;
  std::string CommandText() override;
  uint8_t CommandSource() override { return commandSource_; }
  void SetCommandSource(uint8_t source) override { commandSource_ = source; }
  void SetFailureWord(uint32_t word) override { failure_ = word; }
  std::string BsdlFolder() override { return bsdlFolder_.CStr(); }
  // Message lines of the IEEE 1532 engine; dropped unless a derived port shows them.
  void Message(const char* text) override;
  // Moves the progress window on every so many steps.
  void ProgressTick() override;

  // Programs the chain from one ISC data file with the action "program": discovers the devices,
  // finds each IDCODE in the chain description file and runs the IEEE 1532 engine on one command
  // line per device. 0 success; 1 failure; 2 no description file; 3 a hundred devices or more.
  // Relative paths stand in the BSDL and firmware folders.
  int Program(const char* descriptionPath, const char* dataPath, ProgressWindow window);
  static constexpr int kProgrammed = 0;
  static constexpr int kProgramFailed = 1;
  static constexpr int kNoDescriptionFile = 2;
  static constexpr int kTooManyDevices = 3;
  int Run(const char* descriptionPath, const char* dataPath, ProgressWindow window);
  // The discovery scripts through the STAPL player: 0 on success, 1 on failure.
  int CountDevices(uint8_t& count);
  // The IDCODE of the device that command line deviceNumber describes (0 without one).
  int ReadIdCodes(uint8_t deviceNumber, uint32_t& idcode);
  // Runs the "READ_IDCODE" action of a STAPL script file: 1 when the file cannot be opened,
  // else the player's result.
  int RunStaplFile(const char* path);
  // Writes the ISC file patched with the ".inf" patch into the temporary file; 1 when a file
  // cannot be opened or written.
  int ApplyPatchFile(const char* iscPath, const char* tempPath, const char* patchPath);

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

 private:
  struct ChainDataFiles;
  int RunChain(const std::string& description, const std::string& callerData,
               const std::string& tempPath, bool& madeTemp);
  int WriteDeviceLine(int n, uint8_t count, ChainDataFiles& files);
  int AppendOption(const DescriptionOption& option, ChainDataFiles& files, std::string& line);
  int RunEngine();
};

// The port of the board being programmed, for the STAPL player and the IEEE 1532 engine; null
// when none exists.
CJtagProgrammer* CurrentJtagPort();
void SetCurrentJtagPort(CJtagProgrammer* port);

}  // namespace zor::firmware
