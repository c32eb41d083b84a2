// A client of the host's web server on a plain socket, written out byte by byte so that a test
// can send what no well-behaved client library would: foreign names, huge or malformed frames,
// and replies left unread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hosttest {

struct WebFrame {
  int opcode = 0;  // 1 text, 8 close
  std::string payload;
};

class RawWebClient {
 public:
  // Connects at once, or only when Connect is called (a socket made before descriptors run out).
  explicit RawWebClient(uint16_t port, bool connectNow = true);
  ~RawWebClient();
  RawWebClient(const RawWebClient&) = delete;
  RawWebClient& operator=(const RawWebClient&) = delete;

  bool Connect();
  // Sends a request and returns the response's status code (0: no response).
  int Get(const std::string& target, const std::string& host);
  // Asks for the WebSocket upgrade of /ws; an empty origin sends none. Returns the status code.
  int Upgrade(const std::string& host, const std::string& origin = "");
  // A masked text frame of any payload; false when the connection refused it.
  bool SendText(const std::string& payload);
  // The next whole message.
  std::optional<WebFrame> ReadFrame();
  // {"tag": 1, "body": body} answered by the test's echo server; empty when nothing came.
  std::optional<std::string> Echo(const std::string& body);
  // Reads until the server ends the connection: the bytes read, or none when it did not end.
  std::optional<size_t> DrainUntilClosed();

 private:
  bool SendAll(const std::string& bytes);
  bool ReadExactly(void* data, size_t size);
  std::string ReadHead();

  uint16_t port_;
  int fd_ = -1;
};

}  // namespace hosttest
