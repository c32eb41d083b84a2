// Digitizer reads through libZOR.so on one thread and on eight, each thread
// on a digitizer of its own on one sixteen-channel board. Wall time falls
// with free cores; CPU time per read does not, so the eight threads' CPU per
// read is reported beside the one thread's, and the wall-time speed-up beside
// that. The reference is the same reads in eight processes at once, which
// share nothing: what eight busy cores cost each other on this machine.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "bench/support/times.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"

namespace {

constexpr int kDigitizers = 8;
constexpr uint64_t kSixteenChannels = 0x40000;
constexpr int kReadsPerTurn = 4000;
// Set in the copies of this program that the reference starts.
constexpr char kReaderProcess[] = "ZOR_SCALING_READER_PROCESS";
constexpr int kGoFd = 3;      // closed by the parent when all are ready
constexpr int kResultFd = 4;  // "ready", then the CPU ns per read
constexpr int kProcessTurns = 200;

std::vector<QID> Digitizers() {
  static const std::vector<QID> digitizers = [] {
    std::vector<QID> made;
    if (zorbench::MakeBenchEnvironment("zorscalingbench").empty()) return made;
    boardsim::ShareBoards();
    boardsim::LocalBoards().Find(0)->SetCapabilities(kSixteenChannels);
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    for (QINT64 channel = 0; system != 0 && channel < kDigitizers; ++channel) {
      const QID digitizer = QdigAlloc(system, channel, L"Q_NTSC", Q_DEFAULT, nullptr);
      if (digitizer == 0) return std::vector<QID>{};
      made.push_back(digitizer);
    }
    return made;
  }();
  return digitizers;
}

// Time and reads of one kind of turn.
struct Tally {
  double cpuUs = 0;
  double wallUs = 0;
  int64_t reads = 0;
};

// A digitizer's thread and what it read alone and with the seven others; a line of its own, as
// every thread adds to its tallies at the end of each turn.
struct alignas(64) Reader {
  QID digitizer = 0;
  Tally alone;
  Tally together;

  void Read(int count, Tally& tally) const {
    QINT64 value = 0;
    const zorbench::Times start = zorbench::Times::Now();
    for (int i = 0; i < count; ++i)
      benchmark::DoNotOptimize(QdigInquire(digitizer, Q_SIZE_X, &value));
    const zorbench::Times end = zorbench::Times::Now();
    tally.cpuUs += end.cpuUs - start.cpuUs;
    tally.wallUs += end.wallUs - start.wallUs;
    tally.reads += count;
  }
};

Tally Sum(const std::vector<Reader>& readers, Tally Reader::*kind) {
  Tally sum;
  for (const Reader& reader : readers) {
    sum.cpuUs += (reader.*kind).cpuUs;
    sum.wallUs += (reader.*kind).wallUs;
    sum.reads += (reader.*kind).reads;
  }
  return sum;
}

// A reader process: sets up, says it is ready, waits for the go, reads and tells its CPU per read.
[[noreturn]] void ReadAsProcess() {
  const std::vector<QID>& digitizers = Digitizers();
  Reader reader;
  reader.digitizer = digitizers.empty() ? 0 : digitizers.front();
  if (write(kResultFd, "ready\n", 6) != 6) _exit(1);
  char go = 0;
  while (read(kGoFd, &go, 1) > 0) {
  }
  for (int i = 0; reader.digitizer != 0 && i < kProcessTurns; ++i)
    reader.Read(kReadsPerTurn, reader.alone);
  const std::string result =
      std::to_string(reader.alone.reads == 0
                         ? 0.0
                         : reader.alone.cpuUs * 1e3 / static_cast<double>(reader.alone.reads)) +
      "\n";
  _exit(write(kResultFd, result.data(), result.size()) == static_cast<ssize_t>(result.size()) ? 0
                                                                                              : 1);
}

// Lines from the reader processes until `count` are in, or none came for a minute.
std::vector<std::string> ReadLines(int fd, size_t count) {
  std::vector<std::string> lines;
  std::string line;
  char buffer[256];
  pollfd from{fd, POLLIN, 0};
  while (lines.size() < count && poll(&from, 1, 60000) == 1) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      if (buffer[i] != '\n') {
        line += buffer[i];
      } else {
        lines.push_back(std::move(line));
        line.clear();
      }
    }
  }
  return lines;
}

// Starts eight reader processes (this program again), lets them read at once and returns their
// mean CPU per read, or 0 when they could not be run.
double ProcessesCpuNsPerRead() {
  int go[2];
  int results[2];
  if (pipe2(go, O_CLOEXEC) != 0) return 0;
  if (pipe2(results, O_CLOEXEC) != 0) {
    close(go[0]);
    close(go[1]);
    return 0;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, go[0], kGoFd);
  posix_spawn_file_actions_adddup2(&actions, results[1], kResultFd);
  // The copies' own benchmark output is not this run's.
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> environment{std::string(kReaderProcess) + "=1"};
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = "/proc/self/exe";
  std::string filter = "--benchmark_filter=^BM_DigitizerInquireSizeX";
  char* argv[] = {program.data(), filter.data(), nullptr};
  std::vector<pid_t> children;
  for (int i = 0; i < kDigitizers; ++i) {
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data()) == 0)
      children.push_back(child);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(go[0]);
  close(results[1]);
  const bool ready = ReadLines(results[0], children.size()).size() == children.size();
  // A reader that did not get ready is not waited for.
  if (!ready) {
    for (pid_t child : children) kill(child, SIGKILL);
  }
  close(go[1]);
  double sum = 0;
  size_t told = 0;
  if (ready) {
    for (const std::string& line : ReadLines(results[0], children.size())) {
      sum += std::strtod(line.c_str(), nullptr);
      ++told;
    }
  }
  close(results[0]);
  for (pid_t child : children) waitpid(child, nullptr, 0);
  return told == static_cast<size_t>(kDigitizers) ? sum / static_cast<double>(told) : 0;
}

