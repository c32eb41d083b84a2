// The HTTP server object attacked from plain sockets: other sites' names and pages, requests
// framed to be read two ways, frames built to crash or to fill memory, clients that never read,
// a server that stops taking requests, more clients than served, requests that come too slowly,
// more connections than kept, descriptors run out and hundreds of clients. A good client is
// served before, during and after each attack.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host/hostservices.h"
#include "platform/host/httpserverobject.h"
#include "platform/host/zor.h"
#include "tests/platform/host/rawwebclient.h"
#include "tests/platform/host/slowclients.h"
#include "tests/support/mailboxmessage.h"
#include "tests/support/processfacts.h"

namespace {

using hosttest::RawWebClient;
using hosttest::SlowClients;
using zortest::CountDescriptors;
using zortest::ResidentBytes;

constexpr QINT64 kSized = 2;    // the reply holds as many bytes as the body says
constexpr QINT64 kStall = 3;    // the server takes nothing more from the client till released
constexpr QINT64 kSwallow = 4;  // no reply

// The servers' side, as the feature-browser servers do it: one pair of mailboxes per client,
// named for the client. Other tags come back as sent.
class EchoServer {
 public:
  EchoServer() {
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_CONNECTED, &OnConnect, this);
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_DISCONNECTED, &OnDisconnect, this);
  }
  ~EchoServer() {
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_CONNECTED + Q_UNHOOK, &OnConnect, this);
    HostAppHookFunction(Q_DEFAULT, Q_BROWSER_CLIENT_DISCONNECTED + Q_UNHOOK, &OnDisconnect, this);
  }
  int Ended() const { return ended_.load(); }
  // Waits until `count` clients have ended; false after ten seconds.
  bool WaitEnded(int count) const {
    for (int i = 0; i < 1000 && Ended() < count; ++i) usleep(10000);
    return Ended() >= count;
  }
  // Waits until a kStall request holds its client; false after ten seconds.
  bool WaitStalled() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return stalled_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    stalled_ = false;
    changed_.notify_all();
  }
  // The client-to-server mailbox of a server that came after the first client connected, and
  // whose name is empty.
  QID LateMailbox() {
    std::lock_guard lock(mutex_);
    return Mailbox(pairs_.begin()->first, L"FBClientToServer", L"");
  }

 private:
  static QID Mailbox(QINT64 client, const wchar_t* direction, const wchar_t* server = L"Echo") {
    const QID mailbox = HostObjAlloc(Q_DEFAULT_HOST, Q_MAILBOX, Q_DEFAULT, nullptr);
    const std::wstring name =
        std::wstring(server) + L":" + direction + L":" + std::to_wstring(client);
    HostObjControl(mailbox, Q_OBJECT_NAME, reinterpret_cast<QINT64>(name.c_str()));
    return mailbox;
  }

  struct Pair {
    EchoServer* server;
    QID toServer;
    QID toClient;
  };

  static QINT64 OnConnect(QINT64, QID event, void* user) {
    auto* self = static_cast<EchoServer*>(user);
    QINT64 client = 0;
    HostAppGetHookInfo(Q_DEFAULT, event, Q_BROWSER_CLIENT_ID, &client);
    auto pair = std::make_unique<Pair>(
        Pair{self, Mailbox(client, L"FBClientToServer"), Mailbox(client, L"FBServerToClient")});
    HostObjHookFunction(pair->toServer, Q_MAILBOX_MESSAGE, &OnMessage, pair.get());
    std::lock_guard lock(self->mutex_);
    self->pairs_[client] = std::move(pair);
    return 0;
  }

  static QINT64 OnMessage(QINT64, QID event, void* user) {
    const auto* pair = static_cast<Pair*>(user);
    QID mailbox = 0;
    HostObjGetHookInfo(event, Q_OBJECT_ID, &mailbox);
    const auto [tag, body] = testsupport::TakeMailboxMessage(mailbox);
    if (tag == kStall) return pair->server->Stall();
    if (tag == kSwallow) return 0;
    const std::string reply = tag == kSized ? std::string(std::stoul(body), 'x') : body;
    HostObjMessageWrite(pair->toClient, reply.data(), static_cast<QINT64>(reply.size()), tag,
                        Q_DEFAULT);
    return 0;
  }

  QINT64 Stall() {
    std::unique_lock lock(mutex_);
    stalled_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !stalled_; });
    return 0;
  }

  static QINT64 OnDisconnect(QINT64, QID event, void* user) {
    auto* self = static_cast<EchoServer*>(user);
    QINT64 client = 0;
    HostAppGetHookInfo(Q_DEFAULT, event, Q_BROWSER_CLIENT_ID, &client);
    std::unique_ptr<Pair> pair;
    {
      std::lock_guard lock(self->mutex_);
      auto found = self->pairs_.find(client);
      if (found == self->pairs_.end()) return 0;
      pair = std::move(found->second);
      self->pairs_.erase(found);
    }
    HostObjFree(pair->toServer);
    HostObjFree(pair->toClient);
    ++self->ended_;
    return 0;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool stalled_ = false;
  std::map<QINT64, std::unique_ptr<Pair>> pairs_;
  std::atomic<int> ended_{0};
};

