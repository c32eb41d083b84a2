// The HTTP server behind an HTTP server object: the files of one root folder, and a WebSocket
// endpoint ("/ws") where each connection is one browser client of the feature-browser servers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace zorhost {

// What the clients may hold of the server's memory, each and together.
struct WebServerLimits {
  // The largest WebSocket message a client may send; a larger one closes the connection.
  size_t messageBytes = size_t{1} << 20;
  // Replies written for a client that does not read them; past this the client is closed.
  size_t unreadReplyBytes = size_t{16} << 20;
  // Messages read from a client and not yet handed to the servers; reading waits beyond it.
  size_t pendingRequests = 16;
  // Replies queued and requests read for all clients together (see ClientBudget).
  size_t clientBytes = size_t{64} << 20;
  // WebSocket clients served at once; one more is refused.
  size_t clients = 32;
  // Plain HTTP connections at once; one more takes the place of the one that waited longest.
  size_t connections = 256;
  // The time a request has to arrive whole, from the connection's start or the end of the reply
  // before it; a connection that sends nothing, or not its whole head, for so long is closed.
  std::chrono::milliseconds requestTime{10000};
};

class WebServer {
 public:
  // Listens on the host's address and port (0: any free port; "localhost" is 127.0.0.1) and
  // answers only requests addressed to that name or address and port, so that a web site that
  // the user opens cannot reach it. Serves from a fixed set of threads, whatever the number of
  // clients. The connections and clients are each held to a quarter of the process's descriptor
  // limit. Throws std::runtime_error when it cannot listen.
  WebServer(const std::string& host, uint16_t port, const std::filesystem::path& root,
            WebServerLimits limits = {});
  // Closes every connection and waits until their clients ended.
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  uint16_t Port() const;
  // What the clients hold now (replies queued, requests read), and the most they held at once.
  size_t ClientBytes() const;
  size_t MostClientBytes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zorhost
