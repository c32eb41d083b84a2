// Patching an ISC data file with an ".inf" companion into the temporary data file.
#include <strings.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "driver/firmware/flow/readline.h"
#include "driver/firmware/jtagprogrammer.h"
#include "platform/os/process/regular_file.h"

namespace zor::firmware {
namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File Open(const char* path, const char* mode) {
  return File(os::OpenRegularFile(path, mode), &std::fclose);
}

std::string WithoutLineBreak(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// Removal entries and ISC lines compare without blanks and line breaks, ignoring case.
std::string Squeezed(const std::string& line) {
  std::string out;
  for (char c : line) {
    if (c != '\t' && c != '\n' && c != '\r' && c != ' ') out += c;
  }
  return out;
}

bool IsSection(const std::string& line, const char* name) {
  return strcasecmp(WithoutLineBreak(line).c_str(), name) == 0;
}

struct Patch {
  std::vector<std::string> added;
  std::vector<std::string> removed;  // squeezed
};

Patch ReadPatch(FILE* file) {
  Patch patch;
  std::string line;
  while (ReadLine(file, line) && !IsSection(line, "[ADD]")) {
  }
  while (ReadLine(file, line) && line.find("[END]") == std::string::npos) {
    if (line.back() != '\n') line += '\n';
    patch.added.push_back(line);
  }
  std::rewind(file);
  while (ReadLine(file, line) && !IsSection(line, "[REMOVE]")) {
  }
  while (ReadLine(file, line) && !IsSection(line, "[END]")) {
    const std::string entry = Squeezed(line);
    if (!entry.empty()) patch.removed.push_back(entry);
  }
  return patch;
}

bool IsRemoved(const Patch& patch, const std::string& line) {
  const std::string squeezed = Squeezed(line);
  for (const std::string& entry : patch.removed) {
    if (strcasecmp(entry.c_str(), squeezed.c_str()) == 0) return true;
  }
  return false;
}

}  // namespace

int CJtagProgrammer::ApplyPatchFile(const char* iscPath, const char* tempPath,
                                    const char* patchPath) {
  File isc = Open(iscPath, "r");
  File patchFile = Open(patchPath, "r");
  if (isc == nullptr || patchFile == nullptr) return 1;
  const Patch patch = ReadPatch(patchFile.get());
  File out = Open(tempPath, "w");
  if (out == nullptr) return 1;
  std::string line;
  // The header, up to the line that closes it.
  while (ReadLine(isc.get(), line)) {
    std::fputs(line.c_str(), out.get());
    if (line.find(')') != std::string::npos) break;
  }
  for (const std::string& added : patch.added) std::fputs(added.c_str(), out.get());
  // Removals apply between the header and the data array.
  while (ReadLine(isc.get(), line)) {
    if (line.find("array0 (") != std::string::npos) {
      std::fputs(line.c_str(), out.get());
      break;
    }
    if (!IsRemoved(patch, line)) std::fputs(line.c_str(), out.get());
  }
  while (ReadLine(isc.get(), line)) std::fputs(line.c_str(), out.get());
  return std::fflush(out.get()) == 0 && !std::ferror(out.get()) ? 0 : 1;
}

}  // namespace zor::firmware
