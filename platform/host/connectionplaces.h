// The places of one web server's plain HTTP connections: at most a fixed number at once, so that
// the process keeps descriptors for everything else. A new connection past the most takes the
// place of the one whose present wait (for its request, or for its reply to be taken) began
// longest ago: a slow client loses its place to a new one, and a polite client, which sends its
// request at once, always finds one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace zorhost {

class ConnectionPlaces {
 public:
  explicit ConnectionPlaces(size_t most);

  // A place for a new connection, whose `close` runs when another connection needs the place.
  // When every place is taken, the connection that has waited longest is closed first (on the
  // calling thread, outside the lock).
  uint64_t Take(std::function<void()> close);
  // The connection begins a new wait: it goes to the back of the line.
  void Restart(uint64_t place);
  // The connection ends, or leaves for another count (a WebSocket client). Nothing when its
  // place was taken already.
  void Give(uint64_t place);

 private:
  struct Place {
    uint64_t wait;  // when the present wait began, in the order of line_
    std::function<void()> close;
  };

  mutable std::mutex mutex_;
  const size_t most_;
  uint64_t next_ = 0;  // numbers places and waits alike, rising
  std::map<uint64_t, Place> places_;
  std::map<uint64_t, uint64_t> line_;  // the start of each wait to its place, longest first
};

}  // namespace zorhost
