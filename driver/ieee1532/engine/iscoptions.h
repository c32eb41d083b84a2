// IscCommandLine: the file names given on the engine's command line.
#pragma once

#include <string>

namespace zor::isc {

// File names given on the engine's command line.
struct IscCommandLine {
  bool commandFileGiven = false;
  std::string commandFile;  // empty: the command text is in the port's lines
  std::string outputFile;
  std::string logFile;
  std::string checkBsdlFile;
};

IscCommandLine& IscEngineCommandLine();

}  // namespace zor::isc
