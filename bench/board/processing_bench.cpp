// Sustained grab processing through libZOR.so: 640 x 480 mono frames into a
// ring of 8 buffers with the simulated board writing frames as fast as it
// can and at 1,000 frames a second, sixteen digitizers at 1,000 frames a
// second each, and a board region copy beside memcpy of the same bytes. The
// CPU time of a frame is split between the board's clocks (writing the
// pattern, the simulator's share) and every other thread (driver and host),
// beside the reference of one thread woken by a timed one at the same rate;
// the sixteen digitizers' lateness beside that of sixteen such pairs.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/prctl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/benchenvironment.h"
#include "bench/support/threadcpu.h"
#include "platform/boardsim/board.h"
#include "platform/boardsim/deviceprovider.h"
#include "platform/host/zor.h"
#include "platform/os/sync/thread.h"

namespace {

constexpr QINT64 kWidth = 640;
constexpr QINT64 kHeight = 480;
constexpr QINT64 kRing = 8;
constexpr QINT64 kFrames = 1000;
constexpr QINT64 kSequence = 8;
constexpr QINT64 kSynchronous = 1;
constexpr QINT64 kFramesMissed = 5334;

constexpr QINT64 kDigitizers = 16;
constexpr uint64_t kSixteenChannels = 0x40000;

struct Bench {
  Bench() {
    if (zorbench::MakeBenchEnvironment("zorprocessbench").empty()) return;
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    // The driver library serves this process's boards, whose clock the bench sets.
    boardsim::ShareBoards();
    boardsim::LocalBoards().Find(0)->SetCapabilities(kSixteenChannels);
    system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
    if (system == 0) return;
    for (QINT64 channel = 0; channel < kDigitizers; ++channel) {
      digitizers.push_back(QdigAlloc(system, channel, L"Q_NTSC", Q_DEFAULT, nullptr));
      rings.emplace_back();
      for (QINT64 i = 0; i < kRing; ++i) {
        rings.back().push_back(QbufAlloc2d(system, kWidth, kHeight, 8 + Q_UNSIGNED,
                                           Q_IMAGE + Q_GRAB + Q_PROC, nullptr));
      }
    }
    digitizer = digitizers.front();
    ring = rings.front();
  }
  QID system = 0;
  QID digitizer = 0;
  std::vector<QID> ring;
  std::vector<QID> digitizers;
  std::vector<std::vector<QID>> rings;
};

Bench& Setup() {
  static Bench* bench = new Bench;  // lives as long as the board
  return *bench;
}

QINT64 CountFrame(QINT64, QID, void* user) {
  ++*static_cast<std::atomic<int64_t>*>(user);
  return 0;
}

// CPU time and thread switches per frame of the board's clocks and of every
// other thread (driver and host); each switch is a wake-up whose code runs cold.
void ReportThreadCpu(benchmark::State& state, const zorbench::ThreadCpu& before,
                     const zorbench::ThreadCpu& after, double frames) {
  state.counters["host_driver_cpu_us"] =
      static_cast<double>(after.others - before.others) / 1000.0 / frames;
  state.counters["board_cpu_us"] =
      static_cast<double>(after.named - before.named) / 1000.0 / frames;
  state.counters["host_driver_switches"] =
      static_cast<double>(after.otherSwitches - before.otherSwitches) / frames;
  state.counters["board_switches"] =
      static_cast<double>(after.namedSwitches - before.namedSwitches) / frames;
}

// When each frame of one digitizer's run reaches its processing function.
struct Arrivals {
  std::vector<std::chrono::steady_clock::time_point> times;
};

// How late each frame reached the application after its place in a schedule
// that starts with the run's first frame, of every digitizer's runs.
struct Lateness {
  std::mutex mutex;
  std::vector<double> us;

