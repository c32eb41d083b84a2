// zordemo: allocates a Dravion Lyn system through the host library, which loads the driver,
// prints the board's facts, allocates a digitizer from a camera file (NTSC unless a DCF name is
// given), counts a few of its frames with a hook and writes a few grabbed frames as PNG files.
// With --browser it opens the feature browser of the system and the digitizer instead, prints
// the address the server bound and grabs until interrupted. With --continuous FRAMES [RING] it
// also processes FRAMES frames into a ring of RING buffers and reports frames per second and
// frames lost. `zordemo --help` tells the options.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "examples/mainguard/mainguard.h"
#include "examples/zordemo/framefiles.h"
#include "examples/zordemo/options.h"
#include "platform/host/hostservices.h"
#include "platform/host/zor.h"

namespace {

constexpr int kSavedFrames = 3;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

using ErrorRangeFunction = int32_t (*)(int32_t, uint32_t*, uint32_t*, uint32_t*, const wchar_t**);

std::wstring ErrorText(QINT64 type) {
  wchar_t text[Q_ERROR_TEXT_SIZE] = {};
  QappGetError(Q_DEFAULT, type, text);
  return text;
}

// The current error with every text it has: the message, then each detail on a line.
void PrintHostError() {
  const QINT64 code = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  std::printf("zordemo: error %lld in %ls(): %ls\n", static_cast<long long>(code),
              ErrorText(Q_CURRENT_FCT).c_str(), ErrorText(Q_MESSAGE).c_str());
  for (QINT64 detail : {Q_CURRENT_SUB_1_TEXT, Q_CURRENT_SUB_2_TEXT, Q_CURRENT_SUB_3_TEXT}) {
    const std::wstring text = ErrorText(detail);
    if (!text.empty()) std::printf("zordemo:     %ls\n", text.c_str());
  }
}

bool Failed() { return QappGetError(Q_DEFAULT, Q_CURRENT, nullptr) != 0; }

// The driver lies beside the host library, which has loaded it by now if it could.
void* LoadedDriver() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&QsysAlloc), &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  std::string path = info.dli_fname;
  path = path.substr(0, path.rfind('/') + 1) + "libZorDravionLyn.so";
  return dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
}

void PrintErrorRanges(void* driver) {
  auto getErrorRange = reinterpret_cast<ErrorRangeFunction>(dlsym(driver, "GetErrorRange"));
  if (getErrorRange == nullptr) {
    std::printf("zordemo: the driver does not export its error ranges yet\n");
    return;
  }
  uint32_t first = 0;
  uint32_t last = 0;
  uint32_t subCount = 0;
  const wchar_t* name = nullptr;
  for (int32_t index = 0; getErrorRange(index, &first, &last, &subCount, &name) == 0; ++index) {
    std::printf("zordemo: error range %d: %ls, codes %u to %u, %u messages each\n", index,
                name != nullptr ? name : L"", first, last, subCount);
  }
}

const char* Variant(QINT64 capabilities) {
  if ((capabilities & (1 << 18)) != 0) return "standard";
  if ((capabilities & (1 << 17)) != 0) {
    return (capabilities & (1 << 19)) != 0 ? "four decoders, MPEG-4" : "four decoders";
  }
  return (capabilities & (1 << 19)) != 0 ? "MPEG-4" : "unknown";
}

QINT64 Inquire(QID system, QINT64 type) {
  QINT64 value = 0;
  QsysInquire(system, type, &value);
  return value;
}

void PrintBoardFacts(QID system) {
  const QINT64 capabilities = Inquire(system, 2014);
  std::printf("zordemo: serial number %lld\n", static_cast<long long>(Inquire(system, 2093)));
  std::printf("zordemo: board revision %lld\n", static_cast<long long>(Inquire(system, 2345)));
  std::printf("zordemo: grab-module firmware code %08llX\n",
              static_cast<unsigned long long>(Inquire(system, 2155)));
  std::printf("zordemo: variant %s (capabilities %06llX)\n", Variant(capabilities),
              static_cast<unsigned long long>(capabilities));
  std::printf("zordemo: %lld channels\n", static_cast<long long>(Inquire(system, 2004)));
  wchar_t name[32] = {};
  QsysInquire(system, 7702, name);
  std::printf("zordemo: board name %ls, system number %lld, thread time-out %lld s\n", name,
              static_cast<long long>(Inquire(system, 1009)),
              static_cast<long long>(Inquire(system, 2077)));
}

