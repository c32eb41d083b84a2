// zordemo: allocates a Dravion Lyn system through the host library, which loads the driver,
// prints the board's facts and what the driver tells about itself, allocates a digitizer from a
// camera file (NTSC unless a DCF name is given) and counts a few of its frames with a hook.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host/zor.h"

namespace {

using ErrorRangeFunction = int32_t (*)(int32_t, uint32_t*, uint32_t*, uint32_t*, const wchar_t**);

void PrintHostError() {
  wchar_t message[Q_ERROR_TEXT_SIZE] = {};
  wchar_t detail[Q_ERROR_TEXT_SIZE] = {};
  const QINT64 code = QappGetError(Q_DEFAULT, Q_CURRENT, nullptr);
  QappGetError(Q_DEFAULT, Q_MESSAGE, message);
  QappGetError(Q_DEFAULT, Q_CURRENT_SUB_1_TEXT, detail);
  std::printf("zordemo: error %lld: %ls %ls\n", static_cast<long long>(code), message, detail);
}

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

void ShowDigitizer(QID system, const wchar_t* dcf) {
  QID digitizer = 0;
  if (QdigAlloc(system, 0, dcf, Q_DEFAULT, &digitizer) == 0) {
    std::printf("zordemo: no digitizer from %ls\n", dcf);
    PrintHostError();
    return;
  }
  QINT64 width = 0, height = 0, bands = 0, period = 0, status = 0;
  QdigInquire(digitizer, 1536, &width);
  QdigInquire(digitizer, 1537, &height);
  QdigInquire(digitizer, 1005, &bands);
  QdigInquire(digitizer, 4142, &period);
  QdigInquire(digitizer, 6801, &status);
  std::printf("zordemo: digitizer from %ls: %lld x %lld, %lld band%s, %s\n", dcf,
              static_cast<long long>(width), static_cast<long long>(height),
              static_cast<long long>(bands), bands == 1 ? "" : "s", StandardName(status));
  std::printf("zordemo: frame period %lld ms, %.2f frames a second\n",
              static_cast<long long>(period), period > 0 ? 1000.0 / period : 0.0);
  std::atomic<int> frames{0};
  QdigHookFunction(digitizer, 5, &CountFrame, &frames);  // end of each frame
  for (int i = 0; i < 5; ++i) QdigGrabWait(digitizer, 5);
  // The events reach the hook thread a moment after the wait has ended.
  for (int i = 0; i < 100 && frames.load() < 5; ++i) usleep(10000);
  QdigHookFunction(digitizer, 5 + Q_UNHOOK, &CountFrame, &frames);
  std::printf("zordemo: %d frames ended while it waited for 5\n", frames.load());
  QdigFree(digitizer);
}

}  // namespace

int main(int argc, char** argv) {
  const std::wstring dcf =
      argc > 1 ? std::wstring(argv[1], argv[1] + std::strlen(argv[1])) : std::wstring(L"Q_NTSC");
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
  if (system != 0) {
    std::printf("zordemo: Dravion Lyn system allocated\n");
    PrintBoardFacts(system);
    ShowDigitizer(system, dcf.c_str());
  } else {
    std::printf("zordemo: no Dravion Lyn system\n");
    PrintHostError();
  }
  void* driver = LoadedDriver();
  if (driver == nullptr) {
    std::printf("zordemo: the host library could not load the driver\n");
  } else {
    PrintErrorRanges(driver);
    dlclose(driver);
  }
  if (system != 0) QsysFree(system);
  return 0;
}