// The served URL's port.
uint16_t PortOf(QID server) {
  const QINT64 length = HostObjInquire(server, Q_HTTP_URL + Q_STRING_SIZE, nullptr);
  std::wstring url(static_cast<size_t>(length), L'\0');
  HostObjInquire(server, Q_HTTP_URL, url.data());
  return static_cast<uint16_t>(std::stoul(url.substr(url.rfind(L':') + 1)));
}

// The server's own count of what its clients hold (replies queued, requests read), now or the
// most at once.
size_t ClientBytes(QID server, QINT64 type = zorhost::kHttpClientBytes) {
  QINT64 bytes = 0;
  HostObjInquire(server, type, &bytes);
  return static_cast<size_t>(bytes);
}

// A close frame as its code and reason; what came instead when it is none.
std::string CloseOf(const std::optional<hosttest::WebFrame>& frame) {
  if (!frame.has_value()) return "no close frame";
  const std::string& payload = frame->payload;
  if (frame->opcode != 8 || payload.size() < 2) return "opcode " + std::to_string(frame->opcode);
  const int code =
      static_cast<unsigned char>(payload[0]) << 8 | static_cast<unsigned char>(payload[1]);
  return std::to_string(code) + " " + payload.substr(2);
}

// A server of the test's own, freed with the object.
struct OwnServer {
  QID id;
  uint16_t port;
  std::string host;
  ~OwnServer() { HostObjFree(id); }
};

size_t CountThreads() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                           std::filesystem::directory_iterator()));
}

class WebServerTest : public testing::Test {
 protected:
  void SetUp() override {
    QappControl(Q_DEFAULT, Q_ERROR_PRINT, Q_PRINT_DISABLE);
    root_ = std::filesystem::temp_directory_path() / ("zor-webserver-" + std::to_string(getpid()));
    std::filesystem::create_directories(root_);
    std::ofstream(root_ / "index.html") << "<title>Page</title>\n";
    server_ = Start(L"http://localhost:0");
    port_ = PortOf(server_);
    host_ = "localhost:" + std::to_string(port_);
    good_ = std::make_unique<RawWebClient>(port_);
    ASSERT_EQ(good_->Upgrade(host_, "http://" + host_), 101);
    ExpectGoodClientServed();
  }

  void TearDown() override {
    echo_.Release();
    ExpectGoodClientServed();
    good_.reset();
    HostObjFree(server_);
    std::filesystem::remove_all(root_);
  }

  QID Start(const std::wstring& url) {
    const QID server = HostObjAlloc(Q_DEFAULT_HOST, Q_HTTP_SERVER, Q_DEFAULT, nullptr);
    const std::wstring folder = root_.wstring();
    HostObjControl(server, Q_HTTP_ROOT_FOLDER, reinterpret_cast<QINT64>(folder.c_str()));
    HostObjControl(server, Q_HTTP_URL, reinterpret_cast<QINT64>(url.c_str()));
    HostObjControl(server, Q_HTTP_START, Q_DEFAULT);
    EXPECT_EQ(HostObjInquire(server, Q_HTTP_STATE, nullptr), Q_HTTP_START);
    return server;
  }

  // A server of its own, started with the environment's settings.
  OwnServer StartWith(const std::vector<std::pair<const char*, std::string>>& settings) {
    for (const auto& [name, value] : settings) setenv(name, value.c_str(), 1);
    const QID server = Start(L"http://localhost:0");
    for (const auto& [name, value] : settings) unsetenv(name);
    const uint16_t port = PortOf(server);
    return OwnServer{server, port, "localhost:" + std::to_string(port)};
  }

