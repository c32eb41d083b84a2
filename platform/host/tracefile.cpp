#include "platform/host/tracefile.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/os/process/regular_file.h"
#include "platform/os/text/convert.h"

namespace zorhost {
namespace {

std::mutex g_traceLock;
// The trace file that last failed: said once on stderr, not on every line.
std::string g_failedPath;

// Appends one line; lines of two threads never mix.
void Append(const std::string& line) {
  const char* path = std::getenv("ZOR_TRACE_FILE");
  if (path == nullptr || *path == '\0') return;
  std::lock_guard lock(g_traceLock);
  std::string problem;
  if (std::FILE* file = os::OpenRegularFile(path, "a", &problem)) {
    std::fputs(line.c_str(), file);
    std::fclose(file);
    g_failedPath.clear();
  } else if (g_failedPath != path) {
    g_failedPath = path;
    std::fprintf(stderr, "ZOR_TRACE_FILE %s: %s; no trace is written\n", path, problem.c_str());
  }
}

}  // namespace

void TraceNote(const zor::hostcommand::TraceNote& note) {
  Append("note " + std::to_string(note.code) + " kind " + std::to_string(note.kind) + " value " +
         std::to_string(note.value) + "\n");
}

void TraceLibraryNote(QINT64 type, QID module, const wchar_t* name) {
  if (type == zor::hostcommand::kLibraryLoading) {
    Append("load " + os::WideToUtf8(name != nullptr ? name : L"") + "\n");
  } else {
    Append("loaded " + os::WideToUtf8(name != nullptr ? name : L"") +
           (module != 0 ? " module" : " failed") + "\n");
  }
}

}  // namespace zorhost
