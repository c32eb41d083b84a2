// The HTTP server behind an HTTP server object: the files of one root folder, and a WebSocket
// endpoint ("/ws") where each connection is one browser client of the feature-browser servers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace zorhost {

class WebServer {
 public:
  // Listens on the host's address and port (0: any free port) and serves from its own thread.
  // Throws std::runtime_error when it cannot listen.
  WebServer(const std::string& host, uint16_t port, const std::filesystem::path& root);
  // Closes every connection; their clients end.
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  uint16_t Port() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zorhost
