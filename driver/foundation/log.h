// CLog: the driver log, a ring of fixed-size records the kernel driver can share.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "driver/foundation/lockorder.h"
#include "driver/foundation/logprovider.h"
#include "driver/foundation/mutex.h"

namespace zor::foundation {

// Categories the driver's parts write under (CLog::SetCategory turns each on).
inline constexpr int kGrabLogCategory = 9;    // grabs, their processing and the hooks they call
inline constexpr int kErrorLogCategory = 13;  // errors recorded and cleared

// The driver log: a lock-free ring of fixed-size records (logrecord.h) in a host buffer that
// may wrap the kernel driver's log memory. Without a ring every write is dropped.
class CLog {
 public:
  static constexpr int kCategoryCount = 64;
  static constexpr size_t kMaxFolder = 260;

  // Created on first use; never null afterwards, and never deleted while the library is loaded.
  static CLog* Instance();
  // Frees the ring and returns the log to its first-use state.
  static void Release();

  virtual ~CLog() = default;

  // Makes the ring's host buffer, wrapping `memory` when given. 0 when the ring is usable.
  int32_t AllocBuffer(void* memory, uint32_t size);
  // 0, or 1 when there was no buffer. Returns once no writer touches the ring any more.
  int32_t FreeBuffer(bool clear);

  void Write(const CLogProvider& provider, uint32_t kind, uint32_t tag1, uint64_t value1,
             uint32_t tag2, uint64_t value2, uint32_t tag3, uint64_t value3);
  void Log(const CLogProvider& provider, uint32_t kind, uint32_t tag1, uint64_t value1,
           uint32_t tag2, uint64_t value2, uint32_t tag3, uint64_t value3);
  void WriteEvent(const CLogProvider& provider, uint32_t kind);
  void Reset();

  // Exports the ring as an image file "<folder>/<name>"; nothing without a ring.
  void Save(const wchar_t* name);
  void SaveToFile(const wchar_t* folder, const wchar_t* name);

  void SetFolder(const wchar_t* path);
  // Copies the folder into out (at most `capacity` characters, NUL included).
  void GetFolder(wchar_t* out, size_t capacity) const;

  void SetCategory(int category, bool enabled);
  bool IsCategoryEnabled(int category) const;

  uint64_t BufferId() const { return bufferId_; }
  uint64_t BufferAddress() const { return bufferAddress_; }
  uint8_t* Ring() const { return ring_.load(); }
  uint32_t RingSize() const { return ringSize_.load(); }

 private:
  // Counts a use of the ring memory; FreeBuffer waits until none is left.
  class RingUse {
   public:
    explicit RingUse(std::atomic<uint32_t>& users) : users_(users) { users_.fetch_add(1); }
    ~RingUse() { users_.fetch_sub(1); }
    RingUse(const RingUse&) = delete;
    RingUse& operator=(const RingUse&) = delete;

   private:
    std::atomic<uint32_t>& users_;
  };

  CLog();
  void AttachRing(uint8_t* ring, uint32_t memorySize);
  enum class Append { kDone, kRetry, kRestarted };
  Append TryAppend(const CLogProvider& provider, uint32_t kind, const uint32_t tags[3],
                   const uint64_t values[3]);

  uint64_t bufferId_ = 0;
  uint64_t bufferAddress_ = 0;
  uint32_t requestedSize_ = 0;
  std::atomic<uint8_t*> ring_{nullptr};
  std::atomic<uint32_t> ringSize_{0};
  std::atomic<uint32_t> ringUsers_{0};
  // A record slot being filled, by slot number modulo the table: a writer that wrapped the
  // whole ring meanwhile takes the next slot instead of writing into the same one.
  static constexpr uint32_t kClaimSlots = 1024;
  std::atomic<bool> slotClaims_[kClaimSlots] = {};
  // Switched by control operations while other threads write.
  std::atomic<uint8_t> categories_[kCategoryCount] = {};
  // Guards folder_; a leaf.
  mutable foundation::Ranked<foundation::Mutex, foundation::LockId::kLogFolder> folderLock_;
  std::wstring folder_ ZOR_GUARDED_BY(folderLock_);
};

}  // namespace zor::foundation