// A barrier whose threads wait awake, so that the machine is as busy in a lone turn as in a turn of
// eight.
class SpinBarrier {
 public:
  explicit SpinBarrier(int count) : count_(count) {}
  void arrive_and_wait() {
    const int phase = phase_.load(std::memory_order_acquire);
    if (arrived_.fetch_add(1, std::memory_order_acq_rel) + 1 == count_) {
      arrived_.store(0, std::memory_order_relaxed);
      phase_.store(phase + 1, std::memory_order_release);
      return;
    }
    while (phase_.load(std::memory_order_acquire) == phase) __builtin_ia32_pause();
  }

 private:
  const int count_;
  alignas(64) std::atomic<int> arrived_{0};
  alignas(64) std::atomic<int> phase_{0};
};

// In each turn one thread reads alone, then all eight read at once, a few thousand reads each, so
// that both meet the same machine: CPU per read on eight threads over one thread's, and the wall
// time of a turn of eight over a turn of one. The seven others wait awake through a lone turn: a
// lone reader beside idle cores runs faster on this machine whatever it reads (eight processes
// that share nothing slow down as much), and the figure is to show what the threads cost each
// other. The lone reader goes round the threads, so that no core's own speed makes the figure.
void BM_DigitizerInquireSizeX(benchmark::State& state) {
  if (getenv(kReaderProcess) != nullptr) ReadAsProcess();
  const std::vector<QID>& digitizers = Digitizers();
  if (digitizers.size() != kDigitizers) {
    state.SkipWithError("no digitizers");
    return;
  }
  std::vector<Reader> readers(kDigitizers);
  for (size_t i = 0; i < readers.size(); ++i) readers[i].digitizer = digitizers[i];
  double togetherWallUs = 0;
  std::atomic<bool> stop{false};
  SpinBarrier start(kDigitizers);
  SpinBarrier loneDone(kDigitizers);
  SpinBarrier finish(kDigitizers);
  // The lone turn of `number`, then every thread waits for its end.
  const auto turn = [&](int64_t number, size_t reader) {
    if (number % kDigitizers == static_cast<int64_t>(reader))
      readers[reader].Read(kReadsPerTurn, readers[reader].alone);
    loneDone.arrive_and_wait();
  };
  std::vector<std::thread> threads;
  for (size_t i = 1; i < kDigitizers; ++i) {
    threads.emplace_back([&, i] {
      for (int64_t number = 0;; ++number) {
        start.arrive_and_wait();
        if (stop.load()) return;
        turn(number, i);
        readers[i].Read(kReadsPerTurn, readers[i].together);
        finish.arrive_and_wait();
      }
    });
  }
  // The main thread is reader 0 and keeps the wall time of the turns of eight.
  int64_t number = 0;
  for (auto _ : state) {
    start.arrive_and_wait();
    turn(number++, 0);
    const double togetherStart = zorbench::Times::Now().wallUs;
    readers[0].Read(kReadsPerTurn, readers[0].together);
    finish.arrive_and_wait();
    togetherWallUs += zorbench::Times::Now().wallUs - togetherStart;
  }
  stop = true;
  start.arrive_and_wait();
  for (std::thread& thread : threads) thread.join();
  const Tally alone = Sum(readers, &Reader::alone);
  const Tally together = Sum(readers, &Reader::together);
  const double oneCpuNs = alone.cpuUs * 1e3 / static_cast<double>(alone.reads);
  const double eightCpuNs = together.cpuUs * 1e3 / static_cast<double>(together.reads);
  state.counters["cpu_ns_per_read_1_thread"] = oneCpuNs;
  state.counters["cpu_ns_per_read_8_threads"] = eightCpuNs;
  state.counters["cpu_vs_1_thread"] = eightCpuNs / oneCpuNs;
  const double processesCpuNs = ProcessesCpuNsPerRead();
  if (processesCpuNs > 0) {
    state.counters["ref_cpu_ns_per_read_8_processes"] = processesCpuNs;
    state.counters["cpu_8_threads_vs_8_processes"] = eightCpuNs / processesCpuNs;
  }
  // Reads per wall time on eight threads over one thread's.
  state.counters["wall_speedup"] = alone.wallUs / static_cast<double>(alone.reads) *
                                   static_cast<double>(together.reads) / togetherWallUs;
}
// The machine's speed drifts between runs of a second: the median of five says more than one.
BENCHMARK(BM_DigitizerInquireSizeX)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ComputeStatistics("max",
                        [](const std::vector<double>& v) {
                          return *std::max_element(v.begin(), v.end());
                        })
    ->ReportAggregatesOnly(true);

}  // namespace
