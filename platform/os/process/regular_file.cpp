#include "platform/os/process/regular_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <utility>

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

int FailOpen(std::string* problem, int error, std::string text = {}) {
  Fail(problem, error, std::move(text));
  return -1;
}

// The descriptor of a regular file, checked by the descriptor itself, so that what was checked
// is what is used; -1 on failure. facts receive the file's status.
int OpenRegularDescriptor(const std::string& path, const char* mode, std::string* problem,
                          struct stat& facts) {
  const int flags = OpenFlags(mode);
  if (flags < 0) return FailOpen(problem, EINVAL, "unknown open mode");
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    // A FIFO without a reader refuses a writer with ENXIO: say what the path names instead.
    if (stat(path.c_str(), &facts) == 0 && !S_ISREG(facts.st_mode)) {
      return FailOpen(problem, error, NotRegular(facts.st_mode));
    }
    return FailOpen(problem, error);
  }
  int error = 0;
  std::string text;
  if (fstat(fd, &facts) != 0) {
    error = errno;
  } else if (!S_ISREG(facts.st_mode)) {
    error = S_ISDIR(facts.st_mode) ? EISDIR : EINVAL;
    text = NotRegular(facts.st_mode);
  } else if ((mode[0] == 'w' && ftruncate(fd, 0) != 0) ||
             fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {  // blocking from here on
    error = errno;
  }
  if (error == 0) return fd;
  close(fd);
  return FailOpen(problem, error, text);
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, const char* mode, std::string* problem) {
  struct stat facts {};
  const int fd = OpenRegularDescriptor(path, mode, problem, facts);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, mode);
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    return Fail(problem, error);
  }
  return file;
}

// Read and written through the descriptor alone: a registry value is a whole small file, read
// often, and stdio's buffers would only add system calls.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* text,
                     std::string* problem) {
  struct stat facts {};
  const int fd = OpenRegularDescriptor(path, "rb", problem, facts);
  if (fd < 0) return false;
  const auto refuseTooLarge = [&] {
    Fail(problem, EFBIG, "larger than " + std::to_string(maxBytes) + " bytes");
    return false;
  };
  if (static_cast<uintmax_t>(facts.st_size) > maxBytes) {
    close(fd);
    return refuseTooLarge();
  }
  // Room for one byte past the limit, so that a file that grew past it is refused. A file that
  // grew, or reports no size (as /proc does), is read on into a growing string.
  const size_t room = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
  std::string content(std::min(static_cast<size_t>(facts.st_size) + 1, room), '\0');
  size_t length = 0;
  int error = 0;
  while (length < room) {
    if (length == content.size()) content.resize(std::min(content.size() * 2, room));
    const ssize_t got = read(fd, content.data() + length, content.size() - length);
    if (got > 0) {
      length += static_cast<size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      error = errno;
      break;
    }
  }
  close(fd);
  if (error != 0) {
    Fail(problem, error);
    return false;
  }
  if (length > maxBytes) return refuseTooLarge();
  content.resize(length);
  *text = std::move(content);
  return true;
}

bool WriteRegularFile(const std::string& path, std::string_view text, std::string* problem) {
  struct stat facts {};
  const int fd = OpenRegularDescriptor(path, "wb", problem, facts);
  if (fd < 0) return false;
  int error = 0;
  while (!text.empty()) {
    const ssize_t put = write(fd, text.data(), text.size());
    if (put > 0) {
      text.remove_prefix(static_cast<size_t>(put));
    } else if (put == 0 || errno != EINTR) {
      error = put == 0 ? EIO : errno;
      break;
    }
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    Fail(problem, error);
    return false;
  }
  return true;
}

}  // namespace os