  // A client that reads nothing and leaves what it is sent with the server.
  std::unique_ptr<RawWebClient> NeverReading(uint16_t port) {
    auto client = std::make_unique<RawWebClient>(port, false);
    client->ShrinkReceiveBuffer();
    EXPECT_TRUE(client->Connect());
    EXPECT_EQ(client->Upgrade("localhost:" + std::to_string(port)), 101);
    return client;
  }

  void ExpectGoodClientServed() {
    const std::string word = "alive" + std::to_string(++greetings_);
    EXPECT_EQ(good_->Echo(word), word);
  }

  // Runs in a child process of its own, as the descriptor limit is the process's. Exits 0 when
  // the server served the good client while no descriptor was left and a new one after.
  [[noreturn]] void ExhaustDescriptorsThenConnect() {
    RawWebClient late(port_, false);
    const rlimit limit{CountDescriptors() + 4, RLIM_INFINITY};
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> filler;
    for (int fd = open("/dev/null", O_RDONLY); fd >= 0; fd = open("/dev/null", O_RDONLY)) {
      filler.push_back(fd);
    }
    // The connection waits in the backlog while the server's accepts fail.
    if (!late.Connect()) _exit(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (good_->Echo("starved") != "starved") _exit(3);
    for (int fd : filler) close(fd);
    if (late.Get("/", host_) != 200) _exit(4);
    RawWebClient next(port_);
    if (next.Upgrade(host_) != 101 || next.Echo("back") != "back") _exit(5);
    _exit(0);
  }

  std::filesystem::path root_;
  EchoServer echo_;
  QID server_ = 0;
  uint16_t port_ = 0;
  std::string host_;
  std::unique_ptr<RawWebClient> good_;
  int greetings_ = 0;
};

TEST_F(WebServerTest, AnswersOnlyItsOwnNamesAndPage) {
  // A server that makes its pair after the client connected gets the client's next messages.
  const QID late = echo_.LateMailbox();
  ExpectGoodClientServed();
  testsupport::MailboxMessage message;
  for (int i = 0; i < 500 && message.body.empty(); ++i, usleep(10000)) {
    message = testsupport::TakeMailboxMessage(late);
  }
  EXPECT_EQ(message.body, "alive2");
  HostObjFree(late);
  const std::string port = std::to_string(port_);
  // The page, by name and by address; other names (DNS rebinding), ports or none are refused.
  for (const std::string& host :
       std::vector<std::string>{"localhost:" + port, "LocalHost:" + port, "127.0.0.1:" + port}) {
    EXPECT_EQ(RawWebClient(port_).Get("/", host), 200) << host;
  }
  // Asked to close, the server ends the connection after the page at once, not at its
  // time-out; HEAD gives the page's length and none of its bytes.
  const auto start = std::chrono::steady_clock::now();
  RawWebClient page(port_);
  ASSERT_EQ(page.Get("/", host_), 200);
  EXPECT_EQ(page.ReadRest(), "<title>Page</title>\n");
  RawWebClient head(port_);
  head.Send("HEAD / HTTP/1.1\r\nHost: " + host_ + "\r\nConnection: close\r\n\r\n");
  const std::string headReply = head.ReadRest();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_NE(headReply.find("Content-Length: 20\r\n"), std::string::npos) << headReply;
  EXPECT_EQ(headReply.substr(headReply.size() - 4), "\r\n\r\n") << headReply;
  for (const std::string& host :
       std::vector<std::string>{"attacker.example:" + port, "localhost", "127.0.0.1",
                                "localhost:" + std::to_string(port_ + 1), "localhost:" + port + "x",
                                "localhost.:" + port, std::string()}) {
    EXPECT_EQ(RawWebClient(port_).Get("/", host), 403) << host;
  }
  ExpectGoodClientServed();
  // The WebSocket: a foreign name, or a page of another origin, gets no client.
  EXPECT_EQ(RawWebClient(port_).Upgrade("attacker.example:" + port), 403);
  EXPECT_EQ(
      RawWebClient(port_).Upgrade("attacker.example:" + port, "http://attacker.example:" + port),
      403);
  for (const std::string& origin : std::vector<std::string>{
           "http://attacker.example", "http://attacker.example:" + port, "null",
           "https://localhost:" + port, "http://localhost:" + std::to_string(port_ + 1),
           "http://localhost", "http://localhost:" + port + ".attacker.example"}) {
    EXPECT_EQ(RawWebClient(port_).Upgrade(host_, origin), 403) << origin;
  }
  EXPECT_EQ(echo_.Ended(), 0);
  // The page's own origin by either name, and a local program without one.
  for (const std::string& origin : std::vector<std::string>{
           "http://localhost:" + port, "http://127.0.0.1:" + port, std::string()}) {
    RawWebClient client(port_);
    ASSERT_EQ(client.Upgrade("127.0.0.1:" + port, origin), 101) << origin;
    EXPECT_EQ(client.Echo("mine"), "mine") << origin;
  }
}

// A second Host or Origin could name another site than the first, and framing that two parsers
// may read differently lets a request hide inside another: each gets 400 and the connection
// ends, instead of a silent drop or the first field deciding.
TEST_F(WebServerTest, RefusesRequestsThatReadTwoWays) {
  const std::string own = "Host: " + host_ + "\r\n";
  const std::string get = "GET / HTTP/1.1\r\n" + own;
  const std::string upgrade = "GET /ws HTTP/1.1\r\n" + own +
                              "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                              "Sec-WebSocket-Version: 13\r\n";
  const std::string origin = "Origin: http://" + host_ + "\r\n";
  struct Case {
    const char* fault;
    std::string request;
    int status;
  };
  const std::vector<Case> cases = {
      {"own Host, then a foreign one", get + "Host: attacker.example\r\n\r\n", 400},
      {"foreign Host, then the own one",
       "GET / HTTP/1.1\r\nHost: attacker.example\r\n" + own + "\r\n", 400},
      {"the own Host twice", get + own + "\r\n", 400},
      {"own Origin, then a foreign one",
       upgrade + origin + "Origin: http://attacker.example\r\n\r\n", 400},
      {"the own Origin twice", upgrade + origin + origin + "\r\n", 400},
      {"two equal Content-Length", get + "Content-Length: 5\r\nContent-Length: 5\r\n\r\nhello",
       400},
      {"two different Content-Length", get + "Content-Length: 5\r\nContent-Length: 6\r\n\r\nhello",
       400},
      {"Content-Length as a list", get + "Content-Length: 5, 5\r\n\r\nhello", 400},
      {"unknown Transfer-Encoding", get + "Transfer-Encoding: gzip\r\n\r\n", 400},
      {"chunked not the last coding", get + "Transfer-Encoding: chunked, gzip\r\n\r\n", 400},
      {"a coding before chunked", get + "Transfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n", 400},
      {"Transfer-Encoding and Content-Length",
       get + "Transfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n0\r\n\r\n", 400},
      {"Content-Length and Transfer-Encoding",
       get + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400},
      {"chunk-size past 64 bits", get + "Transfer-Encoding: chunked\r\n\r\n1FFFFFFFFFFFFFFFF\r\n",
       400},
      {"Transfer-Encoding in HTTP/1.0",
       "GET / HTTP/1.0\r\n" + own + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400},
      {"a body past 16 KB", get + "Content-Length: 16385\r\n\r\n" + std::string(16385, 'b'), 413},
      {"headers past 8 KB", get + "X-Filler: " + std::string(8192, 'h') + "\r\n\r\n", 431},
  };
  for (const Case& test : cases) {
    RawWebClient client(port_);
    EXPECT_EQ(client.Request(test.request), test.status) << test.fault;
    EXPECT_TRUE(client.DrainUntilClosed().has_value()) << test.fault << ": connection kept";
  }
  EXPECT_EQ(echo_.Ended(), 0);
  // Framing read one way only is served, and so is a body of the most bytes taken.
  for (const std::string& body :
       {std::string("Content-Length: 5\r\n\r\nhello"),
        std::string("Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"),
        "Content-Length: 16384\r\n\r\n" + std::string(16384, 'b')}) {
    EXPECT_EQ(RawWebClient(port_).Request(get + "Connection: close\r\n" + body), 200)
        << body.substr(0, 40);
  }
}

TEST_F(WebServerTest, RefusesFramesBuiltToCrashOrToFillMemory) {
  RawWebClient client(port_);
  ASSERT_EQ(client.Upgrade(host_), 101);
  // Nesting that a recursive parser would follow off the end of its thread's stack: dropped as
  // malformed, or served when the frame has its form, and the connection goes on.
  ASSERT_TRUE(client.SendText(std::string(200000, '[')));
  ASSERT_TRUE(client.SendText(std::string(100000, '[') + std::string(100000, ']')));
  EXPECT_EQ(client.Echo("after").value_or(""), "after");
  const std::string nested = std::string(100000, '[') + std::string(100000, ']');
  ASSERT_TRUE(client.SendText(R"({"tag":1,"body":"deep","more":)" + nested + "}"));
  const auto deep = client.ReadFrame();
  ASSERT_TRUE(deep.has_value());
  EXPECT_EQ(deep->payload, R"({"tag":1,"body":"deep"})");
  ExpectGoodClientServed();
  // One byte over the default megabyte: refused at the frame's header. The close (1009) may
  // come back, or the reset of the rest of the frame left unread may overtake it.
  {
    RawWebClient big(port_);
    ASSERT_EQ(big.Upgrade(host_), 101);
    big.SendText(R"({"tag":1,"body":")" + std::string(size_t{1} << 20, 'b') + "\"}");
    const auto closing = big.ReadFrame();
    EXPECT_TRUE(!closing || CloseOf(closing).substr(0, 5) == "1009 ") << CloseOf(closing);
  }
  EXPECT_TRUE(echo_.WaitEnded(1));
  ExpectGoodClientServed();
  // Just under it passes.
  RawWebClient large(port_);
  ASSERT_EQ(large.Upgrade(host_), 101);
  const std::string fits((size_t{1} << 20) - 20, 'f');
  EXPECT_EQ(large.Echo(fits), fits);
}

