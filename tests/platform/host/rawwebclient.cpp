#include "tests/platform/host/rawwebclient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace hosttest {
namespace {

// Long enough for a loaded sanitizer build, short enough that a hung server fails the test.
constexpr timeval kPatience{10, 0};

int StatusOf(const std::string& head) {
  return head.size() > 12 && head.compare(0, 5, "HTTP/") == 0 ? std::atoi(head.c_str() + 9) : 0;
}

}  // namespace

RawWebClient::RawWebClient(uint16_t port, bool connectNow) : port_(port) {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  if (fd_ >= 0) {
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &kPatience, sizeof kPatience);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &kPatience, sizeof kPatience);
  }
  if (connectNow) Connect();
}

RawWebClient::~RawWebClient() {
  if (fd_ >= 0) close(fd_);
}

void RawWebClient::ShrinkReceiveBuffer() {
  const int bytes = 4096;
  setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

bool RawWebClient::Connect() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool RawWebClient::SendAll(const std::string& bytes) {
  if (!unsent_.empty()) {
    const std::string rest = std::move(unsent_);
    unsent_.clear();
    if (!SendAll(rest)) return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    done += static_cast<size_t>(sent);
  }
  return true;
}

bool RawWebClient::ReadExactly(void* data, size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = recv(fd_, bytes, size, 0);
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

// The status line and headers, up to the empty line.
std::string RawWebClient::ReadHead() {
  std::string head;
  char c = 0;
  while (head.size() < 65536 && ReadExactly(&c, 1)) {
    head.push_back(c);
    if (head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0) return head;
  }
  return {};
}

int RawWebClient::Get(const std::string& target, const std::string& host) {
  std::string request = "GET " + target + " HTTP/1.1\r\n";
  if (!host.empty()) request += "Host: " + host + "\r\n";
  return Request(request + "Connection: close\r\n\r\n");
}

bool RawWebClient::StillOpen() const {
  char byte = 0;
  const ssize_t got = recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
}

int RawWebClient::Request(const std::string& raw) {
  if (!SendAll(raw)) return 0;
  return StatusOf(ReadHead());
}

int RawWebClient::Upgrade(const std::string& host, const std::string& origin) {
  std::string request = "GET /ws HTTP/1.1\r\nHost: " + host +
                        "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                        "Sec-WebSocket-Version: 13\r\n";
  if (!origin.empty()) request += "Origin: " + origin + "\r\n";
  return Request(request + "\r\n");
}

bool RawWebClient::SendText(const std::string& payload) { return SendAll(MaskedFrame(1, payload)); }

bool RawWebClient::SendClose() { return SendAll(MaskedFrame(8, "")); }

size_t RawWebClient::SendUntilStalled(const std::string& payload, size_t most) {
  const std::string frame = MaskedFrame(1, payload);
  size_t sent = 0;
  for (int idle = 0; sent < most && idle < 50;) {
    const ssize_t done = send(fd_, frame.data() + sent % frame.size(),
                              frame.size() - sent % frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (done > 0) {
      sent += static_cast<size_t>(done);
      idle = 0;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      ++idle;
      usleep(10000);
    } else {
      break;
    }
  }
  if (sent % frame.size() != 0) unsent_ = frame.substr(sent % frame.size());
  return sent;
}

std::string RawWebClient::MaskedFrame(int opcode, const std::string& payload) {
  std::string frame(1, static_cast<char>(0x80 | opcode));
  const uint64_t size = payload.size();
  if (size < 126) {
    frame.push_back(static_cast<char>(0x80 | size));
  } else if (size <= 0xFFFF) {
    frame.push_back(static_cast<char>(0x80 | 126));
    for (int shift = 8; shift >= 0; shift -= 8) frame.push_back(static_cast<char>(size >> shift));
  } else {
    frame.push_back(static_cast<char>(0x80 | 127));
    for (int shift = 56; shift >= 0; shift -= 8) frame.push_back(static_cast<char>(size >> shift));
  }
  const char mask[4] = {0x12, 0x34, 0x56, 0x78};
  frame.append(mask, 4);
  for (size_t i = 0; i < payload.size(); ++i) frame.push_back(payload[i] ^ mask[i % 4]);
  return frame;
}

std::optional<WebFrame> RawWebClient::ReadFrame() {
  WebFrame message;
  for (;;) {
    unsigned char head[2];
    if (!ReadExactly(head, 2)) return std::nullopt;
    uint64_t size = head[1] & 0x7F;
    const int extra = size == 126 ? 2 : size == 127 ? 8 : 0;
    if (extra != 0) {
      unsigned char length[8];
      if (!ReadExactly(length, static_cast<size_t>(extra))) return std::nullopt;
      size = 0;
      for (int i = 0; i < extra; ++i) size = size << 8 | length[i];
    }
    // A message may come in fragments: continuations (opcode 0) up to the one marked final. A
    // control frame (a close) may come between them; it is returned on its own.
    const int opcode = head[0] & 0x0F;
    if (opcode >= 8) message = WebFrame{opcode, {}};
    if (opcode != 0) message.opcode = opcode;
    const size_t start = message.payload.size();
    message.payload.resize(start + size);
    if (size > 0 && !ReadExactly(message.payload.data() + start, size)) return std::nullopt;
    if ((head[0] & 0x80) != 0) return message;
  }
}

std::optional<WebFrame> RawWebClient::ReadUntilClose(size_t* bytes) {
  *bytes = 0;
  for (auto frame = ReadFrame(); frame.has_value(); frame = ReadFrame()) {
    if (frame->opcode == 8) return frame;
    *bytes += frame->payload.size();
  }
  return std::nullopt;
}

std::optional<std::string> RawWebClient::Echo(const std::string& body) {
  if (!SendText(R"({"tag":1,"body":")" + body + "\"}")) return std::nullopt;
  const auto frame = ReadFrame();
  const std::string prefix = R"({"tag":1,"body":")";
  if (!frame || frame->payload.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return frame->payload.substr(prefix.size(), frame->payload.size() - prefix.size() - 2);
}

std::optional<size_t> RawWebClient::DrainUntilClosed() {
  size_t total = 0;
  char chunk[65536];
  for (;;) {
    const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got > 0) {
      total += static_cast<size_t>(got);
    } else if (got == 0 || errno == ECONNRESET) {
      return total;
    } else if (errno != EINTR) {
      return std::nullopt;
    }
  }
}

std::string RawWebClient::ReadRest() {
  std::string rest;
  char chunk[4096];
  for (ssize_t got = recv(fd_, chunk, sizeof chunk, 0); got > 0 && rest.size() < 65536;
       got = recv(fd_, chunk, sizeof chunk, 0)) {
    rest.append(chunk, static_cast<size_t>(got));
  }
  return rest;
}

}  // namespace hosttest