// Standard families as the decoder reports them (status register 1, bits 6:4).
const char* StandardName(QINT64 status) {
  static const char* const kNames[8] = {"NTSC-M/J",      "NTSC 4.43", "PAL-M",     "PAL-60",
                                        "PAL-B/G/H/I/D", "SECAM",     "PAL-CombN", "SECAM 525"};
  return kNames[(status >> 4) & 7];
}

QINT64 CountFrame(QINT64, QID, void* user) {
  ++*static_cast<std::atomic<int>*>(user);
  return 0;
}

// Shows the digitizer of the camera file and saves frames; false when it could not be allocated.
bool ShowDigitizer(QID system, const zordemo::Options& options) {
  QID digitizer = 0;
  if (QdigAlloc(system, 0, options.dcf.c_str(), Q_DEFAULT, &digitizer) == 0) {
    std::printf("zordemo: no digitizer from %ls\n", options.dcf.c_str());
    PrintHostError();
    return false;
  }
  QINT64 width = 0, height = 0, bands = 0, period = 0, status = 0;
  QdigInquire(digitizer, Q_SIZE_X, &width);
  QdigInquire(digitizer, Q_SIZE_Y, &height);
  QdigInquire(digitizer, 1005, &bands);
  QdigInquire(digitizer, 4142, &period);
  QdigInquire(digitizer, 6801, &status);
  std::printf("zordemo: digitizer from %ls: %lld x %lld, %lld band%s, %s\n", options.dcf.c_str(),
              static_cast<long long>(width), static_cast<long long>(height),
              static_cast<long long>(bands), bands == 1 ? "" : "s", StandardName(status));
  std::printf("zordemo: frame period %lld ms, %.2f frames a second\n",
              static_cast<long long>(period), period > 0 ? 1000.0 / period : 0.0);
  std::atomic<int> frames{0};
  QdigHookFunction(digitizer, Q_GRAB_FRAME_END, &CountFrame, &frames);
  for (int i = 0; i < 5; ++i) QdigGrabWait(digitizer, Q_GRAB_NEXT_FRAME);
  // The events reach the hook thread a moment after the wait has ended.
  for (int i = 0; i < 100 && frames.load() < 5; ++i) usleep(10000);
  QdigHookFunction(digitizer, Q_GRAB_FRAME_END + Q_UNHOOK, &CountFrame, &frames);
  std::printf("zordemo: %d frames ended while it waited for 5\n", frames.load());
  if (zordemo::SaveFrames(system, digitizer, kSavedFrames, options.out) < kSavedFrames &&
      Failed()) {
    PrintHostError();
  }
  QdigFree(digitizer);
  return true;
}

constexpr QINT64 kFeatureBrowser = 6905;
constexpr QINT64 kOpen = 16;
constexpr QINT64 kClose = 32;
constexpr QINT64 kListObjects = 15;
std::atomic<bool> interrupted{false};

void Interrupt(int) { interrupted = true; }

// The address of the running feature-browser server, as the host's server object serves it.
std::wstring ServedAddress() {
  std::vector<QID> servers(16);
  const QINT64 count = HostAppListObjects(Q_DEFAULT, kListObjects, Q_HTTP_SERVER,
                                          static_cast<QINT64>(servers.size()), servers.data());
  for (QINT64 i = 0; i < count && i < static_cast<QINT64>(servers.size()); ++i) {
    if (HostObjInquire(servers[i], Q_HTTP_STATE, nullptr) != Q_HTTP_START) continue;
    QINT64 length = 0;
    HostObjInquire(servers[i], Q_HTTP_URL + Q_STRING_SIZE, &length);
    if (length <= 1) continue;
    std::wstring url(static_cast<size_t>(length), L'\0');
    HostObjInquire(servers[i], Q_HTTP_URL, url.data());
    url.resize(static_cast<size_t>(length - 1));
    return url + L"/";
  }
  return {};
}

