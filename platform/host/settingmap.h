// Integer settings of an object, guarded for use from several threads.
#pragma once

#include <map>
#include <mutex>
#include <optional>

#include "platform/host/qtypes.h"

namespace zorhost {

class SettingMap {
 public:
  std::optional<QINT64> Get(QINT64 type) const {
    std::lock_guard lock(mutex_);
    auto found = values_.find(type);
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }
  void Set(QINT64 type, QINT64 value) {
    std::lock_guard lock(mutex_);
    values_[type] = value;
  }

 private:
  mutable std::mutex mutex_;
  std::map<QINT64, QINT64> values_;
};

}  // namespace zorhost