TEST_F(WebServerTest, MessageLimitIsSettable) {
  const auto& [small, port, host] = StartWith({{"ZOR_BROWSER_MESSAGE_BYTES", "100"}});
  RawWebClient client(port);
  ASSERT_EQ(client.Upgrade(host), 101);
  const std::string fits(100 - 19, 'f');  // with {"tag":1,"body":""}
  EXPECT_EQ(client.Echo(fits), fits);
  EXPECT_FALSE(client.Echo(fits + "f").has_value());
}

TEST_F(WebServerTest, ClosesAClientThatLeavesItsRepliesUnread) {
  const size_t before = ResidentBytes();
  RawWebClient reader(port_);
  ASSERT_EQ(reader.Upgrade(host_), 101);
  // 20,000 requests for 64 KB each: 1.3 GB if the server kept them all.
  const std::string request = R"({"tag":2,"body":"65536"})";
  for (int sent = 0; sent < 20000 && reader.SendText(request); ++sent) {
  }
  // Nothing read yet: the server ends the client on its own, and says why after the replies.
  EXPECT_TRUE(echo_.WaitEnded(1));
  ExpectGoodClientServed();
  // The replies it was not yet sent went back to the budget at once, not when its session ends.
  EXPECT_LT(ClientBytes(server_), size_t{1} << 20);
  size_t received = 0;
  const auto closing = reader.ReadUntilClose(&received);
  EXPECT_EQ(CloseOf(closing), "1008 Replies left unread.");
  reader.SendClose();
  ASSERT_TRUE(reader.DrainUntilClosed().has_value()) << "the server kept the connection";
  // What reached the client, what the server counted and what the process grew by stay near the
  // server's bound (16 MB), the sanitizers' own keeping of freed memory included.
  const size_t grown = ResidentBytes() - std::min(before, ResidentBytes());
  std::printf("unread replies: %zu bytes reached the client, the process grew by %zu bytes\n",
              received, grown);
  EXPECT_LT(received, size_t{64} << 20);
  EXPECT_LE(ClientBytes(server_, zorhost::kHttpMostClientBytes), size_t{17} << 20);
  EXPECT_LT(grown, size_t{512} << 20);
}

