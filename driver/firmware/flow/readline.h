// Reading the flow's text files (the chain description, data files and their patches) a line at
// a time.
#pragma once

#include <cstdio>
#include <string>

namespace zor::firmware {

// Reads one line with its line break; false at the end of the file.
inline bool ReadLine(FILE* file, std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    line += static_cast<char>(c);
    if (c == '\n') break;
  }
  return !line.empty();
}

}  // namespace zor::firmware
