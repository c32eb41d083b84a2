#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/os/core/error.h"

namespace os {

// A call that failed, and the reason it left behind. The last error is first set to one that
// no call gives, so a refusal that forgets to set its own shows.
inline void ExpectRefused(const std::function<bool()>& failed, uint32_t error, const char* file,
                          int line) {
  const testing::ScopedTrace trace(file, line, "refused here");
  SetLastError(0xE0F0E0F0u);
  EXPECT_TRUE(failed());
  EXPECT_EQ(GetLastError(), error);
}
#define Refused(failed, error) \
  ::os::ExpectRefused([&] { return static_cast<bool>(failed); }, error, __FILE__, __LINE__)

// Runs `work` as in a process started without standard input, where descriptor 0 is the first
// free one: whatever `work` opens there must work and be closed again by its end.
inline void WithoutStandardInput(const std::function<void()>& work) {
  const int input = dup(0);
  close(0);
  work();
  EXPECT_EQ(fcntl(0, F_GETFD), -1) << "descriptor 0 left open";
  dup2(input, 0);
  close(input);
}

// What `work` returns when run in a child process of its own; the test fails unless the child
// tells it all and exits cleanly.
inline std::string InChild(const std::function<std::string()>& work) {
  int channel[2];
  if (pipe(channel) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    const std::string text = work();
    _exit(write(channel[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 4);
  }
  close(channel[1]);
  std::string text;
  char buffer[512];
  for (ssize_t count; (count = read(channel[0], buffer, sizeof(buffer))) > 0;) {
    text.append(buffer, static_cast<size_t>(count));
  }
  close(channel[0]);
  int status = -1;
  if (child > 0) waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  return text;
}

}  // namespace os