// The feature browser of the system and a digitizer, while the digitizer grabs; false when the
// digitizer or the browser failed.
bool BrowseFeatures(QID system, const zordemo::Options& options) {
  QID digitizer = 0;
  if (QdigAlloc(system, 0, options.dcf.c_str(), Q_DEFAULT, &digitizer) == 0) {
    std::printf("zordemo: no digitizer from %ls\n", options.dcf.c_str());
    PrintHostError();
    return false;
  }
  QsysControl(system, kFeatureBrowser, kOpen);
  if (!Failed()) QdigControl(digitizer, kFeatureBrowser, kOpen);
  const std::wstring address = Failed() ? std::wstring() : ServedAddress();
  if (address.empty()) {
    std::printf("zordemo: the feature browser did not start\n");
    if (Failed()) PrintHostError();
    QsysControl(system, kFeatureBrowser, kClose);
    QdigFree(digitizer);
    return false;
  }
  // Before the address goes out: whoever reads it may end the demonstration at once.
  std::signal(SIGINT, Interrupt);
  std::signal(SIGTERM, Interrupt);
  std::printf("zordemo: feature browser at %ls (Ctrl+C ends)\n", address.c_str());
  std::fflush(stdout);
  QINT64 width = 0, height = 0;
  QdigInquire(digitizer, Q_SIZE_X, &width);
  QdigInquire(digitizer, Q_SIZE_Y, &height);
  const QID buffer =
      QbufAlloc2d(system, width, height, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, nullptr);
  if (buffer != 0) QdigGrabContinuous(digitizer, buffer);
  while (!interrupted) usleep(100000);
  if (buffer != 0) {
    QdigHalt(digitizer);
    QbufFree(buffer);
  }
  QsysControl(system, kFeatureBrowser, kClose);
  QdigFree(digitizer);
  std::printf("zordemo: feature browser closed\n");
  return true;
}

QINT64 CountProcessed(QINT64, QID, void* user) {
  ++*static_cast<std::atomic<int64_t>*>(user);
  return 0;
}

// Continuous mode: frames processed into a ring of buffers until the count is reached.
void ProcessContinuously(QID system, QINT64 frames, QINT64 ringSize) {
  const QID digitizer = QdigAlloc(system, 0, L"Q_NTSC", Q_DEFAULT, nullptr);
  if (digitizer == 0) {
    PrintHostError();
    return;
  }
  std::vector<QID> ring;
  for (QINT64 i = 0; i < ringSize; ++i) {
    const QID buffer =
        QbufAllocColor(system, 1, 640, 480, 8 + Q_UNSIGNED, Q_IMAGE + Q_GRAB + Q_PROC, nullptr);
    if (buffer == 0) break;
    ring.push_back(buffer);
  }
  if (static_cast<QINT64>(ring.size()) == ringSize) {
    std::atomic<int64_t> processed{0};
    const auto start = std::chrono::steady_clock::now();
    QdigProcess(digitizer, ring.data(), ringSize, Q_START_SEQUENCE + (frames << 5), Q_SYNCHRONOUS,
                &CountProcessed, &processed);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (Failed()) PrintHostError();
    QINT64 missed = 0;
    QdigInquire(digitizer, 5334, &missed);
    std::printf(
        "zordemo: %lld frames into a ring of %lld in %.3f s: %.1f frames per second, "
        "%lld frames lost\n",
        static_cast<long long>(processed.load()), static_cast<long long>(ringSize), elapsed.count(),
        static_cast<double>(processed.load()) / elapsed.count(), static_cast<long long>(missed));
  } else {
    PrintHostError();
  }
  for (QID buffer : ring) QbufFree(buffer);
  QdigFree(digitizer);
}

void PrintDriverErrorRanges() {
  void* driver = LoadedDriver();
  if (driver == nullptr) {
    std::printf("zordemo: the host library could not load the driver\n");
    return;
  }
  PrintErrorRanges(driver);
  dlclose(driver);
}

int Run(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  zordemo::Options options;
  std::string problem;
  if (!zordemo::ParseOptions(argc, argv, &options, &problem)) {
    std::fprintf(stderr, "zordemo: %s\n", problem.c_str());
    zordemo::PrintUsage(stderr);
    return kUsage;
  }
  if (options.help) {
    zordemo::PrintUsage(stdout);
    return 0;
  }
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  const QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
  if (system == 0) {
    std::printf("zordemo: no Dravion Lyn system\n");
    PrintHostError();
    return kFailed;
  }
  std::printf("zordemo: Dravion Lyn system allocated\n");
  PrintBoardFacts(system);
  bool done = false;
  if (options.browser) {
    done = BrowseFeatures(system, options);
  } else {
    done = ShowDigitizer(system, options);
    if (done && options.continuousFrames > 0) {
      ProcessContinuously(system, options.continuousFrames, options.ring);
    }
  }
  if (options.errors) PrintDriverErrorRanges();
  QsysFree(system);
  return done ? 0 : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  return examples::RunGuarded("zordemo", kFailed, [&] { return Run(argc, argv); });
}
