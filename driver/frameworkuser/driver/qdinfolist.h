// A locked list of objects whose index 0 is a placeholder, so ids start at 1.
// Changes take the list's lock; Peek reads an entry without it, so that the
// commands of many threads do not meet on the lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace zor::frame {

template <typename T>
class QDInfoList {
 public:
  QDInfoList() : entries_(1) {}
  QDInfoList(const QDInfoList&) = delete;
  QDInfoList& operator=(const QDInfoList&) = delete;

  // The entry at index, or null for an empty entry or an index outside the list.
  std::shared_ptr<T> GetAt(int64_t index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int64_t>(entries_.size())) return nullptr;
    return entries_[static_cast<std::size_t>(index)];
  }

  // Whether Peek can find the entry at index.
  static bool CanPeek(int64_t index) { return index >= 0 && index < kCapacity; }

  // The entry without the lock; the caller keeps it alive by other means.
  T* Peek(int64_t index) const {
    if (!CanPeek(index)) return nullptr;
    const Chunk* chunk =
        chunks_[static_cast<std::size_t>(index) / kChunkSize].load(std::memory_order_acquire);
    if (chunk == nullptr) return nullptr;
    return (*chunk)[static_cast<std::size_t>(index) % kChunkSize].load(std::memory_order_seq_cst);
  }

  // Stores the object in the first free entry from 1 and returns its index.
  int64_t Add(std::shared_ptr<T> object) {
    std::lock_guard lock(mutex_);
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
    Publish(index, object.get());
    entries_[index] = std::move(object);
    ++inUse_;
    return static_cast<int64_t>(index);
  }

  // Takes the entry out; null when there was none, so an object leaves once.
  std::shared_ptr<T> Remove(int64_t index) {
    std::lock_guard lock(mutex_);
    if (index <= 0 || index >= static_cast<int64_t>(entries_.size())) return nullptr;
    std::shared_ptr<T> object = std::move(entries_[static_cast<std::size_t>(index)]);
    entries_[static_cast<std::size_t>(index)] = nullptr;
    Publish(static_cast<std::size_t>(index), nullptr);
    if (object != nullptr) --inUse_;
    return object;
  }

  // Entries in use, the placeholder included.
  int64_t InUse() const {
    std::lock_guard lock(mutex_);
    return inUse_;
  }

  std::recursive_mutex& Lock() const { return mutex_; }

 private:
  static constexpr std::size_t kChunkSize = 256;
  static constexpr std::size_t kChunkCount = 256;
  static constexpr int64_t kCapacity = kChunkSize * kChunkCount;
  using Chunk = std::array<std::atomic<T*>, kChunkSize>;

  void Publish(std::size_t index, T* object) {
    if (index >= static_cast<std::size_t>(kCapacity)) return;
    std::atomic<Chunk*>& slot = chunks_[index / kChunkSize];
    Chunk* chunk = slot.load(std::memory_order_relaxed);
    if (chunk == nullptr) {
      std::unique_ptr<Chunk>& owner = ownedChunks_[index / kChunkSize];
      owner = std::make_unique<Chunk>();
      chunk = owner.get();
      slot.store(chunk, std::memory_order_release);
    }
    (*chunk)[index % kChunkSize].store(object, std::memory_order_seq_cst);
  }

  mutable std::recursive_mutex mutex_;
  std::vector<std::shared_ptr<T>> entries_;
  // Chunks are made under the lock and published for Peek; the list owns them.
  std::array<std::unique_ptr<Chunk>, kChunkCount> ownedChunks_;
  std::array<std::atomic<Chunk*>, kChunkCount> chunks_{};
  int64_t inUse_ = 1;
};

}  // namespace zor::frame
