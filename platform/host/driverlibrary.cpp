#include "platform/host/driverlibrary.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

#include "interfaces/hostcommand/opcodes.h"
#include "platform/host/driverseam.h"
#include "platform/os/text/convert.h"

namespace zorhost {
namespace {

struct BoardEntry {
  const wchar_t* descriptor;
  const char* board;     // also the suffix of the ZOR_DRIVER_ override variable
  const char* fileName;  // beside libZOR.so
  const char* decoder;
};

constexpr BoardEntry kBoards[] = {
    {L"Q_SYSTEM_DRAVIONLYN", "DRAVIONLYN", "libZorDravionLyn.so", "QDDravionLynCommandDecoder"},
};

const BoardEntry* FindBoard(const std::wstring& descriptor) {
  for (const BoardEntry& entry : kBoards) {
    if (descriptor == entry.descriptor) return &entry;
  }
  return nullptr;
}

std::string HostFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&HostFolder), &info) == 0 || info.dli_fname == nullptr) {
    return ".";
  }
  std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::mutex& LoadMutex() {
  static std::mutex mutex;
  return mutex;
}

// Loaded drivers are never unloaded: threads may still run in them until the process ends.
std::vector<DriverLibrary*>& Drivers() {
  static auto* drivers = new std::vector<DriverLibrary*>;
  return *drivers;
}

void* LibrarySymbol(const char* symbol, void* handle) { return dlsym(handle, symbol); }

}  // namespace

bool DriverLibrary::IsBoardDescriptor(const std::wstring& descriptor) {
  return FindBoard(descriptor) != nullptr;
}

DriverLibrary* DriverLibrary::Find(const std::wstring& descriptor) {
  for (DriverLibrary* driver : Drivers()) {
    if (driver->board_ == descriptor) return driver;
  }
  return nullptr;
}

DriverLibrary* DriverLibrary::ForDescriptor(const std::wstring& descriptor, HostError* error) {
  const BoardEntry* entry = FindBoard(descriptor);
  if (entry == nullptr) return nullptr;
  {
    std::lock_guard lock(LoadMutex());
    if (DriverLibrary* known = Find(descriptor)) return known;
  }
  const char* override = std::getenv((std::string("ZOR_DRIVER_") + entry->board).c_str());
  const std::string path = override != nullptr && *override != '\0'
                               ? std::string(override)
                               : HostFolder() + "/" + entry->fileName;
  // Loaded without the lock: the driver's initialisers may call the host.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    *error = MakeHostError(Q_ERR_SYSTEM_NOT_FOUND, os::Utf8ToWide(path),
                           os::Utf8ToWide(reason != nullptr ? reason : ""));
    return nullptr;
  }
  DriverLibrary* driver = nullptr;
  {
    std::lock_guard lock(LoadMutex());
    if (DriverLibrary* known = Find(descriptor)) {
      dlclose(handle);  // another thread was first
      return known;
    }
    driver = Resolve(descriptor, entry->decoder, LibrarySymbol, handle);
  }
  if (driver == nullptr) {
    dlclose(handle);
    *error = MakeHostError(Q_ERR_SYSTEM_NOT_FOUND, os::Utf8ToWide(path),
                           L"The library has no command decoder.");
    return nullptr;
  }
  // Sent outside the load lock, as the driver may call back into the host. The library stays
  // loaded for the whole process, so no detach notice ever follows.
  driver->NotifyProcessAttach();
  return driver;
}

bool DriverLibrary::UseResolver(const std::wstring& descriptor, void* (*resolve)(const char*)) {
  const BoardEntry* entry = FindBoard(descriptor);
  if (entry == nullptr || resolve == nullptr) return false;
  std::lock_guard lock(LoadMutex());
  auto call = [](const char* symbol, void* context) {
    return reinterpret_cast<void* (*)(const char*)>(context)(symbol);
  };
  return Resolve(descriptor, entry->decoder, call, reinterpret_cast<void*>(resolve)) != nullptr;
}

// Called under the load lock. A board served before keeps its object, so that threads that
// know it stay valid.
DriverLibrary* DriverLibrary::Resolve(const std::wstring& descriptor, const char* decoder,
                                      void* (*resolve)(const char*, void*), void* context) {
  auto function = reinterpret_cast<QDCommandDecoderFunction>(resolve(decoder, context));
  if (function == nullptr) return nullptr;
  DriverLibrary* driver = Find(descriptor);
  if (driver == nullptr) {
    driver = new DriverLibrary;
    driver->board_ = descriptor;
    Drivers().push_back(driver);
  }
  driver->decoder_ = function;
  driver->getErrorRange_ = reinterpret_cast<RangeFunction>(resolve("GetErrorRange", context));
  driver->getErrorMessage_ = reinterpret_cast<MessageFunction>(resolve("GetErrorMessage", context));
  return driver;
}

std::vector<DriverLibrary*> DriverLibrary::Loaded() {
  std::lock_guard lock(LoadMutex());
  return Drivers();
}

void DriverLibrary::Decode(QDCommandRecord& record) { decoder_(&record); }

void DriverLibrary::NotifyThreadEnd() {
  QDCommandRecord record{};
  record.header = QD_RECORD_HEADER;
  record.operation = zor::hostcommand::kDrvThreadEnd;
  record.status = QD_STATUS_PENDING;
  decoder_(&record);
}

void DriverLibrary::NotifyProcessAttach() {
  constexpr int64_t kAttach = 0x10000;
  QDCommandRecord record{};
  record.header = QD_RECORD_HEADER;
  record.paramCount = 1;
  record.operation = zor::hostcommand::kDrvProcessAttach;
  record.status = QD_STATUS_PENDING;
  record.params[0].type = QD_TYPE_INT64;
  record.params[0].value.integer = kAttach;
  decoder_(&record);
}

std::vector<ErrorRange> DriverLibrary::ErrorRanges() const {
  std::vector<ErrorRange> ranges;
  if (getErrorRange_ == nullptr) return ranges;
  for (int32_t index = 0;; ++index) {
    ErrorRange range;
    uint32_t subCount = 0;
    const wchar_t* name = nullptr;
    if (getErrorRange_(index, &range.first, &range.last, &subCount, &name) != 0) break;
    range.name = name != nullptr ? name : L"";
    ranges.push_back(std::move(range));
  }
  return ranges;
}

std::wstring DriverLibrary::ErrorMessage(QINT64 code, QINT64 sub) const {
  const wchar_t* text = nullptr;
  if (getErrorMessage_ == nullptr ||
      getErrorMessage_(static_cast<int32_t>(code), static_cast<int32_t>(sub), &text) != 0 ||
      text == nullptr) {
    return {};
  }
  return text;
}

bool DriverLibrary::OwnsCode(QINT64 code) const {
  for (const ErrorRange& range : ErrorRanges()) {
    if (code >= range.first && code <= range.last) return true;
  }
  return false;
}

}  // namespace zorhost

ZOR_API void HostUseDriverForTests(const wchar_t* descriptor,
                                   void* (*resolve)(const char* symbol)) {
  if (descriptor != nullptr) zorhost::DriverLibrary::UseResolver(descriptor, resolve);
}
