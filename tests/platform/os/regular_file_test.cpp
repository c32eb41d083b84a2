#include "platform/os/process/regular_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace os {
namespace {

std::filesystem::path Folder() { return getenv("ZOR_REGISTRY_ROOT"); }

std::string Content(const std::filesystem::path& path) {
  std::string text;
  EXPECT_TRUE(ReadRegularFile(path, 1024, &text));
  return text;
}

// What a FIFO nobody opens, a device or a folder would do to fopen: hang, or take the writes.
// Every mode fails at once and says what the path names.
TEST(RegularFiles, AnythingButARegularFileFailsWithoutWaiting) {
  const std::filesystem::path fifo = Folder() / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    const char* kind;
  } cases[] = {{fifo, "a FIFO"}, {Folder(), "a folder"}, {"/dev/null", "a device"}};
  for (const auto& c : cases) {
    for (const char* mode : {"r", "rb", "w", "a", "ab", "r+"}) {
      SCOPED_TRACE(c.path + " " + mode);
      std::string problem;
      EXPECT_EQ(OpenRegularFile(c.path, mode, &problem), nullptr);
      EXPECT_NE(problem.find(c.kind), std::string::npos) << problem;
    }
  }
  std::string text = "kept";
  EXPECT_FALSE(ReadRegularFile(fifo, 1024, &text));
  EXPECT_FALSE(WriteRegularFile(fifo, "lost"));
  EXPECT_EQ(text, "kept");
}

TEST(RegularFiles, ModesActAsFopensAndSizesAreBounded) {
  const std::filesystem::path file = Folder() / "file.txt";
  ASSERT_TRUE(WriteRegularFile(file, "first"));
  std::FILE* append = OpenRegularFile(file, "a");
  ASSERT_NE(append, nullptr);
  std::fputs(" second", append);
  std::fclose(append);
  EXPECT_EQ(Content(file), "first second");
  ASSERT_TRUE(WriteRegularFile(file, "new"));  // truncates
  EXPECT_EQ(Content(file), "new");
  std::string text;
  std::string problem;
  ASSERT_TRUE(ReadRegularFile(file, 3, &text, &problem)) << problem;  // the bound itself
  EXPECT_EQ(text, "new");
  // A process started without standard input gets descriptor 0 for the file.
  const int input = dup(0);
  close(0);
  EXPECT_TRUE(ReadRegularFile(file, 3, &text, &problem)) << problem;
  dup2(input, 0);
  close(input);
  EXPECT_FALSE(ReadRegularFile(file, 2, &text, &problem));
  EXPECT_EQ(problem, "larger than 2 bytes");
  EXPECT_FALSE(ReadRegularFile(Folder() / "missing", 2, &text, &problem));
  EXPECT_EQ(problem, "No such file or directory");
  // /proc's files are regular but report no size: read on to their end, bound or no bound.
  ASSERT_TRUE(ReadRegularFile("/proc/self/status", SIZE_MAX, &text, &problem)) << problem;
  EXPECT_EQ(text.rfind("Name:", 0), 0u);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_FALSE(ReadRegularFile("/proc/self/status", 16, &text, &problem));
  EXPECT_EQ(problem, "larger than 16 bytes");
  EXPECT_EQ(OpenRegularFile(file, "x", &problem), nullptr);
  EXPECT_EQ(OpenRegularFile(file, "rw", &problem), nullptr);
  // A write that the file size limit cuts short fails and says why.
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4, 4};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = WriteRegularFile(file, "longer than four", &problem);
    _exit(!written && problem == "File too large" ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace os
