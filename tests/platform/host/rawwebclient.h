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

  // Before Connect: a receive buffer of a few kilobytes, so that what the client leaves unread
  // stays with the server instead of the kernel.
  void ShrinkReceiveBuffer();
  bool Connect();
  // Sends the bytes as they are and returns the response's status code (0: no response).
  int Request(const std::string& raw);
  // Sends the bytes as they are (a piece of a request); false when the connection refused them.
  bool Send(const std::string& raw) { return SendAll(raw); }
  // Whether the server has kept the connection, asked without waiting.
  bool StillOpen() const;
  // Sends a request and returns the response's status code (0: no response).
  int Get(const std::string& target, const std::string& host);
  // Asks for the WebSocket upgrade of /ws; an empty origin sends none. Returns the status code.
  int Upgrade(const std::string& host, const std::string& origin = "");
  // A masked text frame of any payload; false when the connection refused it.
  bool SendText(const std::string& payload);
  // Sends text frames of the payload without waiting, until the connection takes nothing for
  // a while or `most` bytes went: the bytes sent.
  size_t SendUntilStalled(const std::string& payload, size_t most);
  // Answers the server's close frame.
  bool SendClose();
  // The next whole message, or a control frame (which may cut a message short).
  std::optional<WebFrame> ReadFrame();
  // Reads messages up to the server's close frame; `bytes` counts the whole messages before it.
  std::optional<WebFrame> ReadUntilClose(size_t* bytes);
  // {"tag": 1, "body": body} answered by the test's echo server; empty when nothing came.
  std::optional<std::string> Echo(const std::string& body);
  // Reads until the server ends the connection: the bytes read, or none when it did not end.
  std::optional<size_t> DrainUntilClosed();
  // What comes until the server ends the connection (a response's body after Request).
  std::string ReadRest();

 private:
  bool SendAll(const std::string& bytes);
  static std::string MaskedFrame(int opcode, const std::string& payload);
  bool ReadExactly(void* data, size_t size);
  std::string ReadHead();

  uint16_t port_;
  int fd_ = -1;
  std::string unsent_;  // the rest of a frame that SendUntilStalled began
};

}  // namespace hosttest
