#include "platform/os/process/process_launch.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "platform/os/core/error.h"
#include "platform/os/text/convert.h"

extern char** environ;

namespace os {

bool CreateProcess(const wchar_t* path, uint32_t* processId) {
  if (path == nullptr || *path == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::string program = WideToUtf8(path);
  char* argv[] = {program.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  // Nobody waits for the program; reap it so that it leaves no zombie behind.
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  if (processId != nullptr) *processId = static_cast<uint32_t>(pid);
  SetLastError(ERROR_SUCCESS);
  return true;
}

void ExitProcess(uint32_t code) {
  std::fflush(nullptr);
  _exit(static_cast<int>(code));
}

}  // namespace os