TEST_F(WebServerTest, ClientsThatNeverReadStayWithinTheServersBudget) {
  const size_t budget = size_t{2} << 20;
  const auto& [small, port, host] = StartWith(
      {{"ZOR_BROWSER_MEMORY_BYTES", std::to_string(budget)}, {"ZOR_BROWSER_CLIENTS", "12"}});
  RawWebClient polite(port);
  ASSERT_EQ(polite.Upgrade(host), 101);
  // 200 replies of 64 KB asked, 12 MB: far below the client's own bound of 16 MB, far above
  // what the server has left. The one that would need more is closed, and told why.
  const std::string request = R"({"tag":2,"body":"65536"})";
  {
    auto greedy = NeverReading(port);
    for (int i = 0; i < 200; ++i) greedy->SendText(request);
    ASSERT_TRUE(echo_.WaitEnded(1));
    size_t received = 0;
    const auto closing = greedy->ReadUntilClose(&received);
    EXPECT_EQ(CloseOf(closing), "1013 Server memory for clients is full.");
  }
  // Ten at once, while a client that reads is served all along.
  std::vector<std::unique_ptr<RawWebClient>> greedy;
  for (int i = 0; i < 10; ++i) greedy.push_back(NeverReading(port));
  for (int round = 0; round < 200; ++round) {
    for (auto& client : greedy) client->SendText(request);
    if (round % 20 == 0) {
      EXPECT_EQ(polite.Echo(std::to_string(round)), std::to_string(round));
    }
  }
  EXPECT_TRUE(echo_.WaitEnded(11));
  EXPECT_EQ(polite.Echo("still"), "still");
  const size_t most = ClientBytes(small, zorhost::kHttpMostClientBytes);
  std::printf("never-reading clients: the server held at most %zu bytes of %zu\n", most, budget);
  EXPECT_LE(most, budget);
  EXPECT_GT(most, budget / 2) << "the attack did not reach the budget";
  // Their bytes come back: what is left is the reading client's next piece.
  greedy.clear();
  for (int i = 0; i < 500 && ClientBytes(small) > 16384; ++i) usleep(10000);
  EXPECT_LE(ClientBytes(small), 16384u);
}

