// Buffered writes of the engine's output files and checked opens of regular files.
#include <cstring>

#include "driver/ieee1532/text/iscinputfile.h"
#include "driver/ieee1532/text/iscmessages.h"
#include "platform/os/process/regular_file.h"

namespace zor::isc {

void InputFileWrite(IscInputFile& record, int mode, const char* text) {
  if (mode == 0) {
    size_t length = strlen(text);
    if (!record.bufferedWrite || record.stream == nullptr) {
      if (record.stream != nullptr) fputs(text, record.stream);
      return;
    }
    if (record.writeBuffer.size() + length > record.writeCapacity - 1) {
      fwrite(record.writeBuffer.data(), 1, record.writeBuffer.size(), record.stream);
      record.writeBuffer.clear();
    }
    record.writeBuffer += text;
    return;
  }
  if (mode != 1) IscReportf(kIscError, false, nullptr, "wtCDP");
  if (record.stream == nullptr) return;
  size_t written = fwrite(record.writeBuffer.data(), 1, record.writeBuffer.size(), record.stream);
  bool failed = written != record.writeBuffer.size();
  record.writeBuffer.clear();
  if (fflush(record.stream) != 0 || failed)
    IscWriteMessageLine("fwrite() + fflush()", kIscLinePlain);
}

// Every file is a regular file: a FIFO or device named on the command line, or a temporary file
// in the environment's TEMP, must never hold the engine.
FILE* OpenFileChecked(const char* name, const char* mode) {
  const char* openMode;
  switch (mode[0]) {
    case 'r':
      openMode = "rb";
      break;
    case 'w':
      openMode = "wb";
      break;
    case 'a':
      openMode = "ab";
      break;
    case 'c':
      openMode = "wb";
      break;
    case 't':
      return os::OpenRegularFile(name, "rb");
    default:
      IscReportf(kIscError, false, nullptr, "Unknown MOs_ANSIfopen() mode [%s]", mode);
      return nullptr;
  }
  FILE* stream = os::OpenRegularFile(name, openMode);
  if (stream == nullptr)
    IscReportf(kIscError, false, nullptr, "(%s) cannot open [%s]", "rurura", name);
  return stream;
}

}  // namespace zor::isc