  void Add(const Arrivals& arrivals, std::chrono::microseconds period) {
    std::vector<double> run;
    for (size_t i = 1; i < arrivals.times.size(); ++i) {
      const auto due = arrivals.times.front() + period * static_cast<int64_t>(i);
      run.push_back(std::max(
          0.0, std::chrono::duration<double, std::micro>(arrivals.times[i] - due).count()));
    }
    std::lock_guard lock(mutex);
    us.insert(us.end(), run.begin(), run.end());
  }
  // The share q of the frames came no later than this.
  double Quantile(double q) {
    if (us.empty()) return 0;
    const auto at =
        us.begin() + static_cast<std::ptrdiff_t>(q * static_cast<double>(us.size() - 1));
    std::nth_element(us.begin(), at, us.end());
    return *at;
  }
};

// The reference for a frame's CPU time at a rate: a thread that sleeps until
// each period's end wakes another, which does nothing. The CPU time of each per
// period is what a timed wake-up (the board's clock) and a woken thread (the
// driver's hook thread) cost on this machine under its present load. The hook
// thread runs time critical: the woken thread can be given the same priority.
struct WakeCost {
  double timerUs = 0;
  double wokenUs = 0;
};

WakeCost MeasureWakeCost(std::chrono::microseconds period, int64_t periods, bool timeCritical,
                         Arrivals* arrivals = nullptr) {
  static constexpr char kTimer[] = "waketimer";
  static constexpr char kWoken[] = "wakewoken";
  std::mutex mutex;
  // The woken thread alone waits for a tick: a second waiter would wake with it each time and
  // meet it on the lock.
  std::condition_variable tick;
  std::condition_variable finished;
  int64_t ticks = 0;
  bool read = false;  // both threads' times are read: they may end
  auto named = [](const char* name, auto body) {
    return std::thread([name, body] {
      prctl(PR_SET_TIMERSLACK, 1UL);
      pthread_setname_np(pthread_self(), name);
      body();
    });
  };
  std::thread waiter = named(kWoken, [&] {
    if (timeCritical) {
      os::SetThreadPriority(os::GetCurrentThread(), os::THREAD_PRIORITY_TIME_CRITICAL);
    }
    std::unique_lock lock(mutex);
    for (int64_t seen = 0; seen < periods; seen = ticks) {
      tick.wait(lock, [&] { return ticks != seen; });
      if (arrivals != nullptr) {
        arrivals->times.resize(static_cast<size_t>(ticks), std::chrono::steady_clock::now());
      }
    }
    finished.wait(lock, [&] { return read; });
  });
  std::thread timer = named(kTimer, [&] {
    auto next = std::chrono::steady_clock::now();
    for (int64_t i = 0; i < periods; ++i) {
      next += period;
      std::this_thread::sleep_until(next);
      {
        std::lock_guard lock(mutex);
        ++ticks;
      }
      // Told after the lock is left: a thread told under it would wake only to wait for it.
      tick.notify_one();
    }
    std::unique_lock lock(mutex);
    finished.notify_all();
    finished.wait(lock, [&] { return read; });
  });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return ticks == periods; });
  lock.unlock();
  // An ended thread's time is gone: both wait until it is read.
  const zorbench::ThreadCpu timerCpu = zorbench::ProcessThreadCpu(kTimer);
  const zorbench::ThreadCpu wokenCpu = zorbench::ProcessThreadCpu(kWoken);
  lock.lock();
  read = true;
  lock.unlock();
  finished.notify_all();
  timer.join();
  waiter.join();
  const auto count = static_cast<double>(periods);
  return {static_cast<double>(timerCpu.named) / 1000.0 / count,
          static_cast<double>(wokenCpu.named) / 1000.0 / count};
}