TEST_F(WebServerTest, ClientThatKeepsUpGetsMoreThanItsOwnBound) {
  const size_t budget = size_t{2} << 20;
  const auto& [small, port, host] =
      StartWith({{"ZOR_BROWSER_MEMORY_BYTES", std::to_string(budget)}});
  RawWebClient reader(port);
  ASSERT_EQ(reader.Upgrade(host), 101);
  // 20 MB in all, four replies of 64 KB asked at a time: past the 16 MB that a client may leave
  // unread, and ten times the server's budget.
  size_t received = 0;
  for (int batch = 0; batch < 80; ++batch) {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(reader.SendText(R"({"tag":2,"body":"65536"})"));
    for (int i = 0; i < 4; ++i) {
      const auto frame = reader.ReadFrame();
      ASSERT_TRUE(frame.has_value()) << "closed after " << received << " bytes";
      ASSERT_EQ(frame->opcode, 1);
      received += frame->payload.size();
    }
  }
  EXPECT_GT(received, size_t{20} << 20);
  EXPECT_EQ(reader.Echo("connected"), "connected");
  EXPECT_EQ(echo_.Ended(), 0);
  EXPECT_LE(ClientBytes(small, zorhost::kHttpMostClientBytes), budget);
}

// A server that takes nothing more from a client stops reading it: by the number of messages
// waiting for the servers, or by the budget when the messages are large. The client's sending
// stalls in TCP instead of filling the server's memory, and goes on once the server does.
TEST_F(WebServerTest, StalledServerStopsReadingTheClient) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, std::string>> settings;
    size_t messageBytes;
    size_t mostHeld;  // the server's count of what the client holds
  };
  const std::vector<Case> cases = {
      {"16 messages waiting", {}, 32768, 17 * 32768 + 16384},
      {"budget",
       {{"ZOR_BROWSER_MEMORY_BYTES", "1048576"}, {"ZOR_BROWSER_CLIENTS", "4"}},
       100000,
       1048576},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const auto& [server, port, host] = StartWith(test.settings);
    RawWebClient client(port);
    ASSERT_EQ(client.Upgrade(host), 101);
    ASSERT_TRUE(client.SendText(R"({"tag":3,"body":""})"));
    ASSERT_TRUE(echo_.WaitStalled());
    const std::string message =
        R"({"tag":4,"body":")" + std::string(test.messageBytes, 's') + R"("})";
    const size_t sent = client.SendUntilStalled(message, size_t{256} << 20);
    EXPECT_LT(sent, size_t{256} << 20) << "the server read without limit";
    EXPECT_LE(ClientBytes(server), test.mostHeld);
    EXPECT_LE(ClientBytes(server, zorhost::kHttpMostClientBytes), test.mostHeld);
    ExpectGoodClientServed();
    echo_.Release();
    EXPECT_EQ(client.Echo("after"), "after");
  }
}

