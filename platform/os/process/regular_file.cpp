#include "platform/os/process/regular_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

namespace os {
namespace {

// open()'s flags for an fopen mode; -1 for a mode fopen refuses.
int OpenFlags(const char* mode) {
  int flags = 0;
  switch (mode[0]) {
    case 'r':
      flags = O_RDONLY;
      break;
    case 'w':
      flags = O_WRONLY | O_CREAT;  // truncated once it is known to be a file
      break;
    case 'a':
      flags = O_WRONLY | O_CREAT | O_APPEND;
      break;
    default:
      return -1;
  }
  for (const char* c = mode + 1; *c != '\0'; ++c) {
    if (*c == '+') {
      flags = (flags & ~O_ACCMODE) | O_RDWR;
    } else if (*c != 'b') {
      return -1;
    }
  }
  return flags;
}

std::string NotRegular(mode_t type) {
  const char* what = "something else";
  if (S_ISDIR(type)) {
    what = "a folder";
  } else if (S_ISFIFO(type)) {
    what = "a FIFO";
  } else if (S_ISCHR(type) || S_ISBLK(type)) {
    what = "a device";
  } else if (S_ISSOCK(type)) {
    what = "a socket";
  }
  return std::string("not a regular file but ") + what;
}

// Fails with errno kept for the caller and the reason in problem.
std::nullptr_t Fail(std::string* problem, int error, std::string text = {}) {
  if (problem != nullptr) {
    *problem = text.empty() ? std::error_code(error, std::generic_category()).message() : text;
  }
  errno = error;
  return nullptr;
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, const char* mode, std::string* problem) {
  const int flags = OpenFlags(mode);
  if (flags < 0) return Fail(problem, EINVAL, "unknown open mode");
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  struct stat facts {};
  if (fd < 0) {
    const int error = errno;
    // A FIFO without a reader refuses a writer with ENXIO: say what the path names instead.
    if (stat(path.c_str(), &facts) == 0 && !S_ISREG(facts.st_mode)) {
      return Fail(problem, error, NotRegular(facts.st_mode));
    }
    return Fail(problem, error);
  }
  int error = 0;
  std::string text;
  if (fstat(fd, &facts) != 0) {
    error = errno;
  } else if (!S_ISREG(facts.st_mode)) {
    error = S_ISDIR(facts.st_mode) ? EISDIR : EINVAL;
    text = NotRegular(facts.st_mode);
  } else if ((mode[0] == 'w' && ftruncate(fd, 0) != 0) ||
             fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    error = errno;
  }
  std::FILE* file = error == 0 ? fdopen(fd, mode) : nullptr;
  if (file == nullptr) {
    if (error == 0) error = errno;
    close(fd);
    return Fail(problem, error, text);
  }
  return file;
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text,
                     std::string* problem) {
  std::FILE* file = OpenRegularFile(path, "rb", problem);
  if (file == nullptr) return false;
  const std::string tooLarge = "larger than " + std::to_string(maxBytes) + " bytes";
  struct stat facts {};
  if (fstat(fileno(file), &facts) == 0 && static_cast<uintmax_t>(facts.st_size) > maxBytes) {
    std::fclose(file);
    Fail(problem, EFBIG, tooLarge);
    return false;
  }
  std::string content;
  char chunk[65536];
  size_t read = 0;
  // The file may grow while it is read.
  while (content.size() <= maxBytes && (read = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    content.append(chunk, read);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    Fail(problem, EIO);
    return false;
  }
  if (content.size() > maxBytes) {
    Fail(problem, EFBIG, tooLarge);
    return false;
  }
  *text = std::move(content);
  return true;
}

bool WriteRegularFile(const std::string& path, std::string_view text, std::string* problem) {
  std::FILE* file = OpenRegularFile(path, "wb", problem);
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int error = errno;
  if (std::fclose(file) != 0 || !written) {
    Fail(problem, written ? errno : error);
    return false;
  }
  return true;
}

}  // namespace os
