// IscSettings: the engine's settings, reset at the start of every run.
#pragma once

#include <cstdint>

namespace zor::isc {

// Largest read or write buffer an option may ask for; every open file gets one.
constexpr int64_t kIscMaxBufferSize = int64_t{1} << 26;

// Engine settings: process-global, reset to these defaults at the start of every run.
struct IscSettings {
  bool commitOnWrite = true;
  bool bufferedRead = true;
  int64_t readBufferSize = 0x40000;
  bool bufferedWrite = true;
  int64_t writeBufferSize = 0x40000;
  bool statusDisplay = true;
  bool debugInfo = false;
  bool bsdlInfo = false;
  bool skipIdcodeCheck = false;
  bool flowLoopDebug = false;
  bool actionRepeatDisplay = false;
  bool checkOnly = false;
  bool checkInputFilesOnly = false;
  bool continueOnFail = false;
  bool bsdlWarnings = false;
  int64_t maxBitErrors = 50;
  bool concurrent = false;
  bool maxConcurrent = false;
  bool singleTckBeforeWait = true;
  bool holdIscDataInMemory = true;
  bool runErrorExitProc = true;
  bool stopOnExitOnError = true;
  bool showAllOptions = false;
  bool showCommandFileOptions = false;
};

IscSettings& IscGetSettings();
void IscResetSettings();

}  // namespace zor::isc
