#include "platform/host/connectionplaces.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace zorhost {

ConnectionPlaces::ConnectionPlaces(size_t most) : most_(std::max<size_t>(most, 1)) {}

uint64_t ConnectionPlaces::Take(std::function<void()> close) {
  std::vector<std::function<void()>> evicted;
  uint64_t place = 0;
  {
    std::lock_guard lock(mutex_);
    while (places_.size() >= most_) {
      const auto longest = line_.begin();
      const auto found = places_.find(longest->second);
      evicted.push_back(std::move(found->second.close));
      places_.erase(found);
      line_.erase(longest);
    }
    place = ++next_;
    const uint64_t wait = ++next_;
    places_.emplace(place, Place{wait, std::move(close)});
    line_.emplace(wait, place);
  }
  for (auto& closeOne : evicted) closeOne();
  return place;
}

void ConnectionPlaces::Restart(uint64_t place) {
  std::lock_guard lock(mutex_);
  const auto found = places_.find(place);
  if (found == places_.end()) return;
  line_.erase(found->second.wait);
  found->second.wait = ++next_;
  line_.emplace(found->second.wait, place);
}

void ConnectionPlaces::Give(uint64_t place) {
  std::lock_guard lock(mutex_);
  const auto found = places_.find(place);
  if (found == places_.end()) return;
  line_.erase(found->second.wait);
  places_.erase(found);
}

}  // namespace zorhost