TEST_F(WebServerTest, RefusesClientsPastTheMost) {
  // The fixture's good client and 31 more are served.
  std::vector<std::unique_ptr<RawWebClient>> clients;
  for (int i = 1; i < 32; ++i) {
    clients.push_back(std::make_unique<RawWebClient>(port_));
    ASSERT_EQ(clients.back()->Upgrade(host_), 101) << i;
  }
  {
    RawWebClient late(port_);
    EXPECT_EQ(late.Upgrade(host_), 503);
    EXPECT_NE(late.ReadRest().find("32 clients at most"), std::string::npos);
  }
  // The page itself is not a client.
  EXPECT_EQ(RawWebClient(port_).Get("/", host_), 200);
  for (auto& client : clients) EXPECT_EQ(client->Echo("in"), "in");
  // A slot frees when a client leaves.
  clients.front().reset();
  ASSERT_TRUE(echo_.WaitEnded(1));
  int status = 0;
  for (int i = 0; i < 100 && status != 101; ++i) {
    RawWebClient next(port_);
    status = next.Upgrade(host_);
    if (status == 101) {
      EXPECT_EQ(next.Echo("back"), "back");
    } else {
      usleep(20000);
    }
  }
  EXPECT_EQ(status, 101);
}

// A request must arrive whole within the request time, counted from the connection's start or
// the end of the reply before it: a connection that sends nothing, dribbles its head a byte at a
// time, holds its head without the end, or idles after a reply is closed, and one whose head
// comes in pieces within the time is served.
TEST_F(WebServerTest, ClosesConnectionsWhoseRequestDoesNotArriveInTime) {
  const auto& [quick, port, host] = StartWith({{"ZOR_BROWSER_REQUEST_MS", "2000"}});
  RawWebClient silent(port);
  RawWebClient idle(port);
  const std::string get = "GET / HTTP/1.1\r\nHost: " + host + "\r\n";
  ASSERT_EQ(idle.Request(get + "\r\n"), 200);
  RawWebClient pieces(port);
  for (const char* piece : {"GET / HTTP/1.1\r\n", "Host: ", "\r\nConnection: close\r\n"}) {
    ASSERT_TRUE(pieces.Send(piece == std::string("Host: ") ? piece + host : piece));
    usleep(100000);
  }
  EXPECT_EQ(pieces.Request("\r\n"), 200);
  SlowClients slow(port, 1, 1);
  for (int tick = 0; tick < 50 && slow.ClosedByServer() < 2; ++tick) {
    slow.Tick();
    usleep(100000);
  }
  EXPECT_GE(slow.ClosedByServer(), 2u);
  EXPECT_TRUE(silent.DrainUntilClosed().has_value());
  EXPECT_TRUE(idle.DrainUntilClosed().has_value());
  ExpectGoodClientServed();
}

