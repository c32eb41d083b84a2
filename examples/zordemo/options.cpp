#include "examples/zordemo/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zordemo {
namespace {

bool ParseCount(const char* text, long long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == '\0';
}

std::wstring Widen(const char* text) {
  std::mbstate_t state{};
  const size_t length = std::mbsrtowcs(nullptr, &text, 0, &state);
  if (length == static_cast<size_t>(-1)) return std::wstring(text, text + std::strlen(text));
  std::wstring wide(length, L'\0');
  std::mbsrtowcs(wide.data(), &text, length, &state);
  return wide;
}

bool TakeCameraFile(const char* arg, bool* dcfGiven, Options* options, std::string* problem) {
  if (*dcfGiven) {
    *problem = std::string("more than one camera file: ") + arg;
    return false;
  }
  options->dcf = Widen(arg);
  *dcfGiven = true;
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, std::string* problem) {
  bool dcfGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--browser") {
      options->browser = true;
    } else if (arg == "--errors") {
      options->errors = true;
    } else if (arg == "--out") {
      if (!hasValue || *argv[i + 1] == '\0') {
        *problem = "--out needs a folder";
        return false;
      }
      options->out = argv[++i];
    } else if (arg == "--continuous") {
      if (!hasValue || !ParseCount(argv[++i], &options->continuousFrames) ||
          options->continuousFrames < 1) {
        *problem = "--continuous FRAMES [RING]: at least 1 frame";
        return false;
      }
      if (i + 1 < argc && argv[i + 1][0] != '-') {
        if (!ParseCount(argv[++i], &options->ring) || options->ring < 2 || options->ring > 16) {
          *problem = "--continuous FRAMES [RING]: a ring of 2 to 16 buffers";
          return false;
        }
      }
    } else if (arg == "--") {  // the rest are operands, even when they start with '-'
      for (++i; i < argc; ++i) {
        if (!TakeCameraFile(argv[i], &dcfGiven, options, problem)) return false;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      *problem = "unknown option " + arg;
      return false;
    } else if (!TakeCameraFile(argv[i], &dcfGiven, options, problem)) {
      return false;
    }
  }
  if (options->browser && options->continuousFrames > 0) {
    *problem = "--browser and --continuous do not go together";
    return false;
  }
  return true;
}

void PrintUsage(std::FILE* to) {
  std::fputs(
      "usage: zordemo [--out DIR] [--continuous FRAMES [RING]] [--errors] [DCF]\n"
      "       zordemo --browser [DCF]\n"
      "\n"
      "Allocates a Dravion Lyn system and a digitizer from a camera file, prints what the board\n"
      "tells, and writes three grabbed frames as zordemo-frame-<n>.png.\n"
      "\n"
      "  DCF                  camera file by name or path, or a standard name: Q_NTSC (the\n"
      "                       default), Q_PAL, Q_RS170, Q_CCIR\n"
      "  --out DIR            folder for the frames (default: the current folder)\n"
      "  --continuous FRAMES [RING]\n"
      "                       then processes FRAMES frames into a ring of RING buffers (2 to 16,\n"
      "                       8 by default) and reports frames per second and frames lost\n"
      "  --browser            opens the feature browser of the system and the digitizer, prints\n"
      "                       its address and grabs until Ctrl+C\n"
      "  --errors             also prints the driver's error ranges\n"
      "  -h, --help           prints this text\n"
      "\n"
      "Exit status: 0 done, 1 the system, the digitizer or the browser failed, 2 a usage error.\n",
      to);
}

}  // namespace zordemo