// Argument: the board's frame period in microseconds (1: as fast as it can).
void BM_ProcessMonoFramesIntoRingOf8(benchmark::State& state) {
  Bench& bench = Setup();
  if (bench.digitizer == 0) {
    state.SkipWithError("no digitizer");
    return;
  }
  boardsim::LocalBoards().Find(0)->SetFrameTime(static_cast<uint32_t>(state.range(0)));
  std::atomic<int64_t> frames{0};
  int64_t lost = 0;
  int64_t missed = 0;
  const zorbench::ThreadCpu before = zorbench::ProcessThreadCpu(boardsim::kClockThreadName);
  for (auto _ : state) {
    frames = 0;
    QdigProcess(bench.digitizer, bench.ring.data(), kRing, kSequence + (kFrames << 5), kSynchronous,
                &CountFrame, &frames);
    lost += kFrames - frames.load();
    QINT64 notGrabbed = 0;
    QdigInquire(bench.digitizer, kFramesMissed, &notGrabbed);
    missed += notGrabbed;
  }
  const zorbench::ThreadCpu after = zorbench::ProcessThreadCpu(boardsim::kClockThreadName);
  boardsim::LocalBoards().Find(0)->SetFrameTime(1);
  state.SetItemsProcessed(state.iterations() * kFrames);
  const double frameCount = static_cast<double>(state.iterations() * kFrames);
  ReportThreadCpu(state, before, after, frameCount);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations() * kFrames),
                                             benchmark::Counter::kIsRate);
  state.counters["us_per_frame"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kFrames),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["lost"] = static_cast<double>(lost);
  state.counters["missed"] = static_cast<double>(missed);
  if (state.range(0) < 1000) return;  // a timed wake-up is no reference for shorter periods
  const auto period = std::chrono::microseconds(state.range(0));
  const WakeCost reference = MeasureWakeCost(period, kFrames, false);
  state.counters["ref_woken_cpu_us"] = reference.wokenUs;
  state.counters["ref_timer_cpu_us"] = reference.timerUs;
  state.counters["ref_woken_critical_cpu_us"] = MeasureWakeCost(period, kFrames, true).wokenUs;
}
BENCHMARK(BM_ProcessMonoFramesIntoRingOf8)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
// 1000 frames per second: every frame the board makes is processed.
BENCHMARK(BM_ProcessMonoFramesIntoRingOf8)
    ->Arg(1000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

QINT64 RecordArrival(QINT64, QID, void* user) {
  static_cast<Arrivals*>(user)->times.push_back(std::chrono::steady_clock::now());
  return 0;
}

// Sixteen digitizers of one board, each processed by a thread of its own at
// 1,000 frames a second: every frame arrives, and on time (late: more than a
// frame period after its place).
void BM_Process16DigitizersAt1000Fps(benchmark::State& state) {
  Bench& bench = Setup();
  const auto index = static_cast<size_t>(state.thread_index());
  if (bench.digitizers.size() != kDigitizers || bench.digitizers[index] == 0) {
    state.SkipWithError("no digitizers");
    return;
  }
  constexpr auto kPeriod = std::chrono::microseconds(1000);
  static Lateness lateness;
  static zorbench::ThreadCpu before;
  if (state.thread_index() == 0) {
    boardsim::LocalBoards().Find(0)->SetFrameTime(static_cast<uint32_t>(kPeriod.count()));
    lateness.us.clear();
    before = zorbench::ProcessThreadCpu(boardsim::kClockThreadName);
  }
  int64_t lost = 0;
  for (auto _ : state) {
    Arrivals arrivals;
    arrivals.times.reserve(kFrames);
    QdigProcess(bench.digitizers[index], bench.rings[index].data(), kRing,
                kSequence + (kFrames << 5), kSynchronous, &RecordArrival, &arrivals);
    lost += kFrames - static_cast<int64_t>(arrivals.times.size());
    lateness.Add(arrivals, kPeriod);
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  state.counters["lost"] = static_cast<double>(lost);
  // Every thread has left the loop: the first reports for all.
  if (state.thread_index() != 0) return;
  const zorbench::ThreadCpu after = zorbench::ProcessThreadCpu(boardsim::kClockThreadName);
  const double frames = static_cast<double>(state.iterations() * kFrames * kDigitizers);
  const auto late = std::count_if(lateness.us.begin(), lateness.us.end(), [&](double us) {
    return us > static_cast<double>(kPeriod.count());
  });
  state.counters["late"] = static_cast<double>(late);
  state.counters["late_p50_us"] = lateness.Quantile(0.5);
  state.counters["late_p99_us"] = lateness.Quantile(0.99);
  state.counters["late_max_us"] = lateness.Quantile(1.0);
  ReportThreadCpu(state, before, after, frames);
  // The reference: sixteen timed threads that each wake another at the same rate, as the
  // board's clocks wake the hook threads, with nothing else to do.
  Lateness reference;
  std::vector<std::thread> pairs;
  for (QINT64 pair = 0; pair < kDigitizers; ++pair) {
    pairs.emplace_back([&] {
      for (int64_t run = 0; run < state.iterations(); ++run) {
        Arrivals arrivals;
        arrivals.times.reserve(kFrames);
        MeasureWakeCost(kPeriod, kFrames, true, &arrivals);
        reference.Add(arrivals, kPeriod);
      }
    });
  }
  for (std::thread& pair : pairs) pair.join();
  state.counters["ref_late"] =
      static_cast<double>(std::count_if(reference.us.begin(), reference.us.end(), [&](double us) {
        return us > static_cast<double>(kPeriod.count());
      }));
  state.counters["ref_late_p99_us"] = reference.Quantile(0.99);
  state.counters["ref_late_max_us"] = reference.Quantile(1.0);
}
BENCHMARK(BM_Process16DigitizersAt1000Fps)
    ->Threads(kDigitizers)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BoardRegionCopy(benchmark::State& state) {
  Bench& bench = Setup();
  const QID source =
      QbufAllocColor(bench.system, 1, kWidth / 2, kHeight / 2, 8, Q_IMAGE | 0x80000, nullptr);
  const QID destination = QbufAllocColor(bench.system, 1, kWidth / 2, kHeight / 2, 8,
                                         Q_IMAGE | 0x200 | 0x200000, nullptr);
  if (source == 0 || destination == 0) {
    state.SkipWithError("no buffers");
    return;
  }
  for (auto _ : state) QbufCopy(source, destination);
  state.SetBytesProcessed(state.iterations() * (kWidth / 2) * (kHeight / 2));
  QbufFree(source);
  QbufFree(destination);
}
BENCHMARK(BM_BoardRegionCopy)->Unit(benchmark::kMicrosecond);

void BM_MemcpyOfTheSameBytes(benchmark::State& state) {
  std::vector<uint8_t> from(static_cast<size_t>(kWidth / 2 * kHeight / 2), 7);
  std::vector<uint8_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(from.size()));
}
BENCHMARK(BM_MemcpyOfTheSameBytes)->Unit(benchmark::kMicrosecond);

}  // namespace
