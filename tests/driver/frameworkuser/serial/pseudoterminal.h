// A pseudo-terminal pair whose far side a serial port opens as "COMn"; the test plays the
// other end on the master descriptor.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

namespace zor::frame::testing {

class PseudoTerminal {
 public:
  // Maps the COM name, if one is given, to the far side until destroyed.
  explicit PseudoTerminal(const std::wstring& comName = L"");
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  ~PseudoTerminal();

  int master() const { return master_; }
  const std::string& farPath() const { return farPath_; }
  void Send(const std::string& bytes);
  // What arrives within a few seconds, up to count bytes.
  std::string Receive(size_t count);
  // Closes the master: the port sees its line hang up.
  void HangUp();

 private:
  int master_ = -1;
  std::string farPath_;
  std::wstring comName_;
};

// Sends back whatever the far end of a pseudo-terminal receives, until destroyed.
class Echo {
 public:
  explicit Echo(const PseudoTerminal& terminal);
  Echo(const Echo&) = delete;
  Echo& operator=(const Echo&) = delete;
  ~Echo();

 private:
  void Run();

  const int master_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Threads of this process, as the kernel lists them.
size_t ThreadCount();

// Repeats check until it holds, for a few seconds at most; whether it came to hold.
template <typename Check>
bool Eventually(Check check) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!check()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace zor::frame::testing
