// The HTTP server behind an HTTP server object: the files of one root folder, and a WebSocket
// endpoint ("/ws") where each connection is one browser client of the feature-browser servers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace zorhost {

// What one client may hold of the server's memory.
struct WebServerLimits {
  // The largest WebSocket message a client may send; a larger one closes the connection.
  size_t messageBytes = size_t{1} << 20;
  // Replies written for a client that does not read them; past this the client is closed.
  size_t unreadReplyBytes = size_t{16} << 20;
  // Messages read from a client and not yet handed to the servers; reading waits beyond it.
  size_t pendingRequests = 16;
};

class WebServer {
 public:
  // Listens on the host's address and port (0: any free port; "localhost" is 127.0.0.1) and
  // answers only requests addressed to that name or address and port, so that a web site that
  // the user opens cannot reach it. Serves from a fixed set of threads, whatever the number of
  // clients. Throws std::runtime_error when it cannot listen.
  WebServer(const std::string& host, uint16_t port, const std::filesystem::path& root,
            WebServerLimits limits = {});
  // Closes every connection and waits until their clients ended.
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  uint16_t Port() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zorhost
