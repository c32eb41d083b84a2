// A locked list of objects whose index 0 is a placeholder, so ids start at 1.
// Changes take the list's lock; GetAt and Peek read an entry without it, so
// that the commands of many threads do not meet on the lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "driver/foundation/lockorder.h"

namespace zor::frame {

template <typename T>
class QDInfoList {
 public:
  using ListMutex = foundation::Ranked<std::recursive_mutex, foundation::LockId::kInfoList>;

  QDInfoList() : entries_(1) {}
  QDInfoList(const QDInfoList&) = delete;
  QDInfoList& operator=(const QDInfoList&) = delete;

  // The entry at index, or null for an empty entry or an index outside the list.
  std::shared_ptr<T> GetAt(int64_t index) const {
    if (const Slot* slot = SlotAt(index)) {
      foundation::ScopedLock lock(slot->lock);
      return slot->held;
    }
    if (CanPeek(index)) return nullptr;
    foundation::ScopedLock lock(mutex_);
    if (index < 0 || index >= static_cast<int64_t>(entries_.size())) return nullptr;
    return entries_[static_cast<std::size_t>(index)];
  }

  // Whether Peek can find the entry at index.
  static bool CanPeek(int64_t index) { return index >= 0 && index < kCapacity; }

  // The entry without the lock; the caller keeps it alive by other means.
  T* Peek(int64_t index) const {
    const Slot* slot = SlotAt(index);
    return slot != nullptr ? slot->raw.load(std::memory_order_seq_cst) : nullptr;
  }

  // Stores the object in the first free entry from 1 and returns its index. An object that
  // keeps its index learns it before another thread can find it.
  int64_t Add(std::shared_ptr<T> object) {
    foundation::ScopedLock lock(mutex_);
    std::size_t index = entries_.size();
    if (inUse_ != static_cast<int64_t>(entries_.size())) {
      for (std::size_t i = 1; i < entries_.size(); ++i) {
        if (entries_[i] == nullptr) {
          index = i;
          break;
        }
      }
    }
    if (index == entries_.size()) entries_.emplace_back();
    if constexpr (requires(T & entry) { entry.SetIndex(int64_t{}); }) {
      object->SetIndex(static_cast<int64_t>(index));
    }
    Publish(index, object);
    entries_[index] = std::move(object);
    ++inUse_;
    return static_cast<int64_t>(index);
  }

  // Takes the entry out; null when there was none, so an object leaves once.
  std::shared_ptr<T> Remove(int64_t index) {
    foundation::ScopedLock lock(mutex_);
    if (index <= 0 || index >= static_cast<int64_t>(entries_.size())) return nullptr;
    std::shared_ptr<T> object = std::move(entries_[static_cast<std::size_t>(index)]);
    entries_[static_cast<std::size_t>(index)] = nullptr;
    Publish(static_cast<std::size_t>(index), nullptr);
    if (object != nullptr) --inUse_;
    return object;
  }

  // Entries, empty ones and the placeholder included.
  int64_t Size() const {
    foundation::ScopedLock lock(mutex_);
    return static_cast<int64_t>(entries_.size());
  }

  // Entries in use, the placeholder included.
  int64_t InUse() const {
    foundation::ScopedLock lock(mutex_);
    return inUse_;
  }

  ListMutex& Lock() const ZOR_RETURN_CAPABILITY(mutex_) { return mutex_; }

 private:
  static constexpr std::size_t kChunkSize = 256;
  static constexpr std::size_t kChunkCount = 256;
  static constexpr int64_t kCapacity = kChunkSize * kChunkCount;
  // A line and a lock of its own per entry: threads that read their own
  // entries do not bounce a line between them.
  struct alignas(64) Slot {
    std::atomic<T*> raw{nullptr};
    mutable foundation::Ranked<std::mutex, foundation::LockId::kInfoListSlot> lock;
    std::shared_ptr<T> held ZOR_GUARDED_BY(lock);
  };
  using Chunk = std::array<Slot, kChunkSize>;

  const Slot* SlotAt(int64_t index) const {
    if (!CanPeek(index)) return nullptr;
    const Chunk* chunk =
        chunks_[static_cast<std::size_t>(index) / kChunkSize].load(std::memory_order_acquire);
    return chunk != nullptr ? &(*chunk)[static_cast<std::size_t>(index) % kChunkSize] : nullptr;
  }

  void Publish(std::size_t index, const std::shared_ptr<T>& object) ZOR_REQUIRES(mutex_) {
    if (index >= static_cast<std::size_t>(kCapacity)) return;
    std::atomic<Chunk*>& slot = chunks_[index / kChunkSize];
    Chunk* chunk = slot.load(std::memory_order_relaxed);
    if (chunk == nullptr) {
      std::unique_ptr<Chunk>& owner = ownedChunks_[index / kChunkSize];
      owner = std::make_unique<Chunk>();
      chunk = owner.get();
      slot.store(chunk, std::memory_order_release);
    }
    Slot& entry = (*chunk)[index % kChunkSize];
    std::shared_ptr<T> previous;
    {
      foundation::ScopedLock lock(entry.lock);
      previous = std::exchange(entry.held, object);
    }
    entry.raw.store(object.get(), std::memory_order_seq_cst);
  }

  mutable ListMutex mutex_;
  std::vector<std::shared_ptr<T>> entries_ ZOR_GUARDED_BY(mutex_);
  // Chunks are made under the lock and published for Peek; the list owns them.
  std::array<std::unique_ptr<Chunk>, kChunkCount> ownedChunks_ ZOR_GUARDED_BY(mutex_);
  std::array<std::atomic<Chunk*>, kChunkCount> chunks_{};
  int64_t inUse_ ZOR_GUARDED_BY(mutex_) = 1;
};

}  // namespace zor::frame
