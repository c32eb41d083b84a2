// CLog's writers: records stored into the shared ring without a lock.
#include "driver/foundation/log.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "driver/foundation/logrecord.h"
#include "driver/foundation/logtag.h"
#include "driver/foundation/timestamp.h"
#include "platform/os/cpu/processor.h"
#include "platform/os/process/files.h"
#include "platform/os/sync/thread.h"

namespace zor::foundation {

namespace {

constexpr uint64_t kKeptThreadBits = 0xF000000000000000ull;

// Record fields are shared memory that a reader (or the kernel driver) may look at any time.
template <typename T>
void Store(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

}  // namespace

CLog* CLog::Instance() {
  // One object for the library's lifetime: threads may still hold it when the driver goes
  // away, so Release puts it back to its first-use state instead of deleting it.
  static CLog log;
  return &log;
}

void CLog::Release() {
  CLog& log = *Instance();
  log.FreeBuffer(false);
  log.requestedSize_ = 0;
  for (std::atomic<uint8_t>& category : log.categories_) {
    category.store(0, std::memory_order_relaxed);
  }
  log.SetFolder(L".");
}

CLog::CLog() { SetFolder(L"."); }

void CLog::Write(const CLogProvider& provider, uint32_t kind, uint32_t tag1, uint64_t value1,
                 uint32_t tag2, uint64_t value2, uint32_t tag3, uint64_t value3) {
  const uint32_t tags[3] = {tag1, tag2, tag3};
  const uint64_t values[3] = {value1, value2, value3};
  const uint32_t emptyTags[3] = {kEmptyLogTag, kEmptyLogTag, kEmptyLogTag};
  const uint64_t emptyValues[3] = {};
  const RingUse use(ringUsers_);
  for (;;) {
    const Append result = TryAppend(provider, kind, tags, values);
    if (result == Append::kDone) return;
    if (result == Append::kRestarted) {
      // This writer moved the offset back to the first record: it marks the wrap.
      while (TryAppend(provider, kLogKindWrap, emptyTags, emptyValues) != Append::kDone) {
      }
    }
  }
}

void CLog::Log(const CLogProvider& provider, uint32_t kind, uint32_t tag1, uint64_t value1,
               uint32_t tag2, uint64_t value2, uint32_t tag3, uint64_t value3) {
  Write(provider, kind, tag1, value1, tag2, value2, tag3, value3);
}

void CLog::WriteEvent(const CLogProvider& provider, uint32_t kind) {
  Write(provider, kind, kEmptyLogTag, 0, kEmptyLogTag, 0, kEmptyLogTag, 0);
}

// Written (or dropped for want of a ring), or the reserved offset lay outside the ring or its
// slot is still being filled by a writer that a full lap overtook. Of
// several writers that reserved past the end only the last one sets the offset back, so no
// two writers are ever handed the same record.
CLog::Append CLog::TryAppend(const CLogProvider& provider, uint32_t kind, const uint32_t tags[3],
                             const uint64_t values[3]) {
  uint8_t* const ring = ring_.load();
  const uint32_t ringSize = ringSize_.load();
  if (ring == nullptr || ringSize == 0) return Append::kDone;
  auto* header = reinterpret_cast<LogRingHeader*>(ring);
  std::atomic_ref<uint32_t> writeOffset(header->writeOffset);
  uint32_t full = ringSize;
  writeOffset.compare_exchange_strong(full, kLogHeaderSize);
  const uint32_t at = writeOffset.fetch_add(kLogRecordSize);
  // The header is shared with the kernel driver: an offset below the records, off the record
  // grid, or whose record would not end inside the memory is never written to.
  if (at < kLogHeaderSize || at >= ringSize || (at - kLogHeaderSize) % kLogRecordSize != 0 ||
      requestedSize_ - at < kLogRecordSize) {
    uint32_t next = at + kLogRecordSize;
    return writeOffset.compare_exchange_strong(next, kLogHeaderSize) ? Append::kRestarted
                                                                     : Append::kRetry;
  }

  std::atomic<bool>& claim = slotClaims_[(at - kLogHeaderSize) / kLogRecordSize % kClaimSlots];
  if (claim.exchange(true, std::memory_order_acquire)) return Append::kRetry;
  auto* record = reinterpret_cast<LogRecord*>(ring + at);
  std::atomic_ref<uint64_t> timeStamp(record->timeStamp);
  timeStamp.store(0);
  Store(record->sourceId, provider.SourceId());
  Store(record->sequenceWord,
        (provider.Sequence() & 0xFFFFF) | 1u << 20 | (provider.Word4() & 7) << 21);
  thread_local const uint64_t thread = os::GetCurrentThreadId() & 0xFFFFFFu;  // asked once
  const uint64_t processor = os::GetCurrentProcessorNumber() & 0xFFu;
  const uint64_t word3 = provider.Word3() & 0xFFFFFu;
  const uint64_t kept =
      std::atomic_ref<uint64_t>(record->threadWord).load(std::memory_order_relaxed);
  Store(record->threadWord, (kept & kKeptThreadBits) | thread | processor << 32 | word3 << 40);
  Store(record->kind, kind);
  for (int i = 0; i < 3; ++i) {
    Store(record->pairs[i].tag, tags[i]);
    Store(record->pairs[i].value, values[i]);
  }
  timeStamp.store(GetTimeStamp());
  claim.store(false, std::memory_order_release);
  return Append::kDone;
}

void CLog::Reset() {
  const RingUse use(ringUsers_);
  uint8_t* const ring = ring_.load();
  if (ring == nullptr || bufferId_ == 0) return;
  auto* header = reinterpret_cast<LogRingHeader*>(ring);
  // Never clear past the memory this log was given, whatever the header says.
  const uint32_t total = std::min(header->totalSize, requestedSize_);
  if (total > kLogHeaderSize) memset(ring + kLogHeaderSize, 0, total - kLogHeaderSize);
  std::atomic_ref<uint32_t>(header->writeOffset).store(kLogHeaderSize);
}

void CLog::SetFolder(const wchar_t* path) {
  wchar_t qualified[kMaxFolder];
  const uint32_t length =
      os::GetFullPathName(path != nullptr ? path : L".", kMaxFolder, qualified, nullptr);
  if (length == 0 || length >= kMaxFolder) return;  // a folder that does not fit is refused
  const std::lock_guard<std::mutex> lock(folderLock_);
  folder_.assign(qualified, length);
  if (folder_.size() > 1 && folder_.back() == L'/') folder_.pop_back();  // Save adds the separator
}

void CLog::GetFolder(wchar_t* out, size_t capacity) const {
  if (out == nullptr || capacity == 0) return;
  const std::lock_guard<std::mutex> lock(folderLock_);
  const size_t n = std::min(folder_.size(), capacity - 1);
  wmemcpy(out, folder_.data(), n);
  out[n] = L'\0';
}

void CLog::SetCategory(int category, bool enabled) {
  if (category >= 0 && category < kCategoryCount) {
    categories_[category].store(enabled ? 1 : 0, std::memory_order_relaxed);
  }
}

bool CLog::IsCategoryEnabled(int category) const {
  return category >= 0 && category < kCategoryCount &&
         categories_[category].load(std::memory_order_relaxed) != 0;
}

// Takes the writer's limit from the header, trimmed to the memory it describes.
void CLog::AttachRing(uint8_t* ring, uint32_t memorySize) {
  uint32_t ringSize = 0;
  if (ring != nullptr && memorySize >= kLogHeaderSize + kLogRecordSize) {
    ringSize = std::min(reinterpret_cast<LogRingHeader*>(ring)->ringSize, memorySize);
    if (ringSize < kLogHeaderSize + kLogRecordSize) ringSize = 0;
  }
  ring_.store(ring);
  ringSize_.store(ringSize);
}

}  // namespace zor::foundation
