// zordemo's command line.
#pragma once

#include <cstdio>
#include <string>

namespace zordemo {

struct Options {
  std::wstring dcf = L"Q_NTSC";  // a standard name, or a camera file by name or path
  std::string out = ".";         // where the grabbed frames go
  bool browser = false;
  bool errors = false;  // print the driver's error ranges
  bool help = false;
  long long continuousFrames = 0;  // 0: no grab processing
  long long ring = 8;
};

// Reads the arguments; on a mistake, says what it is in `problem` and answers false.
bool ParseOptions(int argc, char** argv, Options* options, std::string* problem);

void PrintUsage(std::FILE* to);

}  // namespace zordemo
