#include "tests/platform/host/slowclients.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace hosttest {

SlowClients::SlowClients(uint16_t port, size_t dribbling, size_t holding) : port_(port) {
  const std::string start = "GET / HTTP/1.1\r\nHost: localhost:" + std::to_string(port) + "\r\n";
  dribbledHead_ = start + "X-Slow: ";
  // Just under the server's 8 KB of headers, and no empty line after them.
  heldHead_ = start + "X-Held: " + std::string(8000 - start.size(), 'h') + "\r\n";
  connections_.resize(dribbling + holding);
  for (size_t i = 0; i < dribbling; ++i) connections_[i].dribbling = true;
  for (Connection& connection : connections_) Connect(connection);
}

SlowClients::~SlowClients() {
  for (const Connection& connection : connections_) {
    if (connection.fd >= 0) close(connection.fd);
  }
}

void SlowClients::Connect(Connection& connection) {
  connection.sent = 0;
  connection.fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connection.fd < 0) return;
  // A connect waits at most this long while the server's backlog is full.
  const timeval patience{1, 0};
  setsockopt(connection.fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(connection.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(connection.fd);
    connection.fd = -1;
    return;
  }
  fcntl(connection.fd, F_SETFL, O_NONBLOCK);
  if (!connection.dribbling) send(connection.fd, heldHead_.data(), heldHead_.size(), MSG_NOSIGNAL);
}

bool SlowClients::ClosedByPeer(int fd) {
  char reply[4096];
  for (;;) {
    const ssize_t got = recv(fd, reply, sizeof reply, MSG_DONTWAIT);
    if (got == 0) return true;
    if (got < 0) return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
  }
}

void SlowClients::Tick() {
  for (Connection& connection : connections_) {
    if (connection.fd >= 0 && ClosedByPeer(connection.fd)) {
      close(connection.fd);
      connection.fd = -1;
      ++closedByServer_;
    }
    if (connection.fd < 0) Connect(connection);
    if (connection.fd < 0 || !connection.dribbling) continue;
    const char next = connection.sent < dribbledHead_.size() ? dribbledHead_[connection.sent] : 'a';
    if (send(connection.fd, &next, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) ++connection.sent;
  }
}

size_t SlowClients::Open() const {
  return static_cast<size_t>(std::count_if(connections_.begin(), connections_.end(),
                                           [](const Connection& c) { return c.fd >= 0; }));
}

}  // namespace hosttest
