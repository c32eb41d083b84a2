// zordemo: allocates a Dravion Lyn system through the host library, which loads the driver,
// and prints the board's facts and what the driver tells about itself.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
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

}  // namespace

int main() {
  QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
  QID system = QsysAlloc(Q_DEFAULT, L"Q_SYSTEM_DRAVIONLYN", 0, Q_DEFAULT, nullptr);
  if (system != 0) {
    std::printf("zordemo: Dravion Lyn system allocated\n");
    PrintBoardFacts(system);
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
