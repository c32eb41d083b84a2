// Slow clients of a web server, as an attacker holds them: connections that send their request
// head a byte at a time, and connections that send nearly 8 KB of head without its end and then
// nothing. A connection that the server closes is opened again at once, so that the pressure
// stays. Plain sockets without threads, so that a forked process may hold them too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hosttest {

class SlowClients {
 public:
  // Opens the connections (those the system refuses are tried again at each tick).
  SlowClients(uint16_t port, size_t dribbling, size_t holding);
  ~SlowClients();
  SlowClients(const SlowClients&) = delete;
  SlowClients& operator=(const SlowClients&) = delete;

  // Sends the next byte of each dribbling head, and opens again the connections that the server
  // closed since the last tick.
  void Tick();
  // Connections open now (descriptors held by this object).
  size_t Open() const;
  // Connections that the server closed so far.
  size_t ClosedByServer() const { return closedByServer_; }

 private:
  struct Connection {
    int fd = -1;
    bool dribbling = false;
    size_t sent = 0;  // of a dribbling head
  };

  void Connect(Connection& connection);
  // Whether the server closed the connection (a reply to it is read and dropped).
  static bool ClosedByPeer(int fd);

  uint16_t port_;
  std::string dribbledHead_;  // its start; 'a' follows for ever
  std::string heldHead_;
  std::vector<Connection> connections_;
  size_t closedByServer_ = 0;
};

}  // namespace hosttest
