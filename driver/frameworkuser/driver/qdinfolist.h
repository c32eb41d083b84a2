// A locked list of objects whose index 0 is a placeholder, so ids start at 1.
// Entries are shared so that an object taken out of the list stays alive
// until the last command that looked it up has finished with it.
#pragma once

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
    if (index == entries_.size()) {
      entries_.push_back(std::move(object));
    } else {
      entries_[index] = std::move(object);
    }
    ++inUse_;
    return static_cast<int64_t>(index);
  }

  // Takes the entry out; null when there was none, so an object leaves once.
  std::shared_ptr<T> Remove(int64_t index) {
    std::lock_guard lock(mutex_);
    if (index <= 0 || index >= static_cast<int64_t>(entries_.size())) return nullptr;
    std::shared_ptr<T> object = std::move(entries_[static_cast<std::size_t>(index)]);
    entries_[static_cast<std::size_t>(index)] = nullptr;
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
  mutable std::recursive_mutex mutex_;
  std::vector<std::shared_ptr<T>> entries_;
  int64_t inUse_ = 1;
};

}  // namespace zor::frame
