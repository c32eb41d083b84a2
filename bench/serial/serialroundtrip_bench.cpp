// A 64 KB block written to a serial port and echoed back by the far end of a pseudo-terminal:
// through libZOR.so and a board system, through the serial-port manager alone, and with plain
// read/write on the descriptors.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "driver/frameworkuser/serial/uartmanager.h"
#include "platform/host/zor.h"
#include "platform/os/serial/serial.h"

namespace {

constexpr size_t kBlock = 64 * 1024;
constexpr int64_t kSpeed = 4704;
constexpr int64_t kWrite = 4708;
constexpr int64_t kWriteLength = 4709;
constexpr int64_t kRead = 4710;
constexpr int64_t kReadLength = 4711;
constexpr int64_t kWriteComplete = 4722;
constexpr int64_t kReadComplete = 4723;

// The far end of a pseudo-terminal that sends back all it receives.
class EchoTerminal {
 public:
  EchoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
    thread_ = std::thread([this] { Run(); });
  }
  ~EchoTerminal() {
    stop_ = true;
    thread_.join();
    close(master_);
  }
  const std::string& path() const { return path_; }

 private:
  void Run() {
    std::vector<char> chunk(kBlock);
    while (!stop_) {
      pollfd ready{master_, POLLIN, 0};
      if (poll(&ready, 1, 10) <= 0) continue;
      const ssize_t got = read(master_, chunk.data(), chunk.size());
      if (got <= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      for (ssize_t sent = 0; sent < got;) {
        const ssize_t count = write(master_, chunk.data() + sent, static_cast<size_t>(got - sent));
        if (count <= 0) break;
        sent += count;
      }
    }
  }

  int master_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int64_t Address(const void* data) { return reinterpret_cast<intptr_t>(data); }

// A registry root, a GenICam installation and a device folder of the bench's own; the echoing
// terminal stands in the folder as the USB adapter ttyUSB0 (COM101, port 0).
void PrepareBoardSystem(const EchoTerminal& echo) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "zorserialbench.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  const fs::path root = pattern;
  for (const char* folder : {"registry", "genicam/v3_1", "xml", "dev"}) {
    fs::create_directories(root / folder);
  }
  fs::create_symlink(echo.path(), root / "dev" / "ttyUSB0");
  setenv("ZOR_REGISTRY_ROOT", (root / "registry").c_str(), 1);
  setenv("ZOR_GENICAM_PATH", (root / "genicam").c_str(), 1);
  setenv("ZOR_XML_REPOSITORY", (root / "xml").c_str(), 1);
  setenv("ZOR_SERIAL_DEVICES", (root / "dev").c_str(), 1);
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
}

void ThroughLibZor(benchmark::State& state) {
  EchoTerminal echo;
  PrepareBoardSystem(echo);
  const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
  if (system == 0) {
    state.SkipWithError("no system");
    return;
  }
  QsysControl(system, kSpeed, 921600);
  QsysControl(system, kWriteLength, kBlock);
  QsysControl(system, kReadLength, kBlock);
  std::vector<uint8_t> out(kBlock, 0x5A);
  std::vector<uint8_t> in(kBlock);
  for (auto _ : state) {
    QINT64 written = 0;
    QINT64 read = 0;
    QsysControl(system, kRead, Address(in.data()));
    QsysControl(system, kWrite, Address(out.data()));
    QsysInquire(system, kWriteComplete, &written);
    QsysInquire(system, kReadComplete, &read);
    if (read != static_cast<QINT64>(kBlock)) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock * 2));
  QsysFree(system);
}
BENCHMARK(ThroughLibZor)->UseRealTime();

void ThroughTheManager(benchmark::State& state) {
  EchoTerminal echo;
  os::SetSerialPortPath(L"COM90", echo.path());
  zor::frame::CUartManager manager({L"COM90"});
  const bool ready = manager.Control(kSpeed, 921600).errorSet == 0 &&
                     manager.Control(kWriteLength, kBlock).errorSet == 0 &&
                     manager.Control(kReadLength, kBlock).errorSet == 0;
  if (!ready) state.SkipWithError("the port refused its settings");
  std::vector<uint8_t> out(kBlock, 0x5A);
  std::vector<uint8_t> in(kBlock);
  for (auto _ : state) {
    int64_t written = 0;
    int64_t read = 0;
    const bool moved = manager.Control(kRead, Address(in.data())).errorSet == 0 &&
                       manager.Control(kWrite, Address(out.data())).errorSet == 0 &&
                       manager.Inquire(kWriteComplete, &written).errorSet == 0 &&
                       manager.Inquire(kReadComplete, &read).errorSet == 0;
    if (!moved) state.SkipWithError("the port refused a transfer");
    if (read != static_cast<int64_t>(kBlock)) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock * 2));
}
BENCHMARK(ThroughTheManager)->UseRealTime();

void PlainDescriptors(benchmark::State& state) {
  EchoTerminal echo;
  const int fd = open(echo.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios settings = {};
  tcgetattr(fd, &settings);
  cfmakeraw(&settings);
  tcsetattr(fd, TCSANOW, &settings);
  std::vector<uint8_t> out(kBlock, 0x5A);
  std::vector<uint8_t> in(kBlock);
  for (auto _ : state) {
    size_t sent = 0;
    size_t received = 0;
    while (received < kBlock) {
      pollfd ready{fd, static_cast<short>(POLLIN | (sent < kBlock ? POLLOUT : 0)), 0};
      if (poll(&ready, 1, 1000) <= 0) break;
      if ((ready.revents & POLLOUT) != 0) {
        const ssize_t count = write(fd, out.data() + sent, kBlock - sent);
        if (count > 0) sent += static_cast<size_t>(count);
      }
      if ((ready.revents & POLLIN) != 0) {
        const ssize_t count = read(fd, in.data() + received, kBlock - received);
        if (count > 0) received += static_cast<size_t>(count);
      }
    }
    if (received != kBlock) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock * 2));
  close(fd);
}
BENCHMARK(PlainDescriptors)->UseRealTime();

}  // namespace
