#include "tests/driver/frameworkuser/serial/pseudoterminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "platform/os/serial/serial.h"

namespace zor::frame::testing {

PseudoTerminal::PseudoTerminal(const std::wstring& comName) : comName_(comName) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  EXPECT_GE(master_, 0);
  EXPECT_EQ(grantpt(master_), 0);
  EXPECT_EQ(unlockpt(master_), 0);
  farPath_ = ptsname(master_);
  if (!comName.empty()) os::SetSerialPortPath(comName, farPath_);
}

PseudoTerminal::~PseudoTerminal() {
  HangUp();
  if (!comName_.empty()) os::SetSerialPortPath(comName_, "");
}

void PseudoTerminal::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t count = write(master_, bytes.data() + sent, bytes.size() - sent);
    ASSERT_GT(count, 0);
    sent += static_cast<size_t>(count);
  }
}

std::string PseudoTerminal::Receive(size_t count) {
  std::string bytes;
  while (bytes.size() < count) {
    pollfd ready{master_, POLLIN, 0};
    if (poll(&ready, 1, 5000) <= 0) break;
    char chunk[4096];
    const ssize_t got = read(master_, chunk, std::min(sizeof(chunk), count - bytes.size()));
    if (got <= 0) break;
    bytes.append(chunk, static_cast<size_t>(got));
  }
  return bytes;
}

void PseudoTerminal::HangUp() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

Echo::Echo(const PseudoTerminal& terminal)
    : master_(terminal.master()), thread_([this] { Run(); }) {}

Echo::~Echo() {
  stop_ = true;
  thread_.join();
}

void Echo::Run() {
  char chunk[4096];
  while (!stop_) {
    pollfd ready{master_, POLLIN, 0};
    if (poll(&ready, 1, 10) <= 0) continue;
    const ssize_t got = read(master_, chunk, sizeof(chunk));
    if (got <= 0) {
      // No one has the port open at the moment (an inquiry opened and closed it).
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    for (ssize_t sent = 0; sent < got;) {
      const ssize_t count = write(master_, chunk + sent, static_cast<size_t>(got - sent));
      if (count <= 0) return;
      sent += count;
    }
  }
}

size_t ThreadCount() {
  // ThreadSanitizer starts a thread of its own with the process's first thread: have it
  // running before the first count, so that counts before and after a test compare.
  // The kernel lists a joined thread a moment longer: the first count waits until it is gone.
  static const bool started = [] {
    pid_t tid = 0;
    std::thread([&tid] { tid = gettid(); }).join();
    const auto ended = std::filesystem::path("/proc/self/task") / std::to_string(tid);
    while (std::filesystem::exists(ended))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
  }();
  (void)started;
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}

}  // namespace zor::frame::testing
