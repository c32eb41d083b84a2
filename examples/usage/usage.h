// The tools' command line: options come before the operands ("--" ends them). --help and -h
// print the usage on stdout and end with 0; an unknown option or a wrong number of operands
// prints it on stderr and ends with 2.
#pragma once

#include <cstdio>
#include <cstring>

namespace examples {

inline constexpr int kUsageError = 2;

struct Usage {
  const char* tool;
  const char* text;  // "usage: <tool> ..." and what the tool does, ending with a newline
  int minOperands;
  int maxOperands;  // -1: no bound
};

inline int UsageError(const Usage& usage, const char* problem, const char* word) {
  std::fprintf(stderr, "%s: %s%s\n", usage.tool, problem, word);
  std::fputs(usage.text, stderr);
  return kUsageError;
}

// Reads the options before the operands. Answers -1 with *firstOperand set when the tool is to
// run, else the status to end with.
inline int ReadCommandLine(int argc, char** argv, const Usage& usage, int* firstOperand) {
  int next = 1;
  for (; next < argc && argv[next][0] == '-' && argv[next][1] != '\0'; ++next) {
    const char* option = argv[next];
    if (std::strcmp(option, "--") == 0) {
      ++next;
      break;
    }
    if (std::strcmp(option, "--help") != 0 && std::strcmp(option, "-h") != 0) {
      return UsageError(usage, "unknown option ", option);
    }
    std::fputs(usage.text, stdout);
    return 0;
  }
  const int operands = argc - next;
  if (operands < usage.minOperands) return UsageError(usage, "missing arguments", "");
  if (usage.maxOperands >= 0 && operands > usage.maxOperands) {
    return UsageError(usage, "too many arguments", "");
  }
  *firstOperand = next;
  return -1;
}

}  // namespace examples