// Plain connections past the most take the place of the one that waited longest; WebSocket
// clients count apart. At the most nobody is closed; one more closes the oldest and only it.
TEST_F(WebServerTest, ConnectionsPastTheMostTakeThePlaceOfTheLongestWaiting) {
  const auto& [few, port, host] = StartWith({{"ZOR_BROWSER_CONNECTIONS", "8"}});
  const size_t before = CountDescriptors();
  std::vector<std::unique_ptr<RawWebClient>> held;
  std::unique_ptr<RawWebClient> socket;
  // The server's own sockets, once it has taken `count`; false after five seconds.
  const auto serverHolds = [&](size_t count) {
    const auto server = [&] {
      return CountDescriptors() - before - held.size() - (socket != nullptr ? 1 : 0);
    };
    for (int i = 0; i < 500 && server() != count; ++i) usleep(10000);
    return server() == count;
  };
  const auto hold = [&] {
    held.push_back(std::make_unique<RawWebClient>(port));
    return held.back()->Send("GET / HTTP/1.1\r\nHost: " + host + "\r\n");
  };
  const auto stillOpen = [&](size_t from) {
    std::vector<size_t> closed;
    for (size_t i = from; i < held.size(); ++i) {
      if (!held[i]->StillOpen()) closed.push_back(i);
    }
    return closed;
  };
  // Each accepted before the next, so that their waits began in this order.
  for (size_t i = 0; i < 8; ++i) ASSERT_TRUE(hold() && serverHolds(i + 1)) << i;
  EXPECT_EQ(stillOpen(0), std::vector<size_t>{});
  // A ninth: the page is served, and the first held connection made room for it.
  EXPECT_EQ(RawWebClient(port).Get("/", host), 200);
  EXPECT_TRUE(held[0]->DrainUntilClosed().has_value());
  EXPECT_EQ(stillOpen(1), std::vector<size_t>{});
  ASSERT_TRUE(serverHolds(7));
  // A WebSocket client passes through a place and leaves it: one more held connection fits.
  socket = std::make_unique<RawWebClient>(port);
  ASSERT_EQ(socket->Upgrade(host), 101);
  ASSERT_TRUE(serverHolds(8));
  ASSERT_TRUE(hold() && serverHolds(9));
  EXPECT_EQ(stillOpen(1), std::vector<size_t>{});
  // Forty more: the server keeps eight of them, and its descriptors with them.
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(hold());
  for (int i = 0; i < 500 && stillOpen(0).size() < held.size() - 8; ++i) usleep(10000);
  EXPECT_EQ(stillOpen(0).size(), held.size() - 8);
  EXPECT_TRUE(serverHolds(9));
  EXPECT_EQ(socket->Echo("apart"), "apart");
}

// However many connections and clients are asked for, a server keeps each within a quarter of
// the process's descriptor limit, so that a new connection always has a descriptor to be
// accepted with and the process one for its files.
TEST_F(WebServerTest, ConnectionsAndClientsStayWithinTheDescriptorLimit) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const rlimit low{CountDescriptors() + 60, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const auto& [bounded, port, host] =
      StartWith({{"ZOR_BROWSER_CONNECTIONS", "100000"}, {"ZOR_BROWSER_CLIENTS", "100000"}});
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  const size_t quarter = low.rlim_cur / 4;
  const size_t before = CountDescriptors();
  // Three times as many held connections as kept: at least two thirds of them lose their place.
  SlowClients slow(port, 0, 3 * quarter);
  for (int tick = 0; tick < 250 && slow.ClosedByServer() < 2 * quarter; ++tick) {
    slow.Tick();
    usleep(20000);
  }
  EXPECT_GE(slow.ClosedByServer(), 2 * quarter);
  EXPECT_LE(CountDescriptors(), before + slow.Open() + quarter + 1);
  EXPECT_EQ(RawWebClient(port).Get("/", host), 200);
  std::vector<std::unique_ptr<RawWebClient>> clients;
  for (size_t i = 0; i < quarter; ++i) {
    clients.push_back(std::make_unique<RawWebClient>(port));
    ASSERT_EQ(clients.back()->Upgrade(host), 101) << i;
  }
  EXPECT_EQ(RawWebClient(port).Upgrade(host), 503);
}

TEST_F(WebServerTest, AcceptsAgainAfterDescriptorsRanOut) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ExhaustDescriptorsThenConnect(), testing::ExitedWithCode(0), "");
}

TEST_F(WebServerTest, ServesHundredsOfClientsOnAFixedSetOfThreads) {
  const auto& [many, port, host] = StartWith({{"ZOR_BROWSER_CLIENTS", "200"}});
  const size_t threads = CountThreads();
  std::vector<std::unique_ptr<RawWebClient>> clients;
  for (int i = 0; i < 200; ++i) {
    clients.push_back(std::make_unique<RawWebClient>(port));
    ASSERT_EQ(clients.back()->Upgrade(host), 101) << i;
  }
  for (size_t i = 0; i < clients.size(); ++i) {
    EXPECT_EQ(clients[i]->Echo(std::to_string(i)), std::to_string(i));
  }
  EXPECT_LE(CountThreads(), threads + 2);
  ExpectGoodClientServed();
  clients.clear();
  EXPECT_TRUE(echo_.WaitEnded(200));
}

}  // namespace
