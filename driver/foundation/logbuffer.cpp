// CLog's ring memory: allocated as a host buffer, freed once its users are gone, saved to a file.
#include <cwchar>
#include <string>
#include <thread>

#include "driver/foundation/log.h"
#include "driver/foundation/logrecord.h"
#include "platform/host/hostservices.h"

namespace zor::foundation {

namespace {

constexpr QINT64 kRingBitDepth = 8;
constexpr QINT64 kWrappedAttribute = 0x10000004;
constexpr QINT64 kWrappedFlags = 0x48000000;
constexpr QINT64 kHostAttribute = 0x10200004;
constexpr QINT64 kHostFlags = 0x100000;
// The host object's in-use control, which the feature hooks set on their events; the log's
// buffer has it off.
constexpr QINT64 kInUseControl = 1043;
constexpr QINT64 kExportFormat = 1;
constexpr size_t kMaxSavePath = 323;

}  // namespace

int32_t CLog::AllocBuffer(void* memory, uint32_t size) {
  if (bufferId_ != 0) return RingSize() != 0 ? 0 : 1;  // one buffer at a time
  const QINT64 attribute = memory != nullptr ? kWrappedAttribute : kHostAttribute;
  const QINT64 flags = memory != nullptr ? kWrappedFlags : kHostFlags;
  const QID buffer = HostBufCreate2d(Q_DEFAULT_HOST, size, 1, kRingBitDepth, attribute, flags, size,
                                     memory, nullptr);
  if (buffer == 0) return 1;
  bufferId_ = static_cast<uint64_t>(buffer);
  HostBufControl(buffer, kInUseControl, 0);
  void* ring = nullptr;
  HostBufInquire(buffer, Q_HOST_ADDRESS, &ring);
  if (memory != nullptr) {
    bufferAddress_ = reinterpret_cast<uint64_t>(memory);
  } else {
    QINT64 address = 0;
    HostBufInquire(buffer, Q_PHYSICAL_ADDRESS, &address);
    bufferAddress_ = static_cast<uint64_t>(address);
  }
  requestedSize_ = size;
  AttachRing(static_cast<uint8_t*>(ring), size);
  return RingSize() != 0 ? 0 : 1;
}

int32_t CLog::FreeBuffer(bool clear) {
  if (bufferId_ == 0) return 1;
  // The memory stays until its users are done: new ones find no ring, and those already
  // inside a record, a reset or an export finish first.
  AttachRing(nullptr, 0);
  while (ringUsers_.load() != 0) std::this_thread::yield();
  const auto buffer = static_cast<QID>(bufferId_);
  if (clear) HostBufClear(buffer, 0);
  HostBufFree(buffer);
  bufferId_ = 0;
  bufferAddress_ = 0;
  return 0;
}

void CLog::Save(const wchar_t* name) {
  std::wstring folder;
  {
    const ScopedLock lock(folderLock_);
    folder = folder_;
  }
  SaveToFile(folder.c_str(), name);
}

void CLog::SaveToFile(const wchar_t* folder, const wchar_t* name) {
  const RingUse use(ringUsers_);
  if (Ring() == nullptr || bufferId_ == 0 || folder == nullptr || name == nullptr) return;
  const std::wstring path = std::wstring(folder) + L"/" + name;
  if (path.size() > kMaxSavePath) return;  // a cut-off name would land elsewhere
  HostBufExport(path.c_str(), kExportFormat, static_cast<QID>(bufferId_));
}

}  // namespace zor::foundation
